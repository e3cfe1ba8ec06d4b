#include "localservice/local_service.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <thread>

#include "localservice/digest.h"

namespace plb::localservice {
namespace {

constexpr size_t kRecordedBytesLimit = 64 * 1024;

std::map<std::string, std::string> QueryItems(const httplib::Request& request) {
  std::map<std::string, std::string> items;
  for (const auto& [name, value] : request.params) items[name] = value;
  return items;
}

// The parts of a multipart body in the order they arrived (the library's own map loses it).
std::vector<FormPart> ReadParts(const httplib::Request& request, const httplib::ContentReader& reader) {
  std::vector<FormPart> parts;
  if (request.is_multipart_form_data()) {
    reader(
        [&](const httplib::MultipartFormData& header) {
          parts.push_back({header.name, header.filename, header.content_type, "", !header.filename.empty()});
          return true;
        },
        [&](const char* data, size_t length) {
          parts.back().content.append(data, length);
          return true;
        });
  } else {
    std::string body;
    reader([&](const char* data, size_t length) {
      body.append(data, length);
      return true;
    });
  }
  return parts;
}

std::string BadXml() {
  return "<?xml version=\"1.0\"?><broken_response><unclosed attr=\"x\">";
}

// What the service keeps comes from its clients: names, titles and bytes of uploaded parts need
// not be UTF-8. Such bytes are replaced (U+FFFD) rather than make the whole answer unreadable.
void SetJson(httplib::Response& response, const nlohmann::json& value) {
  response.set_content(value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "application/json");
}

}  // namespace

nlohmann::json RequestsJson(const std::vector<RecordedRequest>& requests) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& request : requests) {
    nlohmann::json parts = nlohmann::json::array();
    for (const auto& part : request.parts)
      parts.push_back({{"name", part.name},
                       {"filename", part.filename},
                       {"content_type", part.content_type},
                       {"size", part.size},
                       {"sha256", part.sha256},
                       {"is_file", part.is_file},
                       {"value", part.bytes}});
    list.push_back({{"method", request.method},
                    {"path", request.path},
                    {"query", request.query},
                    {"user_agent", request.user_agent},
                    {"content_type", request.content_type},
                    {"parts", parts}});
  }
  return list;
}

LocalService::LocalService(std::string data_dir, std::string www_dir, bool test_endpoints)
    : data_dir_(std::move(data_dir)), www_dir_(std::move(www_dir)), test_endpoints_(test_endpoints) {}

LocalService::~LocalService() {
  Stop();
}

std::string LocalService::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::string LocalService::WwwDir() const {
  return www_dir_.empty() ? std::string(PLB_LOCALSERVICE_WWW) : www_dir_;
}

void LocalService::Start(int port) {
  server_ = std::make_unique<httplib::Server>();
  server_->set_payload_max_length(256u << 20);
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
  } else {
    port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
  }
  if (port_ <= 0) throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  state_ = std::make_unique<ServiceState>(data_dir_, BaseUrl());
  Routes();
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // The server only honours stop() once its loop runs: a stop that came earlier would be lost and
  // the join in Stop() would wait for ever. Start returns when the loop is serving.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!server_->is_running()) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the server loop did not start");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void LocalService::Stop() {
  {
    std::lock_guard guard(pause_lock_);
    stopping_ = true;
  }
  pause_wake_.notify_all();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

void LocalService::Pause(int ms) {
  std::unique_lock guard(pause_lock_);
  pause_wake_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void LocalService::Record(RecordedRequest request) {
  if (!test_endpoints_) return;  // nothing would ever read it
  std::lock_guard guard(lock_);
  requests_.push_back(std::move(request));
  while (requests_.size() > kMaxRecordedRequests) requests_.pop_front();
}

std::vector<RecordedRequest> LocalService::Requests() const {
  std::lock_guard guard(lock_);
  return {requests_.begin(), requests_.end()};
}

void LocalService::Routes() {
  server_->Post(R"(/(api|eyefi)/.*)", [this](const httplib::Request& request, httplib::Response& response,
                                             const httplib::ContentReader& reader) {
    ServeApi(request, response, reader);
  });
  RoutePages();
  if (test_endpoints_) RouteAdmin();
  server_->set_mount_point("/", WwwDir());
}

void LocalService::ServeApi(const httplib::Request& request, httplib::Response& response,
                            const httplib::ContentReader& reader) {
  std::vector<FormPart> parts = ReadParts(request, reader);
  RecordedRequest record{request.method,
                         request.path,
                         "",
                         request.get_header_value("User-Agent"),
                         request.get_header_value("Content-Type"),
                         {}};
  for (const auto& [name, value] : request.params)
    record.query += (record.query.empty() ? "" : "&") + name + "=" + value;
  for (const auto& part : parts)
    record.parts.push_back({part.name, part.filename, part.content_type, part.content.size(), Sha256Hex(part.content),
                            part.content.size() <= kRecordedBytesLimit ? part.content : std::string(), part.is_file});
  Record(std::move(record));

  const std::optional<Fault> fault = faults_.Take(request.path);
  if (fault && fault->kind == Fault::Kind::kDelay) Pause(fault->delay_ms);
  // A refused or dropped request never reached the service's state; a garbled answer did.
  const bool lost = fault && (fault->kind == Fault::Kind::kStatus || fault->kind == Fault::Kind::kDrop ||
                              fault->kind == Fault::Kind::kError);
  Answer answer = lost ? Answer{} : state_->Handle(request.path, Form(std::move(parts)),
                                                   request.get_header_value("User-Agent"));
  if (fault && Misbehave(*fault, answer, response)) return;
  response.status = answer.status;
  response.set_content(answer.body, answer.content_type);
}

void LocalService::ServeInstaller(const httplib::Request& request, httplib::Response& response) {
  RecordedRequest record{request.method, request.path, "", request.get_header_value("User-Agent"), "", {}};
  for (const auto& [name, value] : request.params)
    record.query += (record.query.empty() ? "" : "&") + name + "=" + value;
  Record(std::move(record));
  const std::optional<Fault> fault = faults_.Take(request.path);
  if (fault && fault->kind == Fault::Kind::kDelay) Pause(fault->delay_ms);
  Answer answer{200, "application/octet-stream", InstallerBytes(state_->UpdateOffer())};
  if (fault && Misbehave(*fault, answer, response)) return;
  // A refused download comes with the error page a web server would send.
  if (answer.status >= 400 && answer.body.empty())
    answer = Answer{answer.status, "text/html; charset=UTF-8",
                    "<!DOCTYPE html><html><body><h1>" + std::to_string(answer.status) + "</h1></body></html>"};
  response.status = answer.status;
  response.set_content(answer.body, answer.content_type);
}

bool LocalService::Misbehave(const Fault& fault, Answer& answer, httplib::Response& response) {
  switch (fault.kind) {
    case Fault::Kind::kError:
      answer = Answer{200, answer.content_type, ErrorDocument(fault.code, fault.message)};
      return false;
    case Fault::Kind::kStatus:
      answer = Answer{fault.status, "text/plain", ""};
      return false;
    case Fault::Kind::kBadXml:
      answer.body = BadXml();
      return false;
    case Fault::Kind::kEmpty:
      answer.body.clear();
      return false;
    case Fault::Kind::kBody:
      answer.body = fault.body;
      return false;
    case Fault::Kind::kDelay:
      return false;
    case Fault::Kind::kSlowBody: {
      const auto body = std::make_shared<std::string>(answer.body);
      const int delay = fault.delay_ms;
      response.status = answer.status;
      response.set_content_provider(body->size(), answer.content_type,
                                    [this, body, delay](size_t offset, size_t, httplib::DataSink& sink) {
                                      Pause(delay);
                                      if (stopping_) return false;
                                      sink.write(body->data() + offset, 1);
                                      return true;
                                    });
      return true;
    }
    case Fault::Kind::kDrop:
      response.status = 200;
      response.set_content_provider(answer.body.size() + 64, answer.content_type,
                                    [](size_t, size_t, httplib::DataSink&) { return false; });
      return true;
  }
  return false;
}

void LocalService::RoutePages() {
  server_->Get("/plb/cmd", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("<!DOCTYPE html><html><body></body></html>", "text/html; charset=UTF-8");
  });
  server_->Get(R"(/api/getAppInfo\.php)", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(state_->AppInfoDocumentLocked(), "text/xml; charset=UTF-8");
  });
  server_->Get(R"(/api/installer\.php)", [this](const httplib::Request& request, httplib::Response& response) {
    ServeInstaller(request, response);
  });
  server_->Get(R"(/api/books/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
    const nlohmann::json book = state_->BookJson(request.matches[1]);
    if (book.is_null()) {
      response.status = 404;
      SetJson(response, {{"error", "no such photo book"}});
      return;
    }
    SetJson(response, book);
  });
  server_->Get("/local/books.json", [this](const httplib::Request&, httplib::Response& response) {
    SetJson(response, state_->StateJson()["books"]);
  });
  // The received images, for the book's page. The pattern admits only the names the service
  // itself gives (book ids and resource ids of letters and digits), so no path leaves the folder.
  server_->Get(R"(/local/photos/([A-Za-z0-9]+)/([A-Za-z0-9]+(_[1-7])?\.jpg))",
               [this](const httplib::Request& request, httplib::Response& response) {
                 std::ifstream file(data_dir_ + "/" + std::string(request.matches[1]) + "/" +
                                        std::string(request.matches[2]),
                                    std::ios::binary);
                 if (!file) {
                   response.status = 404;
                   return;
                 }
                 std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
                 response.set_header("Cache-Control", "no-store");
                 response.set_content(std::move(bytes), "image/jpeg");
               });
}

void LocalService::RouteAdmin() {
  server_->Get("/test/requests", [this](const httplib::Request&, httplib::Response& response) {
    SetJson(response, RequestsJson(Requests()));
  });
  server_->Get("/test/state", [this](const httplib::Request&, httplib::Response& response) {
    SetJson(response, state_->StateJson());
  });
  server_->Post("/test/reset", [this](const httplib::Request&, httplib::Response& response) {
    {
      std::lock_guard guard(lock_);
      requests_.clear();
    }
    faults_.Clear();
    state_->Reset();
    SetJson(response, nlohmann::json::object());
  });
  server_->Post("/test/fault", [this](const httplib::Request& request, httplib::Response& response) {
    const std::optional<Fault> fault = ParseFault(QueryItems(request));
    if (!fault || !request.has_param("path")) {
      response.status = 400;
      SetJson(response, {{"error", "bad fault"}});
      return;
    }
    faults_.Add(request.get_param_value("path"), *fault);
    SetJson(response, nlohmann::json::object());
  });
  server_->Post("/test/config", [this](const httplib::Request& request, httplib::Response& response) {
    state_->Configure(QueryItems(request));
    SetJson(response, nlohmann::json::object());
  });
  server_->Post("/test/login", [this](const httplib::Request& request, httplib::Response& response) {
    state_->AddSession(request.get_param_value("sessionid"));
    SetJson(response, nlohmann::json::object());
  });
}

}  // namespace plb::localservice

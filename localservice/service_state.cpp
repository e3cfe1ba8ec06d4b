#include "localservice/service_state.h"

#include <jpeglib.h>
#include <setjmp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <pugixml.hpp>

#include "localservice/app_info_document.h"
#include "localservice/update_offer.h"

namespace plb::localservice {
namespace {

const std::vector<std::string> kId4 = {"version", "sessionid", "plbid_machineid", "plbid_machineuserid"};
const std::vector<std::string> kBid4 = {"version", "longsessionid", "plbid_machineid", "plbid_machineuserid"};

std::vector<std::string> Plus(std::vector<std::string> base, const std::vector<std::string>& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

// The fields every request to an endpoint must carry; a request without one is a client fault.
const std::map<std::string, std::vector<std::string>>& RequiredFields() {
  static const std::map<std::string, std::vector<std::string>> fields = {
      {"getAppInfo", {"version", "sessionid"}},
      {"checkPlumora", Plus(kId4, {"plumoraidary"})},
      {"startUpload", Plus(kId4, {"plumoraid", "backtest", "photonum"})},
      {"finishedUpload", Plus(kId4, {"plumoraid", "iscomplete", "tabname", "createmode"})},
      {"upload", Plus(kId4, {"plumoraid", "editmode", "photoindex", "resuuid", "comment", "orgfilename", "data"})},
      {"uploadBodyicon", {"sessionid", "plbid_machineid", "plbid_machineuserid", "data"}},
      {"uploadBgm", {"sessionid", "plbid_machineid", "plbid_machineuserid", "plumoraid", "data"}},
      {"uploadBack", Plus(kBid4, {"resuuid", "data"})},
      {"getRestUploadBack", kBid4},
      {"uploadFailBack", Plus(kBid4, {"resuuid"})},
      {"finishedUploadBack", Plus(kBid4, {"iscomplete"})},
      {"saveLog", Plus(kId4, {"longsessionid", "logdata"})},
      {"logout", kId4},
      {"operationLog", {"infile"}},
      {"getUpdateInfo", {"infile"}},
  };
  return fields;
}

std::string ExpectedUserAgent(const std::string& name) {
  if (name == "operationLog") return "PlumoraBrowser OperationLog Uploader";
  if (name == "getUpdateInfo") return "PlumoraUpdater";
  return "Plumora Browser";
}

std::string Declaration() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
}

// A whole document, declaration included.
Answer XmlAnswer(const std::string& document) {
  return Answer{200, "text/xml; charset=UTF-8", document};
}

// A document from its root element.
Answer Xml(const std::string& root) {
  return XmlAnswer(Declaration() + root);
}

std::string Response(const std::string& name, const std::string& inner) {
  return "<" + name + "_response>" + inner + "</" + name + "_response>";
}

// "WxHxQ" into three numbers; false when it is not that.
bool ParseSize(const std::string& text, int& width, int& height, int& quality) {
  return std::sscanf(text.c_str(), "%dx%dx%d", &width, &height, &quality) == 3;
}

std::string Numbered(const char* prefix, int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%04d", prefix, n);
  return text;
}

struct JpegFailure {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

// Decodes the whole image; false when it is no JPEG or breaks off. Sizes are bounded first.
bool DecodeJpegSize(const std::string& data, int& width, int& height) {
  jpeg_decompress_struct info{};
  JpegFailure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = OnJpegError;
  failure.manager.emit_message = [](j_common_ptr, int) {};
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()), data.size());
  jpeg_read_header(&info, TRUE);
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > 65535 || info.image_height > 65535) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  // The row comes from the decoder's own pool: a longjmp out of it must not skip a destructor.
  JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                             info.output_width * info.output_components, 1);
  while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, row, 1);
  width = static_cast<int>(info.image_width);
  height = static_cast<int>(info.image_height);
  const bool whole = failure.manager.num_warnings == 0;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return whole;
}

}  // namespace

Answer ErrorAnswer(const std::string& code, const std::string& message) {
  return XmlAnswer(ErrorDocument(code, message));
}

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string ErrorDocument(const std::string& code, const std::string& message) {
  if (code.empty() && message.empty()) return Declaration() + "<error/>";
  return Declaration() + "<error><code>" + XmlEscape(code) + "</code><message>" + XmlEscape(message) +
         "</message></error>";
}

bool Form::Has(const std::string& name) const {
  return Part(name) != nullptr;
}

std::string Form::Text(const std::string& name) const {
  const FormPart* part = Part(name);
  return part == nullptr ? std::string() : part->content;
}

const FormPart* Form::Part(const std::string& name) const {
  for (const auto& part : parts_)
    if (part.name == name) return &part;
  return nullptr;
}

ServiceState::ServiceState(std::string data_dir, std::string base_url)
    : data_dir_(std::move(data_dir)), base_url_(std::move(base_url)) {
  Load();
}

std::string ServiceState::CheckImage(const Book& book, int slot, const std::string& data,
                                     std::pair<int, int>& size) const {
  if (!DecodeJpegSize(data, size.first, size.second)) return ErrorDocument("BadImage", "not a whole JPEG image");
  const auto asked = book.asked.find(slot);
  if (asked != book.asked.end() && asked->second.first > 0 && asked->second.second > 0 &&
      (size.first > asked->second.first || size.second > asked->second.second))
    return ErrorDocument("BadImage", "larger than asked");
  return std::string();
}

void ServiceState::Save() const {
  nlohmann::json out;
  out["next"] = {next_book_, next_long_session_, next_resource_, next_log_};
  for (const auto& [id, b] : books_) {
    nlohmann::json asked = nlohmann::json::object();
    for (const auto& [slot, wh] : b.asked) asked[std::to_string(slot)] = {wh.first, wh.second};
    out["books"][id] = {{"hostname", b.host_name}, {"title", b.title},       {"previewurl", b.preview_url},
                        {"resources", b.resources}, {"music", b.music},      {"round", b.round_photos},
                        {"asked", asked},           {"covers", b.covers}};
  }
  for (const auto& [id, l] : long_sessions_) out["longsessions"][id] = {{"book", l.book}, {"open", l.open}};
  for (const auto& [id, r] : resources_) {
    nlohmann::json thumbs = nlohmann::json::object(), sizes = nlohmann::json::object();
    for (const auto& [t, n] : r.thumbs) thumbs[std::to_string(t)] = n;
    for (const auto& [t, wh] : r.sizes) sizes[std::to_string(t)] = {wh.first, wh.second};
    out["resources"][id] = {{"book", r.book},   {"longsession", r.long_session}, {"photoindex", r.photo_index},
                            {"thumbs", thumbs}, {"sizes", sizes},                {"full", r.full},
                            {"failed", r.failed}, {"orgfilename", r.original_file_name}};
  }
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::create_directories(data_dir_, ignored);
  const std::string path = data_dir_ + "/state.json";
  const std::string temp = path + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    file.flush();
    if (!file) return;
  }
  fs::rename(temp, path, ignored);
}

void ServiceState::Load() {
  std::ifstream file(data_dir_ + "/state.json", std::ios::binary);
  if (!file) return;
  try {
    const nlohmann::json in = nlohmann::json::parse(file);
    next_book_ = in["next"][0];
    next_long_session_ = in["next"][1];
    next_resource_ = in["next"][2];
    next_log_ = in["next"][3];
    // Each list is held by a name: items() refers to its json, which must outlive the loop.
    const nlohmann::json books = in.value("books", nlohmann::json::object());
    const nlohmann::json long_sessions = in.value("longsessions", nlohmann::json::object());
    const nlohmann::json resources = in.value("resources", nlohmann::json::object());
    for (const auto& [id, b] : books.items()) {
      Book& book = books_[id];
      book.host_name = b["hostname"];
      book.title = b["title"];
      book.preview_url = b["previewurl"];
      book.resources = b["resources"].get<std::vector<std::string>>();
      book.music = b["music"].get<std::vector<std::string>>();
      book.round_photos = b["round"].get<std::map<std::string, std::string>>();
      book.covers = b.value("covers", nlohmann::json::object()).get<std::map<std::string, std::string>>();
      for (const auto& [slot, wh] : b["asked"].items()) book.asked[std::stoi(slot)] = {wh[0], wh[1]};
    }
    for (const auto& [id, l] : long_sessions.items())
      long_sessions_[id] = LongSession{l["book"], l["open"]};
    for (const auto& [id, r] : resources.items()) {
      Resource& res = resources_[id];
      res.book = r["book"];
      res.long_session = r["longsession"];
      res.photo_index = r["photoindex"];
      for (const auto& [t, n] : r["thumbs"].items()) res.thumbs[std::stoi(t)] = n;
      for (const auto& [t, wh] : r["sizes"].items()) res.sizes[std::stoi(t)] = {wh[0], wh[1]};
      res.full = r["full"];
      res.failed = r["failed"];
      res.original_file_name = r["orgfilename"];
    }
  } catch (const std::exception&) {
    // A store that cannot be read is started afresh rather than half-used.
    books_.clear();
    long_sessions_.clear();
    resources_.clear();
  }
}

nlohmann::json ServiceState::BookJson(const std::string& id) const {
  std::lock_guard guard(lock_);
  const auto found = books_.find(id);
  if (found == books_.end()) return nullptr;
  nlohmann::json photos = nlohmann::json::array();
  for (const std::string& uuid : found->second.resources) {
    const auto r = resources_.find(uuid);
    if (r == resources_.end()) continue;
    nlohmann::json sizes = nlohmann::json::array(), slots = nlohmann::json::array();
    for (const auto& [slot, wh] : r->second.sizes) {
      sizes.push_back({wh.first, wh.second});
      slots.push_back(slot);  // 0 the whole image, 1..7 the thumbnails: names the stored file
    }
    photos.push_back({{"index", std::atoi(r->second.photo_index.c_str())},
                      {"resuuid", uuid},
                      {"full", r->second.full},
                      {"sizes", sizes},
                      {"slots", slots}});
  }
  return {{"id", id},
          {"title", found->second.title},
          {"photos", photos},
          {"covers", found->second.covers},
          {"music", found->second.music.size()}};
}

std::string ServiceState::Config(const std::string& name, const std::string& fallback) const {
  const auto found = config_.find(name);
  return found == config_.end() ? fallback : found->second;
}

void ServiceState::Configure(const std::map<std::string, std::string>& items) {
  std::lock_guard guard(lock_);
  for (const auto& [name, value] : items) config_[name] = value;
}

void ServiceState::AddSession(const std::string& session_id) {
  std::lock_guard guard(lock_);
  sessions_.insert(session_id);
}

void ServiceState::Reset() {
  std::lock_guard guard(lock_);
  config_.clear();
  sessions_.clear();
}

Answer ServiceState::Handle(const std::string& path, const Form& form, const std::string& user_agent) {
  const bool eyefi = path.rfind("/eyefi/", 0) == 0;
  std::string name = path.substr(path.rfind('/') + 1);
  if (name.size() < 5 || name.substr(name.size() - 4) != ".php") return Answer{404, "text/plain", "Not Found"};
  name.resize(name.size() - 4);
  if (eyefi) return EyeFi(name, form);
  if (user_agent != ExpectedUserAgent(name)) return ErrorAnswer("BadRequest", "unexpected user agent: " + user_agent);
  const auto required = RequiredFields().find(name);
  if (required != RequiredFields().end()) {
    for (const auto& field : required->second)
      if (!form.Has(field)) return ErrorAnswer("BadRequest", "missing field " + field);
  }
  std::lock_guard guard(lock_);
  Answer answer = Api(name, form);
  static const std::set<std::string> kChanging = {"startUpload", "upload", "uploadBgm", "uploadBack",
                                                  "uploadFailBack", "finishedUploadBack"};
  if (kChanging.count(name) != 0) Save();
  return answer;
}

std::string ServiceState::CheckSession(const Form& form) const {
  const std::string id = form.Text("sessionid");
  const bool strict = Config("sessions", "any") == "strict";
  if (id.empty() || (strict && sessions_.count(id) == 0)) return ErrorDocument("BadSessionid", "session is not valid");
  return std::string();
}

std::string ServiceState::CheckLongSession(const Form& form) const {
  const auto found = long_sessions_.find(form.Text("longsessionid"));
  if (found == long_sessions_.end() || !found->second.open)
    return ErrorDocument("BadLongSessionid", "long session is not valid");
  if (Config("badlongsession", "") == form.Text("longsessionid"))
    return ErrorDocument("BadLongSessionid", "long session was dropped");
  return std::string();
}

Answer ServiceState::Api(const std::string& name, const Form& form) {
  if (name == "getAppInfo") return XmlAnswer(AppInfoDocument());
  if (name == "getUrl")
    return Xml(Response("getUrl", "<startpage url=\"" + XmlEscape(Config("startpage", "/home.html")) + "\"/>"));
  if (name == "getFirstCommand") {
    std::string info = AppInfoDocument();
    const size_t open = info.find("<plbAppInfo");
    const size_t open_end = info.find('>', open);
    const size_t close = info.rfind("</plbAppInfo>");
    const std::string children = info.substr(open_end + 1, close - open_end - 1);
    return Xml(Response("getFirstCommand",
                        "<plumoraBrowserCommand command=\"startpage\"><parameter name=\"pageurl\" value=\"" +
                            XmlEscape(base_url_ + "home.html") + "\"/></plumoraBrowserCommand><appInfo>" + children +
                            "</appInfo>"));
  }
  if (name == "checkPlumora") return CheckPlumora(form);
  if (name == "startUpload") return StartUpload(form);
  if (name == "upload") return Upload(form);
  if (name == "uploadBgm") return UploadBgm(form);
  if (name == "uploadBack") return UploadBack(form);
  if (name == "getRestUploadBack") return GetRestUploadBack(form);
  if (name == "saveLog" || name == "operationLog" || name == "logout") return KeepLog(name, form);
  if (name == "getUpdateInfo") return XmlAnswer(UpdateInfoAnswer(OfferConfig()));
  if (name == "finishedUpload" || name == "uploadBodyicon") {
    if (std::string error = CheckSession(form); !error.empty()) return XmlAnswer(error);
    const std::string book = form.Text("plumoraid");
    if (name == "finishedUpload" && books_.count(book) == 0) return ErrorAnswer("BadPlumoraid", "no such photo book");
    if (name == "uploadBodyicon") StoreFile("bodyicon", Numbered("icon", next_resource_++) + ".jpg", form.Text("data"));
    return Xml(Response(name, "<nextpage url=\"" + XmlEscape(NextPage(book)) + "\"/>" + CommandElement()));
  }
  if (name == "uploadFailBack" || name == "finishedUploadBack") {
    if (std::string error = CheckLongSession(form); !error.empty()) return XmlAnswer(error);
    if (name == "uploadFailBack") {
      const auto found = resources_.find(form.Text("resuuid"));
      if (found == resources_.end()) return ErrorAnswer("BadResuuid", "no such resource");
      found->second.failed = true;
    } else {
      long_sessions_[form.Text("longsessionid")].open = false;
    }
    return Xml(Response(name, ""));
  }
  return Answer{404, "text/plain", "Not Found"};
}

Answer ServiceState::CheckPlumora(const Form& form) {
  if (std::string error = CheckSession(form); !error.empty()) return XmlAnswer(error);
  std::string inner;
  std::stringstream ids(form.Text("plumoraidary"));
  for (std::string id; std::getline(ids, id, ',');) {
    const auto found = books_.find(id);
    if (found == books_.end()) continue;
    inner += "<plumora plumoraid=\"" + XmlEscape(id) + "\" title=\"" + XmlEscape(found->second.title) +
             "\" previewurl=\"" + XmlEscape(found->second.preview_url) + "\"/>";
  }
  return Xml(Response("checkPlumora", "<plumoras>" + inner + "</plumoras>"));
}

Answer ServiceState::StartUpload(const Form& form) {
  if (std::string error = CheckSession(form); !error.empty()) return XmlAnswer(error);
  std::string book = form.Text("plumoraid");
  if (book.empty()) {
    book = Numbered("B", next_book_++);
    Book created;
    created.host_name = Config("hostname", "127.0.0.1");
    created.title = "プルモラ " + book;
    created.preview_url = base_url_ + "book.html?plumoraid=" + book;
    books_[book] = created;
  } else if (books_.count(book) == 0) {
    return ErrorAnswer("BadPlumoraid", "no such photo book");
  }
  books_[book].round_photos.clear();
  books_[book].asked.clear();
  std::string inner =
      "<plumora plumoraid=\"" + XmlEscape(book) + "\" hostname=\"" + XmlEscape(books_[book].host_name) + "\"/>";
  if (Config("background", "true") == "true") {
    const std::string long_session = Numbered("L", next_long_session_++);
    long_sessions_[long_session] = LongSession{book, true};
    inner += "<background longsessionid=\"" + long_session + "\"/>";
  }
  inner += "<allowparallel value=\"" + XmlEscape(Config("allowparallel", "true")) + "\"/>";
  int width = 1600, height = 1600, quality = 90;
  ParseSize(Config("originalmax", "1600x1600x90"), width, height, quality);
  books_[book].asked[0] = {width, height};
  inner += "<originalmax width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
           "\" jpegquality=\"" + std::to_string(quality) + "\"/>";
  static const char* defaults[] = {"120x120x85", "160x160x85", "240x240x85",  "320x320x85",
                                   "480x480x85", "640x640x90", "1024x1024x90"};
  inner += "<thumbnails>";
  for (int id = 1; id <= 7; ++id) {
    if (!ParseSize(Config("thumb" + std::to_string(id), defaults[id - 1]), width, height, quality)) continue;
    books_[book].asked[id] = {width, height};
    inner += "<thumbnail thumbid=\"" + std::to_string(id) + "\" width=\"" + std::to_string(width) + "\" height=\"" +
             std::to_string(height) + "\" jpegquality=\"" + std::to_string(quality) + "\"/>";
  }
  inner += "</thumbnails><retrycount value=\"" + XmlEscape(Config("retrycount", "2")) + "\"/>";
  return Xml(Response("startUpload", inner));
}

Answer ServiceState::Upload(const Form& form) {
  if (std::string error = CheckSession(form); !error.empty()) return XmlAnswer(error);
  const std::string book = form.Text("plumoraid");
  if (books_.count(book) == 0) return ErrorAnswer("BadPlumoraid", "no such photo book");
  std::string uuid = form.Text("resuuid");
  const int slot = form.Has("thumbid") ? std::atoi(form.Text("thumbid").c_str()) : 0;
  std::pair<int, int> size;
  if (std::string error = CheckImage(books_[book], slot, form.Text("data"), size); !error.empty())
    return XmlAnswer(error);
  // A jacket or label replaces the book's cover of that kind; it is not a photo of the book.
  const std::string edit_mode = form.Text("editmode");
  const bool cover = edit_mode == "jacket" || edit_mode == "label";
  if (uuid.empty()) {
    const auto known = books_[book].round_photos.find(form.Text("photoindex"));
    if (known != books_[book].round_photos.end()) uuid = known->second;
  }
  if (uuid.empty()) {
    uuid = Numbered("R", next_resource_++);
    books_[book].round_photos[form.Text("photoindex")] = uuid;
    Resource resource;
    resource.book = book;
    resource.photo_index = form.Text("photoindex");
    for (const auto& [id, session] : long_sessions_)
      if (session.book == book && session.open) resource.long_session = id;
    resources_[uuid] = resource;
    if (cover)
      books_[book].covers[edit_mode] = uuid;
    else
      books_[book].resources.push_back(uuid);
  } else if (resources_.count(uuid) == 0) {
    return ErrorAnswer("BadResuuid", "no such resource");
  }
  Resource& resource = resources_[uuid];
  resource.sizes[slot] = size;
  resource.original_file_name = form.Text("orgfilename");
  const std::string data = form.Text("data");
  if (form.Has("thumbid")) {
    const int thumb = std::atoi(form.Text("thumbid").c_str());
    resource.thumbs[thumb] = data.size();
    StoreFile(book, uuid + "_" + std::to_string(thumb) + ".jpg", data);
  } else {
    resource.full = true;
    StoreFile(book, uuid + ".jpg", data);
  }
  return Xml(Response("upload", "<resource resuuid=\"" + XmlEscape(uuid) + "\"/>"));
}

Answer ServiceState::UploadBgm(const Form& form) {
  if (std::string error = CheckSession(form); !error.empty()) return XmlAnswer(error);
  const std::string book = form.Text("plumoraid");
  if (books_.count(book) == 0) return ErrorAnswer("BadPlumoraid", "no such photo book");
  const std::string uuid = Numbered("M", next_resource_++);
  books_[book].music.push_back(uuid);
  StoreFile(book, uuid + ".bgm", form.Text("data"));
  return Xml(Response("uploadBgm",
                      "<resource resuuid=\"" + uuid + "\"/><nextpage url=\"" + XmlEscape(NextPage(book)) + "\"/>"));
}

Answer ServiceState::UploadBack(const Form& form) {
  if (std::string error = CheckLongSession(form); !error.empty()) return XmlAnswer(error);
  const auto found = resources_.find(form.Text("resuuid"));
  if (found == resources_.end()) return ErrorAnswer("BadResuuid", "no such resource");
  Resource& resource = found->second;
  const std::string data = form.Text("data");
  const int slot = form.Has("thumbid") ? std::atoi(form.Text("thumbid").c_str()) : 0;
  std::pair<int, int> size;
  if (std::string error = CheckImage(books_[resource.book], slot, data, size); !error.empty()) return XmlAnswer(error);
  resource.sizes[slot] = size;
  if (form.Has("thumbid")) {
    const int thumb = std::atoi(form.Text("thumbid").c_str());
    resource.thumbs[thumb] = data.size();
    StoreFile(resource.book, found->first + "_" + std::to_string(thumb) + ".jpg", data);
  } else {
    resource.full = true;
    resource.failed = false;
    StoreFile(resource.book, found->first + ".jpg", data);
  }
  return Xml(Response("uploadBack", ""));
}

Answer ServiceState::GetRestUploadBack(const Form& form) {
  if (std::string error = CheckLongSession(form); !error.empty()) return XmlAnswer(error);
  const std::string long_session = form.Text("longsessionid");
  std::string inner;
  for (const auto& [uuid, resource] : resources_) {
    if (resource.long_session != long_session || resource.full || resource.failed) continue;
    inner += "<resource resuuid=\"" + XmlEscape(uuid) + "\" hostname=\"" + XmlEscape(books_[resource.book].host_name) +
             "\"/>";
  }
  return Xml(Response("getRestUploadBack", "<resources>" + inner + "</resources>"));
}

Answer ServiceState::KeepLog(const std::string& name, const Form& form) {
  const FormPart* part = form.Part(name == "saveLog" ? "logdata" : "infile");
  if (part == nullptr) return Xml(Response(name, ""));
  // A usage report or an operation log that is not a whole XML document is a client fault: it
  // would mean the client sent a file it had not finished writing.
  pugi::xml_document document;
  if (!document.load_buffer(part->content.data(), part->content.size()))
    return ErrorAnswer("BadRequest", "not a whole XML document: " + name);
  const std::string stored = StoreFile("logs", Numbered(name.c_str(), next_log_++) + ".xml", part->content);
  logs_.push_back(stored);
  log_records_.push_back(
      LogRecord{name, form.Text("longsessionid"), part->filename, part->content_type, stored});
  return Xml(Response(name, ""));
}

Answer ServiceState::EyeFi(const std::string& name, const Form& form) {
  if (Config("eyefi_notmodified", "") == "true" && (name == "getDirectoryResources" || name == "loadResource"))
    return Answer{304, "text/plain", ""};
  if (name == "getDirectoryResources")
    return Xml("<getDirectoryResources_response><directory dirid=\"" + XmlEscape(form.Text("dirid")) +
               "\" revision=\"" + XmlEscape(form.Text("revision")) + "\"/></getDirectoryResources_response>");
  if (name == "loadThumbnail" || name == "loadResource")
    return Answer{200, "image/jpeg", "EYEFI-" + name + "-" + form.Text("resid")};
  if (name == "upload") return Xml(Response("upload", ""));
  return Answer{404, "text/plain", "Not Found"};
}

std::string ServiceState::StoreFile(const std::string& folder, const std::string& name, const std::string& bytes) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(data_dir_) / folder;
  std::error_code ignored;
  fs::create_directories(dir, ignored);
  const fs::path path = dir / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::string ServiceState::NextPage(const std::string& book) const {
  return Config("nextpage", base_url_ + "book.html?plumoraid=" + book);
}

std::string ServiceState::CommandElement() const {
  const std::string command = Config("command", "");
  if (command.empty()) return std::string();
  std::string inner;
  std::stringstream items(Config("commandparams", ""));
  for (std::string item; std::getline(items, item, '&');) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos) continue;
    inner += "<parameter name=\"" + XmlEscape(item.substr(0, equals)) + "\" value=\"" +
             XmlEscape(item.substr(equals + 1)) + "\"/>";
  }
  return "<plumoraBrowserCommand command=\"" + XmlEscape(command) + "\">" + inner + "</plumoraBrowserCommand>";
}

nlohmann::json ServiceState::StateJson() const {
  std::lock_guard guard(lock_);
  nlohmann::json state;
  state["books"] = nlohmann::json::object();
  for (const auto& [id, book] : books_)
    state["books"][id] = {{"hostname", book.host_name},
                          {"title", book.title},
                          {"previewurl", book.preview_url},
                          {"resources", book.resources},
                          {"music", book.music}};
  state["longsessions"] = nlohmann::json::object();
  for (const auto& [id, session] : long_sessions_)
    state["longsessions"][id] = {{"book", session.book}, {"open", session.open}};
  state["resources"] = nlohmann::json::object();
  for (const auto& [id, resource] : resources_) {
    nlohmann::json thumbs = nlohmann::json::object();
    for (const auto& [thumb, size] : resource.thumbs) thumbs[std::to_string(thumb)] = size;
    state["resources"][id] = {{"book", resource.book},
                              {"longsession", resource.long_session},
                              {"photoindex", resource.photo_index},
                              {"thumbs", thumbs},
                              {"full", resource.full},
                              {"failed", resource.failed},
                              {"orgfilename", resource.original_file_name}};
  }
  state["logs"] = logs_;
  state["log_records"] = nlohmann::json::array();
  for (const LogRecord& record : log_records_)
    state["log_records"].push_back({{"endpoint", record.endpoint},
                                    {"longsessionid", record.long_session_id},
                                    {"filename", record.filename},
                                    {"content_type", record.content_type},
                                    {"file", record.file}});
  state["sessions"] = std::vector<std::string>(sessions_.begin(), sessions_.end());
  return state;
}

std::string ServiceState::AppInfoDocument() const {
  const UpdateOfferConfig offer = OfferConfig();
  return BuildAppInfoDocument(base_url_, UpdateCheckUrl(offer), InstallerUrl(offer));
}

UpdateOfferConfig ServiceState::OfferConfig() const {
  return UpdateOfferConfig{config_, base_url_, data_dir_};
}

UpdateOfferConfig ServiceState::UpdateOffer() const {
  std::lock_guard guard(lock_);
  return OfferConfig();
}

}  // namespace plb::localservice

#include "service/http/http_client.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>

#include "host/ascii_case.h"
#include "service/commands/command_csv.h"
#include "service/http/curl_library.h"

namespace plb {
namespace {

using Clock = std::chrono::steady_clock;

// Streams the pieces of a form: bytes from memory, file contents from disk.
class BodyReader {
 public:
  explicit BodyReader(std::vector<TMultipartForm::Piece> pieces) : pieces_(std::move(pieces)) {}

  size_t Read(char* buffer, size_t size) {
    while (index_ < pieces_.size()) {
      const auto& piece = pieces_[index_];
      if (piece.path.empty()) {
        const size_t n = std::min(size, piece.bytes.size() - offset_);
        if (n > 0) {
          std::memcpy(buffer, piece.bytes.data() + offset_, n);
          offset_ += n;
          return n;
        }
      } else {
        if (!file_.is_open()) {
          file_.open(piece.path, std::ios::binary);
          if (!file_) failed_ = true;
        }
        if (!failed_) {
          file_.read(buffer, static_cast<std::streamsize>(size));
          const size_t n = static_cast<size_t>(file_.gcount());
          if (n > 0) return n;
        }
        file_.close();
        if (failed_) return CURL_READFUNC_ABORT;
      }
      ++index_;
      offset_ = 0;
    }
    return 0;
  }

 private:
  std::vector<TMultipartForm::Piece> pieces_;
  size_t index_ = 0;
  size_t offset_ = 0;
  std::ifstream file_;
  bool failed_ = false;
};

struct Transfer {
  const THttpRequest* request = nullptr;
  THttpResponse response;
  bool too_large = false;
  bool cancelled = false;
  bool read_timed_out = false;
  curl_off_t last_down = 0, last_up = 0;
  Clock::time_point last_motion = Clock::now();
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  std::string line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    transfer->response.status_text = line;
  }
  return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (transfer->response.body.size() + n > transfer->request->max_answer) {
    transfer->too_large = true;
    return 0;
  }
  transfer->response.body.append(data, n);
  return n;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
  return static_cast<BodyReader*>(user)->Read(buffer, size * count);
}

int OnProgress(void* user, curl_off_t down_total, curl_off_t down, curl_off_t up_total, curl_off_t up) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->request->download_progress && down != transfer->last_down)
    transfer->request->download_progress(static_cast<uint64_t>(down), static_cast<uint64_t>(down_total));
  if (transfer->request->progress && up != transfer->last_up)
    transfer->request->progress(static_cast<uint64_t>(up), static_cast<uint64_t>(up_total));
  if (transfer->request->cancelled && transfer->request->cancelled()) {
    transfer->cancelled = true;
    return 1;
  }
  const auto now = Clock::now();
  if (down != transfer->last_down || up != transfer->last_up) {
    transfer->last_down = down;
    transfer->last_up = up;
    transfer->last_motion = now;
    return 0;
  }
  const long idle_ms =
      static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(now - transfer->last_motion).count());
  if (transfer->request->read_timeout_ms > 0 && idle_ms > transfer->request->read_timeout_ms) {
    transfer->read_timed_out = true;
    return 1;
  }
  return 0;
}

[[noreturn]] void RaiseFor(CURLcode code, const Transfer& transfer, const char* detail) {
  const std::string message = std::string(Curl().easy_strerror(code)) + (detail[0] ? std::string(": ") + detail : "");
  const int status = transfer.response.status > 0 ? transfer.response.status : -1;
  const std::string& text = transfer.response.status_text;
  if (transfer.cancelled) throw EHttpCancelled("Request cancelled", status, text);
  if (transfer.read_timed_out) throw EHttpTimeout("Read timed out", status, text);
  if (transfer.too_large) throw EHttpError("Answer too large", status, text);
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      throw EHttpUnknownProtocol(message, status, text);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      throw EHttpSocketError(message, status, text);
    case CURLE_OPERATION_TIMEDOUT:
      throw EHttpTimeout(message, status, text);
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      throw EHttpConnectionClosed(message, status, text);
    default:
      throw EHttpError(message, status, text);
  }
}

struct CurlDeleter {
  void operator()(CURL* curl) const { Curl().easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { Curl().slist_free_all(list); }
};

}  // namespace

void HttpGlobalInit() { Curl(); }

bool IsHttpUrl(const std::string& url) {
  return (AsciiStartsWithNoCase(url, "http://") && url.size() > 7) ||
         (AsciiStartsWithNoCase(url, "https://") && url.size() > 8);
}

THttpResponse HttpSend(const THttpRequest& request) {
  const CurlLibrary& api = Curl();
  Transfer transfer;
  transfer.request = &request;
  // curl would read file:// URLs and guess a host for a URL without a scheme.
  if (!IsHttpUrl(request.url)) throw EHttpUnknownProtocol("Unknown Protocol: " + request.url);

  std::unique_ptr<CURL, CurlDeleter> curl(api.easy_init());
  if (!curl) throw EHttpError("curl_easy_init failed");
  CURL* h = curl.get();
  char error_text[CURL_ERROR_SIZE] = {};
  api.easy_setopt(h, CURLOPT_ERRORBUFFER, error_text);
  api.easy_setopt(h, CURLOPT_URL, request.url.c_str());
  api.easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  api.easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.easy_setopt(h, CURLOPT_FOLLOWLOCATION, request.follow_redirects ? 1L : 0L);
  api.easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
  api.easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  api.easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  api.easy_setopt(h, CURLOPT_USERAGENT, request.user_agent.c_str());
  api.easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, request.connect_timeout_ms);
  if (request.total_timeout_ms > 0) api.easy_setopt(h, CURLOPT_TIMEOUT_MS, request.total_timeout_ms);
  api.easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
  api.easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
  api.easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  api.easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  api.easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  api.easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
  api.easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);

  std::unique_ptr<curl_slist, SlistDeleter> headers;
  auto add_header = [&](const std::string& line) { headers.reset(api.slist_append(headers.release(), line.c_str())); };
  add_header("Accept:");
  add_header("Expect:");
  std::unique_ptr<BodyReader> reader;
  if (!request.get) {
    api.easy_setopt(h, CURLOPT_POST, 1L);
    if (request.form != nullptr) {
      const uint64_t size = request.form->Size();
      reader = std::make_unique<BodyReader>(request.form->Pieces());
      api.easy_setopt(h, CURLOPT_READFUNCTION, OnRead);
      api.easy_setopt(h, CURLOPT_READDATA, reader.get());
      api.easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
      add_header("Content-Type: " + request.form->ContentType());
    } else {
      api.easy_setopt(h, CURLOPT_POSTFIELDS, "");
      api.easy_setopt(h, CURLOPT_POSTFIELDSIZE, 0L);
    }
  }
  api.easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

  const CURLcode code = api.easy_perform(h);
  long status = 0;
  api.easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  transfer.response.status = static_cast<int>(status);
  if (code != CURLE_OK) RaiseFor(code, transfer, error_text);
  if (status >= 400)
    throw EHttpProtocolError(transfer.response.status_text, transfer.response.status, transfer.response.status_text);
  return std::move(transfer.response);
}

}  // namespace plb

#pragma once
// The one HTTP client of the program, over libcurl: http and https only, a connect time-out and a
// read time-out on every request, an answer size limit, cancellation from another thread.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"
#include "service/http/multipart_form.h"

namespace plb {

// Errors of the HTTP layer. status is the status of the last answer, -1 when none arrived.
class EHttpError : public Error {
 public:
  explicit EHttpError(std::string message, int status = -1, std::string status_text = "")
      : Error(std::move(message)), status_(status), status_text_(std::move(status_text)) {}
  const char* ClassName() const noexcept override { return "EHttpError"; }
  int Status() const { return status_; }
  const std::string& StatusText() const { return status_text_; }

 private:
  int status_;
  std::string status_text_;
};
PLB_DECLARE_ERROR(EHttpSocketError, EHttpError);       // no connection, reset, resolve failure
PLB_DECLARE_ERROR(EHttpUnknownProtocol, EHttpError);   // not an absolute http or https URL
PLB_DECLARE_ERROR(EHttpProtocolError, EHttpError);     // an answer with status 400 or above
PLB_DECLARE_ERROR(EHttpTimeout, EHttpError);           // connect or read time-out
PLB_DECLARE_ERROR(EHttpConnectionClosed, EHttpError);  // closed before a whole answer arrived
PLB_DECLARE_ERROR(EHttpCancelled, EHttpError);         // cancelled by the caller

inline constexpr long kDefaultConnectTimeoutMs = 10000;
inline constexpr long kDefaultReadTimeoutMs = 60000;
inline constexpr uint64_t kMaxXmlAnswer = 16u << 20;
inline constexpr uint64_t kMaxBinaryAnswer = 64u << 20;

struct THttpRequest {
  std::string url;
  std::string user_agent = "Plumora Browser";
  bool get = false;  // GET instead of a POST of the form
  const TMultipartForm* form = nullptr;
  long connect_timeout_ms = kDefaultConnectTimeoutMs;
  long read_timeout_ms = kDefaultReadTimeoutMs;  // no byte moved for this long ends the request
  long total_timeout_ms = 0;                     // 0: none
  uint64_t max_answer = kMaxXmlAnswer;
  bool follow_redirects = false;
  std::function<bool()> cancelled;                              // polled while the request runs; true aborts it
  std::function<void(uint64_t sent, uint64_t total)> progress;  // bytes of the body sent so far
  // Bytes of the answer received so far; total is 0 while the size is unknown.
  std::function<void(uint64_t received, uint64_t total)> download_progress;
};

struct THttpResponse {
  int status = 0;
  std::string status_text;  // the status line, e.g. "HTTP/1.1 200 OK"
  std::string body;
};

// Sends the request. A status of 400 or above raises EHttpProtocolError (which carries the answer's
// status); any other status is returned.
THttpResponse HttpSend(const THttpRequest& request);

// True for an absolute http:// or https:// URL (scheme without regard to case).
bool IsHttpUrl(const std::string& url);

// Loads and initialises libcurl once; called before threads start (HttpSend calls it too).
// Raises EHttpError when libcurl cannot be loaded.
void HttpGlobalInit();

}  // namespace plb

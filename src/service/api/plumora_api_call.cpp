#include "service/api/plumora_api_call.h"

#include "host/log_file.h"
#include "platform/text_encoding.h"
#include "service/api/plumora_api_params.h"
#include "service/api/service_errors.h"

namespace plb {
namespace {

constexpr size_t kTraceLimit = 10240;

// The encoding named by the XML declaration; empty when there is none.
std::string DeclaredEncoding(const std::string& document);

}  // namespace

std::string ExceptionErrorCode(const std::exception& e) {
  if (dynamic_cast<const EPlumoraApiError*>(&e) == nullptr) return "EE1000";
  const std::string& message = dynamic_cast<const EPlumoraApiError&>(e).Message();
  if (message == "SessionId is empty.") return "EE0001";
  if (message == "Url = nil") return "EE0002";
  if (message == "MachineId is empty.") return "EE0003";
  if (message == "MachineUserId is empty.") return "EE0004";
  if (message == "PlumoraId is empty.") return "EE0005";
  return "EE0100";
}

std::string HttpErrorCode(const EHttpError& e) {
  if (dynamic_cast<const EHttpSocketError*>(&e)) return "ES0001";
  if (dynamic_cast<const EHttpUnknownProtocol*>(&e)) return "ES0002";
  if (dynamic_cast<const EHttpProtocolError*>(&e)) return "ES0003";
  return "ES1000";
}

std::string_view PLApiResultKindWord(TPLApiResultKind kind) {
  switch (kind) {
    case plrkUnKnown:
      return "UnKnown";
    case plrkSuccessed:
      return "Successed";
    case plrkSocketError:
      return "socketeEror";
    case plrkRequestFailed:
      return "requestFalied";
    case plrkException:
      return "exception";
    case plrkNotModified:
      return "Not Modified";
  }
  return "UnKnown";
}

TPLApiCall::TPLApiCall(std::string operation, Family family, Answer answer, bool traces,
                       const TPLApiCallOptions& options)
    : operation_(std::move(operation)), family_(family), answer_kind_(answer), traces_(traces), options_(options) {}

TPLApiResult TPLApiCall::Run(const std::function<void()>& body) {
  result_ = TPLApiResult();
  try {
    body();
  } catch (const std::exception& e) {
    FailWith(e);
  }
  return result_;
}

void TPLApiCall::Check(bool ok, const std::string& message) {
  if (ok) return;
  EPlumoraApiError error(message);
  LogException(operation_, error);
  throw error;
}

bool TPLApiCall::Post(const std::string& url, const TMultipartForm* form) {
  url_ = url;
  // The form belongs to the operation and is gone when a later error is reported: keep its head.
  request_head_.clear();
  try {
    if (form != nullptr) request_head_ = form->Head(kTraceLimit);
  } catch (const std::exception&) {
    // The head only illustrates a later error report; a form that cannot be read fails the
    // request itself, which says so.
  }
  THttpRequest request;
  request.url = url;
  request.user_agent = user_agent_;
  request.get = form == nullptr;
  request.form = form;
  if (options_.connect_timeout_ms > 0) request.connect_timeout_ms = options_.connect_timeout_ms;
  if (options_.read_timeout_ms > 0) request.read_timeout_ms = options_.read_timeout_ms;
  request.total_timeout_ms = total_timeout_ms_;
  request.max_answer = max_answer_;
  request.cancelled = options_.cancelled;
  request.progress = options_.progress;
  THttpResponse response;
  try {
    response = HttpSend(request);
  } catch (const EHttpError& e) {
    FailWithHttpError(e);
    return false;
  }
  exchanged_ = true;
  answer_ = std::move(response.body);
  if (response.status != 200) {
    result_.Success = false;
    result_.Code = std::to_string(response.status);
    result_.Message = response.status_text;
    if (not_modified_kind_ && response.status == 304) {
      result_.Kind = plrkNotModified;
    } else if (family_ == Family::kFirst) {
      result_.Kind = plrkRequestFailed;
      result_.ErrorCode = "ER1000";
    }
    return false;
  }
  if (answer_kind_ == Answer::kBytes) {
    result_.Success = true;
    result_.Code = "200";
    result_.Kind = plrkSuccessed;
    return true;
  }
  ParseAnswer();
  Classify();
  return true;
}

namespace {

std::string DeclaredEncoding(const std::string& document) {
  if (document.rfind("<?xml", 0) != 0) return std::string();
  const size_t end = document.find("?>");
  const size_t at = document.find("encoding=", 0);
  if (end == std::string::npos || at == std::string::npos || at > end || at + 10 > end) return std::string();
  const char quote = document[at + 9];
  const size_t close = document.find(quote, at + 10);
  if (close == std::string::npos || close > end) return std::string();
  return document.substr(at + 10, close - at - 10);
}

}  // namespace

void TPLApiCall::ParseAnswer() {
  std::string text = answer_;
  try {
    // The parser reads only Unicode; a document in a Japanese legacy encoding is converted first.
    if (const std::string encoding = DeclaredEncoding(text); platform::IsJapaneseLegacyEncoding(encoding))
      text = platform::ConvertToUtf8(text, encoding);
  } catch (const std::exception& e) {
    if (answer_kind_ == Answer::kClassifyOnly)
      throw EPlumoraApiError(ClassNameOf(e) + " Raised ( " + MessageOf(e) + " )");
    throw;
  }
  const pugi::xml_parse_result parsed =
      document_.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
  if (parsed.status == pugi::status_no_document_element || (parsed && !document_.document_element()))
    throw EPlumoraApiError("GetApiResultFromElement : XmlNode = nil");
  if (parsed) return;
  const std::string description =
      std::string(parsed.description()) + " at offset " + std::to_string(static_cast<long long>(parsed.offset));
  if (answer_kind_ == Answer::kClassifyOnly)
    throw EPlumoraApiError(std::string("EXmlParseError Raised ( ") + description + " )");
  throw EXmlParseError(description);
}

void TPLApiCall::Classify() {
  const pugi::xml_node root = document_.document_element();
  if (std::string_view(root.name()) == "error") {
    result_.Success = false;
    result_.Code = root.child("code").text().get();
    result_.Message = root.child("message").text().get();
    result_.Kind = plrkRequestFailed;
    result_.ErrorCode = "ER0001";
  } else {
    result_.Success = true;
    result_.Code = root.name();
    result_.Kind = plrkSuccessed;
  }
  result_.Command = CommandCSVFromElement(root.child("plumoraBrowserCommand"), true);
}

void TPLApiCall::FailWithHttpError(const EHttpError& e) {
  LogFailure(operation_, url_, e);
  if (traces_) TraceRequest();
  result_ = TPLApiResult();
  if (not_modified_kind_ && e.Status() == 304) {
    result_.Code = "304";
    result_.Message = e.StatusText();
    result_.Kind = plrkNotModified;
    return;
  }
  if (family_ == Family::kFirst) {
    result_.Code = e.ClassName();
    result_.Message = e.Message();
    result_.Kind = plrkSocketError;
    result_.ErrorCode = HttpErrorCode(e);
  } else {
    result_.Code = std::to_string(e.Status());
    result_.Message = e.StatusText();
  }
}

void TPLApiCall::FailWith(const std::exception& e) {
  LogFailure(operation_, e);
  if (traces_ && exchanged_) {
    TraceRequest();
    TraceAnswer();
  }
  const std::string command = result_.Command;
  result_ = TPLApiResult();
  result_.Code = ClassNameOf(e);
  result_.Message = MessageOf(e);
  result_.Kind = plrkException;
  result_.ErrorCode = ExceptionErrorCode(e);
  result_.Command = command;
}

void TPLApiCall::TraceRequest() {
  WriteLog(operation_ + " request to " + url_ + "\r\n\r\n" + request_head_);
}

void TPLApiCall::TraceAnswer() {
  WriteLog(operation_ + " receive form " + url_ + "\r\n\r\n" + answer_.substr(0, kTraceLimit));
}

}  // namespace plb

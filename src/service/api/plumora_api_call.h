#pragma once
// The frame every service request runs in: argument checks, the exchange, the classification of
// the outcome into a TPLApiResult, the log lines and the traces of failed exchanges.
#include <functional>
#include <pugixml.hpp>
#include <string>

#include "platform/error.h"
#include "service/http/http_client.h"
#include "service/http/multipart_form.h"
#include "service/api/plumora_api.h"

namespace plb {

PLB_DECLARE_ERROR(EXmlParseError, Error);

class TPLApiCall {
 public:
  // The first family classifies a failed HTTP exchange as a socket error with an ES code; the
  // second reports only the last status.
  enum class Family { kFirst, kSecond };
  // How a status 200 answer is read: an XML document read by the operation, an XML document only
  // classified, or bytes that are not parsed at all.
  enum class Answer { kOwnReader, kClassifyOnly, kBytes };

  TPLApiCall(std::string operation, Family family, Answer answer, bool traces, const TPLApiCallOptions& options);

  // Runs body; any error it raises ends the operation as a failure of the result.
  TPLApiResult Run(const std::function<void()>& body);

  // Raises EPlumoraApiError with message (after logging it) unless ok.
  void Check(bool ok, const std::string& message);

  // Posts the form (or GETs url when form is null). True when a status 200 answer arrived and was
  // classified; false when the exchange ended otherwise (the result says how).
  bool Post(const std::string& url, const TMultipartForm* form);

  void SetTotalTimeout(long ms) { total_timeout_ms_ = ms; }
  void SetMaxAnswer(uint64_t bytes) { max_answer_ = bytes; }
  void SetNotModifiedKind() { not_modified_kind_ = true; }
  void SetUserAgent(std::string agent) { user_agent_ = std::move(agent); }

  TPLApiResult& Result() { return result_; }
  const std::string& AnswerBytes() const { return answer_; }
  pugi::xml_node Root() const { return document_.document_element(); }
  const std::string& Operation() const { return operation_; }

 private:
  void ParseAnswer();
  void Classify();
  void FailWithHttpError(const EHttpError& e);
  void FailWith(const std::exception& e);
  void TraceRequest();
  void TraceAnswer();

  std::string operation_;
  Family family_;
  Answer answer_kind_;
  bool traces_;
  TPLApiCallOptions options_;
  long total_timeout_ms_ = 0;
  uint64_t max_answer_ = kMaxXmlAnswer;
  bool not_modified_kind_ = false;
  std::string user_agent_ = "Plumora Browser";

  TPLApiResult result_;
  std::string url_;
  std::string request_head_;
  bool exchanged_ = false;
  std::string answer_;
  pugi::xml_document document_;
};

// "EE0001".."EE0005" for the fixed argument messages, "EE0100" for any other EPlumoraApiError,
// "EE1000" for any other error.
std::string ExceptionErrorCode(const std::exception& e);
// "ES0001" socket, "ES0002" unknown protocol, "ES0003" error status, "ES1000" any other.
std::string HttpErrorCode(const EHttpError& e);

}  // namespace plb

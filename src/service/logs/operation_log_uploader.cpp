#include "service/logs/operation_log_uploader.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <pugixml.hpp>

#include "host/log_file.h"
#include "service/http/http_client.h"
#include "service/http/multipart_form.h"
#include "service/logs/log_files.h"
#include "service/logs/operation_log.h"

namespace plb {
namespace {

constexpr int kTriggerWaitMs = 1000;

// True when bytes are a whole operation-log document.
bool IsOperationLog(const std::string& bytes) {
  pugi::xml_document document;
  if (!document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default)) return false;
  return std::string_view(document.document_element().name()) == kOperationLogRoot;
}

}  // namespace

TPlumoraOperationLogUploader::TPlumoraOperationLogUploader(std::string log_folder, std::string url, int retry_ms)
    : log_folder_(WithoutTrailingDelimiter(std::move(log_folder))),
      retry_ms_(retry_ms),
      url_(std::move(url)),
      trigger_(platform::OpenNamedEvent(kOperationLogUploaderTrigger)) {}

TPlumoraOperationLogUploader::~TPlumoraOperationLogUploader() { Stop(); }

void TPlumoraOperationLogUploader::Trigger() { platform::OpenNamedEvent(kOperationLogUploaderTrigger)->Set(); }

void TPlumoraOperationLogUploader::SetUrl(const std::string& url) {
  std::lock_guard guard(lock_);
  url_ = url;
}

std::string TPlumoraOperationLogUploader::Url() const {
  std::lock_guard guard(lock_);
  return url_;
}

void TPlumoraOperationLogUploader::Start() {
  stopping_ = false;
  thread_.Start("PLBOperationLog", platform::ThreadPriority::kBelowNormal, [this] { Execute(); });
}

void TPlumoraOperationLogUploader::Stop() {
  // The thread may be between two waits: the trigger is set again until it has seen the stop.
  thread_.Stop([this] {
    stopping_ = true;
    trigger_->Set();
  });
}

void TPlumoraOperationLogUploader::Execute() {
  try {
    // Files left by earlier runs go at once.
    trigger_->Set();
    auto last_pass = std::chrono::steady_clock::now();
    bool files_kept = false;
    while (!stopping_) {
      const bool triggered = trigger_->Wait(kTriggerWaitMs);
      if (stopping_) break;
      const bool retry_due =
          files_kept && std::chrono::steady_clock::now() - last_pass >= std::chrono::milliseconds(retry_ms_);
      if (!triggered && !retry_due) continue;
      trigger_->Reset();
      last_pass = std::chrono::steady_clock::now();
      files_kept = SendPending().kept > 0;
    }
  } catch (const std::exception& e) {
    LogFailure("TPlumoraOperationLogUploader.Execute", e);
  }
}

TOperationLogSendReport TPlumoraOperationLogUploader::SendPending() {
  TOperationLogSendReport report;
  for (const std::string& file : ListLogFiles(log_folder_, "POL", ".xml")) {
    if (stopping_) break;
    switch (UploadFile(file)) {
      case Outcome::kSent: ++report.sent; break;
      case Outcome::kDropped: ++report.dropped; break;
      case Outcome::kKept: ++report.kept; break;
    }
  }
  return report;
}

TPlumoraOperationLogUploader::Outcome TPlumoraOperationLogUploader::UploadFile(const std::string& file) {
  try {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) throw EPlumoraOperationLogError("file not exists.");
    const std::string url = Url();
    // Without a URL nothing can be sent; the file waits until the service names one.
    if (url.empty()) throw EPlumoraOperationLogError("url is empty.");
    // What is checked is what is sent: the bytes are read once.
    const std::optional<std::string> bytes = ReadLogFile(file, kMaxOperationLogFileBytes);
    if (!bytes || !IsOperationLog(*bytes)) {
      WriteLog("TPlumoraOperationLogUploader.UploadFile(" + file + ") : not an operation log, removed unsent");
      ::unlink(file.c_str());
      return Outcome::kDropped;
    }
    for (int attempt = 1; attempt <= kOperationLogAttempts && !stopping_; ++attempt) {
      try {
        HttpUploadFile(url, file, *bytes);
        ::unlink(file.c_str());
        return Outcome::kSent;
      } catch (const std::exception& e) {
        LogFailure("TPlumoraOperationLogUploader.HttpUploadFile( url=" + url + " ; srcfile=" + file + " )", e);
      }
    }
    return Outcome::kKept;
  } catch (const std::exception& e) {
    LogFailure("TPlumoraOperationLogUploader.UploadFile(" + file + ")", e);
    return Outcome::kKept;
  }
}

void TPlumoraOperationLogUploader::HttpUploadFile(const std::string& url, const std::string& file,
                                                  const std::string& bytes) {
  TMultipartForm form;
  const std::string name = std::filesystem::path(file).filename().string();
  form.AddFileBytes("infile", name, ContentTypeForFile(name), bytes);
  THttpRequest request;
  request.url = url;
  request.user_agent = kOperationLogUserAgent;
  request.form = &form;
  request.cancelled = [this] { return stopping_.load(); };
  const THttpResponse response = HttpSend(request);
  if (response.status != 200)
    throw EPlumoraOperationLogError(std::to_string(response.status) + " : " + response.status_text);
}

}  // namespace plb

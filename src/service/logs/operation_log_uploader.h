#pragma once
// Sends the operation-log files of the log folder ("POL*.xml") to the service: a background
// thread that wakes when the log has written a file (and once at its start, for files left by
// earlier runs), posts each file as the form field "infile", and removes it once the service
// answered with status 200.
//
// Outcomes of one file:
//   status 200                              removed
//   any other answer, or none (3 attempts)  kept; tried again on the next wake-up, at the
//                                           latest after the retry interval
//   no URL                                  kept until one is known
//   not an operation log (bad XML, too big) removed unsent: it can never be sent
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/named_event.h"
#include "platform/thread_stop.h"

namespace plb {

inline constexpr const char* kOperationLogUploaderTrigger = "PlumoraOperationLogUploaderTrigger";
inline constexpr const char* kOperationLogUserAgent = "PlumoraBrowser OperationLog Uploader";
inline constexpr int kOperationLogAttempts = 3;
inline constexpr int kOperationLogRetryMs = 60000;
// Far above a file of 100 records; a bigger file is not ours.
inline constexpr uint64_t kMaxOperationLogFileBytes = 16u << 20;

struct TOperationLogSendReport {
  int sent = 0;
  int dropped = 0;
  int kept = 0;
};

class TPlumoraOperationLogUploader {
 public:
  TPlumoraOperationLogUploader(std::string log_folder, std::string url, int retry_ms = kOperationLogRetryMs);
  ~TPlumoraOperationLogUploader();
  TPlumoraOperationLogUploader(const TPlumoraOperationLogUploader&) = delete;
  TPlumoraOperationLogUploader& operator=(const TPlumoraOperationLogUploader&) = delete;

  // Runs the thread (lower than normal priority); it sends what waits at once.
  void Start();
  // Asks the thread to stop, aborts a request in flight and waits for it.
  void Stop();
  bool Running() const { return thread_.Running(); }

  void SetUrl(const std::string& url);
  std::string Url() const;

  // One pass on the calling thread: every waiting file.
  TOperationLogSendReport SendPending();

  // Wakes the program's uploader: a new file waits.
  static void Trigger();

 private:
  void Execute();
  enum class Outcome { kSent, kDropped, kKept };
  Outcome UploadFile(const std::string& file);
  // One POST of the file's bytes; raises EHttpError, or EPlumoraOperationLogError for a status
  // other than 200 ("%d : %s").
  void HttpUploadFile(const std::string& url, const std::string& file, const std::string& bytes);

  const std::string log_folder_;
  const int retry_ms_;
  mutable std::mutex lock_;
  std::string url_;
  std::shared_ptr<platform::NamedEvent> trigger_;
  std::atomic<bool> stopping_{false};
  platform::WorkerThread thread_;
};

}  // namespace plb

#pragma once
// The usage-log sender: a background thread for the life of the program that, every ten seconds,
// turns each waiting "<period>.upl" file of the log folder into a usage report, sends it to the
// period's log URL and removes the file once the service has answered it.
//
// Outcomes of one file:
//   answered (a document, or an error document)   file removed: the service has seen it
//   not answered (no connection, bad status ...)  file kept for the next round
//   unreadable or without URL or period id        file removed unsent: it can never be sent
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/named_event.h"
#include "platform/thread_stop.h"
#include "service/logs/usage_report.h"

namespace plb {

inline constexpr const char* kPLBLogSaverCancelEvent = "PLBLogSaverCancelEvent";
inline constexpr int kPLBLogSaverWaitMs = 10000;

// Gathers the library's description for a batch; may_go_on turns false when the saver must stop
// (a long walk should end early then). Runs on the saver's thread.
using TPLBLibraryDescriber = std::function<TPLBLibraryDescription(const std::function<bool()>& may_go_on)>;

struct TPLBLogSendReport {
  int sent = 0;     // answered by the service and removed
  int dropped = 0;  // unreadable, removed unsent
  int kept = 0;     // left for the next round
};

class TPLBLogSaver {
 public:
  // describe may be empty: the report then describes an empty library.
  TPLBLogSaver(std::string log_folder, TPLBLibraryDescriber describe, int wait_ms = kPLBLogSaverWaitMs);
  ~TPLBLogSaver();
  TPLBLogSaver(const TPLBLogSaver&) = delete;
  TPLBLogSaver& operator=(const TPLBLogSaver&) = delete;

  // Runs the thread (idle priority) until Stop() or the cancel signal.
  void Start();
  // Signals the thread, aborts a request in flight and waits for it.
  void Stop();

  // One batch on the calling thread, as the thread runs it: every waiting ".upl" file.
  TPLBLogSendReport SendPending();

  // Not asked to stop and the cancel signal not set.
  bool MayGoOn() const;

 private:
  void Execute();
  enum class Outcome { kSent, kDropped, kKept };
  Outcome DoSaveLog(const std::string& file, const TPLBLibraryDescription& library);

  const std::string log_folder_;
  const TPLBLibraryDescriber describe_;
  const int wait_ms_;
  std::shared_ptr<platform::NamedEvent> cancel_;
  std::atomic<bool> stopping_{false};
  platform::WorkerThread thread_;
};

// The program's one saver: started once at start-up with the log folder (a second call while one
// runs does nothing), finished at shut-down. Neither raises; errors go to the diagnostic log.
void StartLogSaver(const std::string& log_folder, TPLBLibraryDescriber describe = {});
void FinishLogSaver();

}  // namespace plb

#pragma once
// The worker control gate: one process-wide manual-reset event that background workers (the
// folder updater above all) wait on between steps. Foreground operations that must not compete
// with them close it while they run; it opens again when the last of them has ended.
#include <memory>

#include "platform/named_event.h"

namespace plb {

inline constexpr char kWorkerControlEventName[] = "PlumoraBrowser-Worker-Control-Event";

// The gate's event, open (set) until somebody pauses the workers. Workers that obey the gate
// wait on it.
std::shared_ptr<platform::NamedEvent> WorkerControlEvent();

// Closes the gate (the first pause) and counts one more pause.
void PauseWorkers();
// Counts one pause less; the last one opens the gate. Extra calls change nothing.
void ResumeWorkers();
// Pauses that are in force.
int WorkerPauseCount();

// Pauses the workers for its lifetime, so that a foreground operation that fails still opens
// the gate again.
class TWorkerPause {
 public:
  TWorkerPause() { PauseWorkers(); }
  ~TWorkerPause() { ResumeWorkers(); }
  TWorkerPause(const TWorkerPause&) = delete;
  TWorkerPause& operator=(const TWorkerPause&) = delete;
};

}  // namespace plb

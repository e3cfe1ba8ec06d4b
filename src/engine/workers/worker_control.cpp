#include "engine/workers/worker_control.h"

#include <mutex>

namespace plb {

namespace {

struct Gate {
  std::mutex lock;
  int pauses = 0;
  std::shared_ptr<platform::NamedEvent> event;
};

// The gate is made open on first use, whoever touched the event's name before.
Gate& TheGate() {
  static Gate* gate = [] {
    auto* g = new Gate;
    g->event = platform::OpenNamedEvent(kWorkerControlEventName, true);
    g->event->Set();
    return g;
  }();
  return *gate;
}

// The event exists, open, from the start of the process: a worker that opens it by name before
// anybody paused must not find it closed.
[[maybe_unused]] const bool kGateOpenAtStart = (TheGate(), true);

}  // namespace

std::shared_ptr<platform::NamedEvent> WorkerControlEvent() {
  return TheGate().event;
}

void PauseWorkers() {
  Gate& gate = TheGate();
  std::lock_guard guard(gate.lock);
  if (gate.pauses == 0) gate.event->Reset();
  ++gate.pauses;
}

void ResumeWorkers() {
  Gate& gate = TheGate();
  std::lock_guard guard(gate.lock);
  if (gate.pauses <= 0) return;
  if (--gate.pauses == 0) gate.event->Set();
}

int WorkerPauseCount() {
  Gate& gate = TheGate();
  std::lock_guard guard(gate.lock);
  return gate.pauses;
}

}  // namespace plb

#pragma once
// The start sequence's operating-system side: the lock files, the hand-off socket and the
// stale-process sweep of the platform layer.
#include <string>

#include "host/start_sequence.h"
#include "platform/instance_lock.h"
#include "platform/process_sweep.h"

namespace plb {

class TStartPlatform : public IStartPlatform {
 public:
  // Captures the program's identity now, before anything may replace its file.
  TStartPlatform();

  InstanceState AcquireInstance() override;
  void ReleaseInstance() override { locks_.ReleaseInstance(); }
  bool RunningInstanceExists() override { return locks_.RunningHeldByAnotherProcess(); }
  void AcquireRunningLock() override;
  void ReleaseRunningLock() override { locks_.ReleaseRunning(); }
  bool HandOffToRunningInstance(const std::string& text) override;
  void SweepStaleProcesses() override;

 private:
  platform::InstanceLocks locks_;
  platform::SweepIdentity identity_;
};

}  // namespace plb

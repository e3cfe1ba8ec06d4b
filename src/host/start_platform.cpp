#include "host/start_platform.h"

#include "host/log_file.h"
#include "platform/hand_off.h"

namespace plb {

TStartPlatform::TStartPlatform() : identity_(platform::OwnSweepIdentity()) {}

IStartPlatform::InstanceState TStartPlatform::AcquireInstance() {
  switch (locks_.AcquireInstance()) {
    case platform::LockResult::kAcquired:
      return InstanceState::kFirst;
    case platform::LockResult::kHeldElsewhere:
      return InstanceState::kSecond;
    case platform::LockResult::kFailed:
      break;
  }
  return InstanceState::kFailed;
}

void TStartPlatform::AcquireRunningLock() {
  // Without the running lock a second start only misjudges us as still starting and shows its
  // warning; that is no reason to stop a start that has otherwise succeeded.
  if (locks_.AcquireRunning() != platform::LockResult::kAcquired) WriteLog("The running lock could not be taken.");
}

bool TStartPlatform::HandOffToRunningInstance(const std::string& text) {
  platform::HandOffMessage activate;
  activate.type = platform::HandOffType::kActivate;
  if (platform::SendHandOff(activate).status != platform::HandOffStatus::kAnswered) return false;
  if (text.empty()) return true;
  platform::HandOffMessage command;
  command.type = platform::HandOffType::kCommandText;
  command.kind = 0;
  command.text = text;
  return platform::SendHandOff(command).status == platform::HandOffStatus::kAnswered;
}

void TStartPlatform::SweepStaleProcesses() {
  platform::SweepStaleProcesses(identity_);
}

}  // namespace plb

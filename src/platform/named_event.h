#pragma once
// Named manual-reset events inside the process: threads that know an event's name share it, the
// way the components of the program signal work, cancel and progress to each other. An event
// stays set until reset, and lives while someone holds it.
#include <chrono>
#include <memory>
#include <span>
#include <string>

namespace plb::platform {

class NamedEvent {
 public:
  static constexpr int kInfinite = -1;

  const std::string& Name() const { return name_; }

  void Set();
  void Reset();
  bool IsSet() const;

  // Waits until the event is set or timeout_ms passed (kInfinite: no limit); true when set.
  bool Wait(int timeout_ms = kInfinite) const;

  // Waits until one of events is set; the index of the first that is set, or -1 after
  // timeout_ms.
  static int WaitAny(std::span<const std::shared_ptr<NamedEvent>> events, int timeout_ms = kInfinite);

  explicit NamedEvent(std::string name, bool initially_set) : name_(std::move(name)), set_(initially_set) {}

 private:
  std::string name_;
  bool set_;
};

// The event of that name: the existing one (initially_set then does not matter) or a new one.
// An empty name makes an event of its own that nobody else can open.
std::shared_ptr<NamedEvent> OpenNamedEvent(const std::string& name, bool initially_set = false);

}  // namespace plb::platform

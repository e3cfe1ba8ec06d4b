#pragma once
// The armed stop steps of the process: each start step that succeeded pushes the step that
// undoes it; whatever way the start is left, the armed steps run in reverse order.
#include <functional>
#include <string>
#include <vector>

namespace plb {

class TStopStack {
 public:
  using Step = std::function<void()>;

  TStopStack() = default;
  TStopStack(const TStopStack&) = delete;
  TStopStack& operator=(const TStopStack&) = delete;
  // Runs what is still armed; the first error is logged, since a destructor cannot raise it.
  ~TStopStack();

  void Arm(std::string name, Step step);

  // Runs every armed step, last armed first, and disarms them. Every step runs even when an
  // earlier one fails; the first failure is raised again once all have run.
  void RunAll();

  bool Empty() const { return steps_.empty(); }
  std::vector<std::string> ArmedNames() const;

 private:
  std::vector<std::pair<std::string, Step>> steps_;
};

}  // namespace plb

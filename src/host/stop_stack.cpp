#include "host/stop_stack.h"

#include <exception>

#include "host/log_file.h"

namespace plb {

TStopStack::~TStopStack() {
  // The start is being left by an error that is already on its way; what fails in undoing the
  // steps is told in the log, since a destructor cannot raise it.
  try {
    RunAll();
  } catch (const std::exception& e) {
    LogFailure("TStopStack.RunAll", e);
  }
}

void TStopStack::Arm(std::string name, Step step) { steps_.emplace_back(std::move(name), std::move(step)); }

void TStopStack::RunAll() {
  std::exception_ptr first_failure;
  while (!steps_.empty()) {
    Step step = std::move(steps_.back().second);
    steps_.pop_back();
    try {
      step();
    } catch (...) {
      if (!first_failure) first_failure = std::current_exception();
    }
  }
  if (first_failure) std::rethrow_exception(first_failure);
}

std::vector<std::string> TStopStack::ArmedNames() const {
  std::vector<std::string> names;
  for (const auto& s : steps_) names.push_back(s.first);
  return names;
}

}  // namespace plb

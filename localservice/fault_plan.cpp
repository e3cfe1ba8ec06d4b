#include "localservice/fault_plan.h"

#include <charconv>

namespace plb::localservice {
namespace {

int IntOf(const std::map<std::string, std::string>& items, const std::string& name, int fallback) {
  const auto found = items.find(name);
  if (found == items.end()) return fallback;
  int value = fallback;
  std::from_chars(found->second.data(), found->second.data() + found->second.size(), value);
  return value;
}

std::string TextOf(const std::map<std::string, std::string>& items, const std::string& name) {
  const auto found = items.find(name);
  return found == items.end() ? std::string() : found->second;
}

}  // namespace

std::optional<Fault> ParseFault(const std::map<std::string, std::string>& items) {
  static const std::map<std::string, Fault::Kind> kinds = {
      {"error", Fault::Kind::kError},       {"status", Fault::Kind::kStatus}, {"badxml", Fault::Kind::kBadXml},
      {"empty", Fault::Kind::kEmpty},       {"body", Fault::Kind::kBody},     {"delay", Fault::Kind::kDelay},
      {"slowbody", Fault::Kind::kSlowBody}, {"drop", Fault::Kind::kDrop}};
  const auto kind = kinds.find(TextOf(items, "kind"));
  if (kind == kinds.end()) return std::nullopt;
  Fault fault;
  fault.kind = kind->second;
  fault.status = IntOf(items, "status", 500);
  fault.code = TextOf(items, "code");
  fault.message = TextOf(items, "message");
  fault.body = TextOf(items, "body");
  fault.delay_ms = IntOf(items, "delay", 0);
  fault.count = IntOf(items, "count", 1);
  fault.skip = IntOf(items, "skip", 0);
  if (fault.count < 1 || fault.skip < 0) return std::nullopt;
  return fault;
}

void FaultPlan::Add(const std::string& path, const Fault& fault) {
  std::lock_guard guard(lock_);
  faults_[path].push_back(fault);
}

std::optional<Fault> FaultPlan::Take(const std::string& path) {
  std::lock_guard guard(lock_);
  const auto found = faults_.find(path);
  if (found == faults_.end() || found->second.empty()) return std::nullopt;
  if (found->second.front().skip > 0) {
    --found->second.front().skip;
    return std::nullopt;
  }
  Fault fault = found->second.front();
  if (--found->second.front().count == 0) found->second.pop_front();
  return fault;
}

void FaultPlan::Clear() {
  std::lock_guard guard(lock_);
  faults_.clear();
}

}  // namespace plb::localservice

#pragma once
// Faults a test asks the local service to show on one endpoint: a queue of overrides, each for the
// next count requests, after which the endpoint answers normally again.
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace plb::localservice {

struct Fault {
  enum class Kind {
    kError,     // an error document with code and message (no children when both are empty)
    kStatus,    // an HTTP status with an empty body
    kBadXml,    // a body that is not XML
    kEmpty,     // status 200 with an empty body
    kBody,      // status 200 with the given body
    kDelay,     // wait delay_ms, then answer normally
    kSlowBody,  // the normal answer, one byte every delay_ms
    kDrop,      // headers, then the connection closes before the body
  };
  Kind kind = Kind::kStatus;
  int status = 500;
  std::string code;
  std::string message;
  std::string body;
  int delay_ms = 0;
  int count = 1;
  int skip = 0;  // requests answered normally before the fault begins (the fault on the Nth: skip N-1)
};

// Reads a fault from its text form (the query items of the admin endpoint or the --fault option):
// kind=error|status|badxml|empty|body|delay|slowbody|drop, status=, code=, message=, body=,
// delay=, count=, skip=. Nothing for an unknown kind.
std::optional<Fault> ParseFault(const std::map<std::string, std::string>& items);

class FaultPlan {
 public:
  void Add(const std::string& path, const Fault& fault);
  // The fault for the next request to path, if any (and counts it).
  std::optional<Fault> Take(const std::string& path);
  void Clear();

 private:
  std::mutex lock_;
  std::map<std::string, std::deque<Fault>> faults_;
};

}  // namespace plb::localservice

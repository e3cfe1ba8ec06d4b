#pragma once
// The services a page may ask the program for through commands: a method of the maker's local
// service tool ("callax"), addresses from the address book ("getmailaddress") and an address in
// the desktop browser ("wakeupie"). Each ends in calls of page functions, which the caller makes
// through the web home's escaped script calls.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plb::shell {

// A call of a page function: the function named by the page, and its arguments.
struct TPageCall {
  std::string function;
  std::vector<std::string> args;
};

// The maker's local service tool, looked up by its programmatic id.
class IServiceTool {
 public:
  virtual ~IServiceTool() = default;
  virtual bool HasMethod(const std::string& name) = 0;
  // Raises on failure.
  virtual std::string Invoke(const std::string& name, const std::vector<std::string>& args) = 0;
};

inline constexpr const char* kServiceToolProgId = "MorvaneServiceClientTool.Opener";

// Makes the tool of a programmatic id; null when none is installed (the case on this platform).
using TServiceToolFactory = std::function<std::unique_ptr<IServiceTool>(const std::string& prog_id)>;

// "callax": command is a comma list with "mode" (must be "callax" when present), "axfunc",
// "resultfunc" and "axparam_*" items (their values are the arguments, in item order). The tool
// is told the current location first when it knows "SetCurrentUrl". Answers the call of
// resultfunc with the result, or with "false" when there is no tool or the call failed; nothing
// for a wrong mode (logged as "Mode Error ( %s )") or without resultfunc.
std::vector<TPageCall> RunServiceToolCommand(const std::string& command, const std::string& location,
                                             const TServiceToolFactory& factory);

// A recipient chosen in the address book.
struct TMailRecipient {
  std::string name;
  std::string address;
};

// The address book: nothing when it is not available, which is the case on this platform.
using TAddressBook = std::function<std::optional<std::vector<TMailRecipient>>(const std::string& caption)>;

// "getmailaddress": with "resultfunc" set, resultfunc("name,address") for each recipient chosen,
// then finishedfunc('') when the item is present, also when nothing was chosen or the book is
// missing (logged as "MAPILogOn is Failed. (return MAPI_E_USER_ABORT)").
std::vector<TPageCall> RunMailAddressCommand(const std::string& command, const TAddressBook& book);

// "wakeupie": the "url" item; empty when there is none.
std::string WakeupBrowserUrl(const std::string& command);

}  // namespace plb::shell

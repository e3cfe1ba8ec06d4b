#include "shell/web/page_services.h"

#include <optional>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "platform/error.h"
#include "service/commands/command_csv.h"

namespace plb::shell {
namespace {

std::string ItemOr(const std::vector<std::string>& items, std::string_view name) {
  return FindItem(items, name).value_or("");
}

// Creates the tool and calls the method; nothing when anything fails (logged).
std::optional<std::string> CallTool(const std::vector<std::string>& items, const std::string& location,
                                    const TServiceToolFactory& factory) {
  try {
    std::unique_ptr<IServiceTool> tool = factory ? factory(kServiceToolProgId) : nullptr;
    if (!tool) throw Error(std::string(kServiceToolProgId) + " is not installed.");
    if (tool->HasMethod("SetCurrentUrl")) tool->Invoke("SetCurrentUrl", {location});
    const std::string method = ItemOr(items, "axfunc");
    if (!tool->HasMethod(method)) throw Error("Unknown method ( " + method + " )");
    std::vector<std::string> args;
    for (const std::string& item : items)
      if (AsciiStartsWithNoCase(ItemName(item), "axparam_")) args.push_back(ItemValue(item));
    return tool->Invoke(method, args);
  } catch (const std::exception& e) {
    LogFailure("CallActiveXFunction", e);
    return std::nullopt;
  }
}

}  // namespace

std::vector<TPageCall> RunServiceToolCommand(const std::string& command, const std::string& location,
                                             const TServiceToolFactory& factory) {
  const std::vector<std::string> items = ParseCommandCSV(command);
  if (const auto mode = FindItem(items, "mode"); mode && !AsciiEqualsNoCase(*mode, "callax")) {
    WriteLog("MVSC_ActiveXCommand : EMVSC_Error Raised ( Mode Error ( " + *mode + " ) )");
    return {};
  }
  const std::string result_function = ItemOr(items, "resultfunc");
  const std::optional<std::string> result = CallTool(items, location, factory);
  if (result_function.empty()) return {};
  return {{result_function, {result.value_or("false")}}};
}

std::vector<TPageCall> RunMailAddressCommand(const std::string& command, const TAddressBook& book) {
  const std::vector<std::string> items = ParseCommandCSV(command);
  const std::string result_function = ItemOr(items, "resultfunc");
  if (result_function.empty()) return {};
  std::vector<TPageCall> calls;
  const auto chosen = book ? book("アドレスを指定してください。") : std::nullopt;
  if (!chosen) {
    WriteLog("MAPILogOn is Failed. (return MAPI_E_USER_ABORT)");
  } else {
    for (const TMailRecipient& recipient : *chosen)
      calls.push_back({result_function, {recipient.name + "," + recipient.address}});
  }
  if (const auto finished = FindItem(items, "finishedfunc")) calls.push_back({*finished, {""}});
  return calls;
}

std::string WakeupBrowserUrl(const std::string& command) { return ItemOr(ParseCommandCSV(command), "url"); }

}  // namespace plb::shell

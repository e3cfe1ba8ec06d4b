// plb command: decodes a command CSV, a wake-up URL or program arguments into the parameter store
// and prints the store.
#include <cstdio>

#include "service/commands/command_csv.h"
#include "service/api/plumora_api_params.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunCommand(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  const bool as_arguments = TakeFlag(args, "--args");
  if (args.empty() || (!as_arguments && args.size() != 1)) throw UsageError{"one TEXT, or --args with arguments"};

  std::string csv;
  if (as_arguments) {
    csv = CommandLineCSV(args);
  } else if (const TPlumoraBrowserCommand wakeup = GetPlumoraBrowserCommandEx(args[0]); wakeup.is_wakeup) {
    csv = wakeup.csv;
  } else {
    csv = args[0];
  }
  TPlumoraApiParams store;
  if (!store.SetParamsFromCSVLocked(csv, true)) {
    std::fprintf(stderr, "plb command: nothing to apply\n");
    return 1;
  }
  const TPlumoraApiParamValues values = store.Snapshot();
  const std::string word(PlumoraApiModeWord(values.mode));
  if (json) {
    std::string out = "{\"mode\":" + std::to_string(values.mode) + ",\"word\":\"" + word + "\",\"params\":{";
    bool first = true;
    for (const auto& [name, value] : values.Named()) {
      out += (first ? "\"" : ",\"") + JsonEscape(name) + "\":\"" + JsonEscape(value) + "\"";
      first = false;
    }
    std::printf("%s}}\n", out.c_str());
    return 0;
  }
  std::printf("csv: %s\nmode: %d %s\n", csv.c_str(), values.mode, word.c_str());
  for (const auto& [name, value] : values.Named()) std::printf("%-22s %s\n", name.c_str(), value.c_str());
  return 0;
}

PLB_SUBCOMMAND("command", "[--json] TEXT | [--json] --args ARG...: decode a command into the parameter store",
               RunCommand);

}  // namespace
}  // namespace plb::cli

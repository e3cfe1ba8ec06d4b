// plb command: decodes a command CSV, a wake-up URL or program arguments into the parameter store
// and prints the store.
#include <cstdio>
#include <memory>

#include "json_output.h"
#include "service/api/plumora_api_params.h"
#include "service/commands/command_csv.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  bool json = false;
  bool asArguments = false;
  std::vector<std::string> texts;
};

std::string CsvOf(const Options& o) {
  if (o.asArguments) return CommandLineCSV(o.texts);
  if (const TPlumoraBrowserCommand wakeup = GetPlumoraBrowserCommandEx(o.texts[0]); wakeup.is_wakeup) return wakeup.csv;
  return o.texts[0];
}

int RunCommand(const Options& o) {
  if (o.texts.empty() || (!o.asArguments && o.texts.size() != 1)) throw UsageError{"one TEXT, or --args with arguments"};
  const std::string csv = CsvOf(o);
  TPlumoraApiParams store;
  if (!store.SetParamsFromCSVLocked(csv, true)) {
    std::fprintf(stderr, "plb command: nothing to apply\n");
    return 1;
  }
  const TPlumoraApiParamValues values = store.Snapshot();
  const std::string word(PlumoraApiModeWord(values.mode));
  if (o.json) {
    JsonObject params = JsonObject::object();
    for (const auto& [name, value] : values.Named()) PutText(params, name, value);
    PrintJsonLine({{"mode", values.mode}, {"word", word}, {"params", params}});
    return 0;
  }
  std::printf("csv: %s\nmode: %d %s\n", csv.c_str(), values.mode, word.c_str());
  for (const auto& [name, value] : values.Named()) std::printf("%-22s %s\n", name.c_str(), value.c_str());
  return 0;
}

Runner DefineCommand(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_flag("--json", o->json, "the store as one JSON object");
  app.add_flag("--args", o->asArguments, "read the texts as the program's arguments");
  app.add_option("TEXT", o->texts, "a command CSV or wake-up URL; with --args, program arguments (after --)");
  return [o] { return RunCommand(*o); };
}

PLB_SUBCOMMAND("command", "[--json] TEXT | [--json] --args ARG...", "decode a command into the parameter store",
               DefineCommand);

}  // namespace
}  // namespace plb::cli

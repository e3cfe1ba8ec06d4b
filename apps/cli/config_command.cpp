// plb config: every configuration value with its current value and where it came from, and the
// program's folders.
#include <cstdio>
#include <string>
#include <vector>

#include "host/config_values.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/program_file.h"
#include "host/uploader_options.h"
#include "platform/private_temp.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Row {
  std::string group;
  ConfigValueView value;
};

void Print(const std::vector<Row>& rows, bool json) {
  for (const auto& row : rows) {
    const char* source = ConfigSourceName(row.value.source);
    if (json) {
      std::printf("{\"group\":\"%s\",\"name\":\"%s\",\"value\":\"%s\",\"source\":\"%s\"}\n",
                  JsonEscape(row.group).c_str(), JsonEscape(row.value.name).c_str(), JsonEscape(row.value.text).c_str(),
                  source);
    } else {
      std::printf("%-9s %-38s %-8s %s\n", row.group.c_str(), row.value.name.c_str(), source, row.value.text.c_str());
    }
  }
}

int RunConfig(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  if (!args.empty()) throw UsageError{"unexpected argument '" + args.front() + "'"};

  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  std::vector<Row> rows;
  for (auto& view : config.Describe()) rows.push_back({"settings", std::move(view)});
  for (auto& view : DescribeProductValues()) rows.push_back({"product", std::move(view)});
  for (auto& view : DescribeUploaderOptions(ProgramFolder() + "/debug.ini"))
    rows.push_back({"upload", std::move(view)});
  const auto folder = [&](const char* name, const std::string& path) {
    rows.push_back({"folders", {name, path, ConfigSource::kDefault}});
  };
  folder("DataFolder", config.DataFolder());
  folder("LogFolder", config.LogFolder());
  folder("TempFolder", platform::PrivateTempFolder());
  folder("SettingsFile", HiveFilePath(Hive::kCurrentUser));
  folder("MachineSettingsFile", HiveFilePath(Hive::kLocalMachine));
  Print(rows, json);
  return 0;
}

PLB_SUBCOMMAND("config", "[--json]", RunConfig);

}  // namespace
}  // namespace plb::cli

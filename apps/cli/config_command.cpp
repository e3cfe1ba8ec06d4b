// plb config: every configuration value with its current value and where it came from, and the
// program's folders.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/config_values.h"
#include "host/plumora_config_item.h"
#include "host/product_values.h"
#include "host/program_file.h"
#include "host/uploader_options.h"
#include "json_output.h"
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
      JsonObject line;
      line["group"] = row.group;
      PutText(line, "name", row.value.name);
      PutText(line, "value", row.value.text);
      line["source"] = source;
      PrintJsonLine(line);
    } else {
      std::printf("%-9s %-38s %-8s %s\n", row.group.c_str(), row.value.name.c_str(), source, row.value.text.c_str());
    }
  }
}

int RunConfig(bool json) {
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

Runner DefineConfig(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  app.add_flag("--json", *json, "one JSON object per value");
  return [json] { return RunConfig(*json); };
}

PLB_SUBCOMMAND("config", "[--json]", "every setting with its value and source, and the program's folders",
               DefineConfig);

}  // namespace
}  // namespace plb::cli

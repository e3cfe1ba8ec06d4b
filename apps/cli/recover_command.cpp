// plb recover: after the catalog could not be read, puts back the newest copy of its files that
// reads whole, and says which copy it took and where the replaced files were kept.
#include <cstdio>
#include <exception>
#include <string>

#include "engine/store/engine_data_recovery.h"
#include "host/date_time.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunRecover() {
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  try {
    OpenLog(config.LogFolder(), "plb.log");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb recover: no log (%s)\n", MessageOf(e).c_str());
  }
  struct LogCloser {
    ~LogCloser() { CloseLog(); }
  } closer;
  const TRecoveredCatalog result = RestoreNewestGoodCopy(config.DataFolder());
  if (!result.changed) {
    std::printf("The catalog reads whole; nothing was changed.\n");
    return 0;
  }
  std::printf("The catalog was put back as saved at %s, from:\n  %s\n  %s\n",
              FormatDateTime("yyyy-mm-dd hh:nn:ss", result.saved).c_str(), result.tree.c_str(),
              result.albums.c_str());
  if (!result.history.empty()) std::printf("  %s\n", result.history.c_str());
  if (!result.keptAside.empty()) {
    std::printf("The files it replaced were kept aside as:\n");
    for (const std::string& copy : result.keptAside) std::printf("  %s\n", copy.c_str());
  }
  return 0;
}

Runner DefineRecover(CLI::App& app) {
  app.footer(
      "Takes the newest set of the catalog's files that reads whole: the .bak copies of the last saves, "
      "the copies that failed loads kept aside (.damaged-..., .kept-...) and the files in place. The folder "
      "file and the album file of one save are always taken together. The files replaced are kept aside "
      "first, so nothing is lost. Fails, changing nothing, when no copy reads whole or while the application "
      "or another command uses the catalog.");
  return [] { return RunRecover(); };
}

PLB_SUBCOMMAND("recover", "", "put back the newest copy of the catalog that reads whole", DefineRecover);

}  // namespace
}  // namespace plb::cli

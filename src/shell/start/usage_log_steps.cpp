#include "shell/start/usage_log_steps.h"

#include <exception>
#include <functional>
#include <utility>

#include "engine/ostra_engine.h"
#include "host/log_file.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "service/logs/library_description.h"
#include "service/logs/operation_log.h"
#include "service/logs/plb_log_item.h"
#include "service/logs/plb_log_saver.h"

namespace plb::shell {

void AddUsageAndOperationLogSteps(StartHooks& hooks, const std::string& log_folder, TOstraEngine& engine) {
  hooks.create_operation_log = [log_folder](TStopStack& stop) {
    // The counters and the operation log are independent: one failing leaves the other working.
    try {
      PLBLogItem().Initialize(log_folder);
      stop.Arm("keep the usage counters", [] { PLBLogItem().Finalize(); });
    } catch (const std::exception& e) {
      LogFailure("TPLBLogItem.Initialize", e);
    }
    DAL_Initialize(log_folder);
    stop.Arm("finish the operation log", [] { DAL_Finalize(); });
  };

  hooks.boot = [](TStopStack& stop, const std::string& forwarded) {
    try {
      DAL_AddBootLog(forwarded);
    } catch (const std::exception& e) {
      LogFailure("DAL_AddBootLog", e);
    }
    stop.Arm("the operation log's shut-down record", [] { DAL_AddShutdownLog(); });
  };

  auto services = std::move(hooks.start_background_services);
  hooks.start_background_services = [services, log_folder, &engine](TStopStack& stop) {
    StartLogSaver(log_folder, [&engine](const std::function<bool()>& may_go_on) {
      TCatalogImageCacheMaster* cache = CatalogCacheOf(engine.ImageCache());
      const int64_t bytes = cache ? cache->TotalSize() : 0;
      return DescribeLibrary(engine, bytes > 0 ? static_cast<uint64_t>(bytes) : 0, may_go_on);
    });
    stop.Arm("stop the usage-log saver", [] { FinishLogSaver(); });
    if (services) services(stop);
  };
}

}  // namespace plb::shell

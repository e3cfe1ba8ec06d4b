#pragma once
// The start and stop steps of the usage counters, the operation log and the usage-log saver.
#include <string>

#include "host/start_sequence.h"

namespace plb {
class TOstraEngine;
}

namespace plb::shell {

// The counters and the operation log open before the application information is fetched (it
// names their period and addresses) and close last; the boot record follows the start, the
// shut-down record leads the stop. The saver, which describes the catalog in its reports, starts
// with the background services and stops after the re-upload thread, before the engine.
void AddUsageAndOperationLogSteps(StartHooks& hooks, const std::string& log_folder, TOstraEngine& engine);

}  // namespace plb::shell

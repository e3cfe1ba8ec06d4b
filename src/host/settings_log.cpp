#include "host/settings_log.h"

#include "host/log_file.h"
#include "platform/settings_store.h"

namespace plb {

void SendSettingsProblemsToLog() {
  SetSettingsProblemHandler([](const std::string& note) { WriteLog(note); });
}

}  // namespace plb

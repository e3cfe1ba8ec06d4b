#include "shell/main/command_targets.h"

#include "host/log_file.h"

namespace plb::shell {

void TCommandTargets::NotAvailable(const std::string& what, const std::string& detail) {
  WriteLog(what + ": not available in this program yet" + (detail.empty() ? "" : " (" + detail + ")"));
}

}  // namespace plb::shell

#pragma once
// The question at start when the catalog could not be read whole: what failed, the copies that
// were kept aside, and what to do. Nothing is saved over the catalog's files until the user has
// chosen to put back a good copy.
//
// Unattended (PLB_UNATTENDED_DIALOGS set, see qt_start_ui.h) the dialog is recorded as
// "load-failure" and answered by PLB_UNATTENDED_LOAD_FAILURE: "recover" or "quit"; anything else
// continues read-only, as closing the dialog does.
#include <string>
#include <vector>

namespace plb::shell {

enum class LoadFailureChoice { kRecover, kReadOnly, kQuit };

// offer_recovery false leaves out the recovery (it was tried and failed).
LoadFailureChoice AskAboutLoadFailure(const std::string& error, const std::vector<std::string>& kept_aside,
                                      bool offer_recovery);

// Says that no copy could be put back, and why.
void ShowRecoveryFailed(const std::string& reason);

}  // namespace plb::shell

#pragma once
// The settings store sits below the log; this hands the store's notes (a corrupt settings file set
// aside) to the diagnostic log, including those from before the call.
namespace plb {

void SendSettingsProblemsToLog();

}  // namespace plb

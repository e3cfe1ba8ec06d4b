#pragma once
// This program's documents in the printer's queue (CUPS): those whose name begins with the
// program's document name and that are not finished.
#include <string>

namespace plb::shell {

// The number of such documents; 0 when the spooler cannot be asked.
int CountOwnPrintJobs(const std::string& printer);
// Cancels them; answers how many were cancelled. Other programs' documents are left alone.
int CancelOwnPrintJobs(const std::string& printer);

}  // namespace plb::shell

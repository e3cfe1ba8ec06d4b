#include "shell/output/print_spooler.h"

#include <cups/cups.h>

#include <cstring>

#include "output/print/print_settings.h"

namespace plb::shell {

namespace {

template <typename Each>
int ForOwnJobs(const std::string& printer, Each each) {
  cups_job_t* jobs = nullptr;
  // Only the jobs of this user that are not completed.
  const int n = cupsGetJobs(&jobs, printer.empty() ? nullptr : printer.c_str(), 1, CUPS_WHICHJOBS_ACTIVE);
  int count = 0;
  for (int i = 0; i < n; ++i) {
    const cups_job_t& job = jobs[i];
    if (!job.title || std::strncmp(job.title, kPrintDocumentName, std::strlen(kPrintDocumentName)) != 0) continue;
    if (job.state >= IPP_JSTATE_CANCELED) continue;
    if (each(job)) ++count;
  }
  cupsFreeJobs(n, jobs);
  return count;
}

}  // namespace

int CountOwnPrintJobs(const std::string& printer) {
  return ForOwnJobs(printer, [](const cups_job_t&) { return true; });
}

int CancelOwnPrintJobs(const std::string& printer) {
  return ForOwnJobs(printer, [](const cups_job_t& job) { return cupsCancelJob(job.dest, job.id) != 0; });
}

}  // namespace plb::shell

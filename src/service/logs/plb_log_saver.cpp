#include "service/logs/plb_log_saver.h"

#include <unistd.h>

#include "host/log_file.h"
#include "service/api/plumora_api.h"
#include "service/logs/log_files.h"

namespace plb {

TPLBLogSaver::TPLBLogSaver(std::string log_folder, TPLBLibraryDescriber describe, int wait_ms)
    : log_folder_(WithoutTrailingDelimiter(std::move(log_folder))),
      describe_(std::move(describe)),
      wait_ms_(wait_ms),
      cancel_(platform::OpenNamedEvent(kPLBLogSaverCancelEvent)) {
  // A cancel left set by an earlier saver must not stop this one.
  cancel_->Reset();
}

TPLBLogSaver::~TPLBLogSaver() { Stop(); }

void TPLBLogSaver::Start() {
  stopping_ = false;
  thread_.Start("PLBLogSaver", platform::ThreadPriority::kIdle, [this] { Execute(); });
}

void TPLBLogSaver::Stop() {
  thread_.Stop([this] {
    stopping_ = true;
    cancel_->Set();
  });
}

bool TPLBLogSaver::MayGoOn() const { return !stopping_ && !cancel_->IsSet(); }

void TPLBLogSaver::Execute() {
  try {
    while (MayGoOn()) {
      if (cancel_->Wait(wait_ms_)) break;
      SendPending();
    }
  } catch (const std::exception& e) {
    LogFailure("TPLBLogSaver.Execute", e);
  }
}

TPLBLogSendReport TPLBLogSaver::SendPending() {
  TPLBLogSendReport report;
  const std::vector<std::string> files = ListLogFiles(log_folder_, "", kPLBLogUploadExt);
  if (files.empty()) return report;
  TPLBLibraryDescription library;
  if (describe_) {
    try {
      library = describe_([this] { return MayGoOn(); });
    } catch (const std::exception& e) {
      // The counters are worth sending without the library's description.
      LogFailure("TPLBLogSaver.SetupFolderData", e);
    }
  }
  for (const std::string& file : files) {
    if (!MayGoOn()) break;
    switch (DoSaveLog(file, library)) {
      case Outcome::kSent: ++report.sent; break;
      case Outcome::kDropped: ++report.dropped; break;
      case Outcome::kKept: ++report.kept; break;
    }
  }
  return report;
}

TPLBLogSaver::Outcome TPLBLogSaver::DoSaveLog(const std::string& file, const TPLBLibraryDescription& library) {
  try {
    TPLBLogItem item;
    // A damaged file still gives what it holds up to the fault.
    item.InportDataFromFile(file);
    const std::string url = item.LogUrl();
    const std::string id = item.LogLongSessionId();
    if (url.empty() || id.empty()) {
      WriteLog("TPLBLogSaver.DoSaveLog : " + file + " has no log URL or period id and is removed unsent");
      ::unlink(file.c_str());
      return Outcome::kDropped;
    }
    const std::string report = BuildUsageReport(item, library, PLApiVersion());
    TPLApiCallOptions options;
    options.cancelled = [this] { return !MayGoOn(); };
    const TPLApiResult result = PLApi_SaveLog(url, id, &report, options);
    // An error document is an answer too: the service has the report and sending it again would
    // only be refused again. Anything short of an answer keeps the file for the next round.
    if (result.Success || result.Kind == plrkRequestFailed) {
      ::unlink(file.c_str());
      return Outcome::kSent;
    }
    return Outcome::kKept;
  } catch (const std::exception& e) {
    LogFailure("TPLBLogSaver.DoSaveLog", file, e);
    return Outcome::kKept;
  }
}

namespace {

std::mutex& SaverLock() {
  static std::mutex lock;
  return lock;
}

std::unique_ptr<TPLBLogSaver>& SaverSlot() {
  static std::unique_ptr<TPLBLogSaver> saver;
  return saver;
}

}  // namespace

void StartLogSaver(const std::string& log_folder, TPLBLibraryDescriber describe) {
  try {
    std::lock_guard guard(SaverLock());
    if (SaverSlot()) return;
    SaverSlot() = std::make_unique<TPLBLogSaver>(log_folder, std::move(describe));
    SaverSlot()->Start();
  } catch (const std::exception& e) {
    LogFailure("StartLogSaver", e);
  }
}

void FinishLogSaver() {
  try {
    std::unique_ptr<TPLBLogSaver> saver;
    {
      // Taken out of its slot before the wait: a second finish run from the UI work processed
      // during the wait finds nothing to stop.
      std::lock_guard guard(SaverLock());
      saver = std::move(SaverSlot());
    }
    if (saver) saver->Stop();
  } catch (const std::exception& e) {
    LogFailure("FinishLogSaver", e);
  }
}

}  // namespace plb

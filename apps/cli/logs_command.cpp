// plb logs: the usage reports and operation logs waiting in the log folder; with --send, one
// round of both senders, as the application's background senders run it: each file the service
// answers is removed, each it does not answer stays for the next round. Usage reports go to the
// log URL stored in their own file; operation logs to the operation-log URL of the service at
// --base (the local service by default). The reports describe the catalog, read without
// saving; when the catalog cannot be opened (the application holds it) they go without it.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "engine_session.h"
#include "host/log_file.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "host/plumora_config_item.h"
#include "platform/error.h"
#include "service/logs/library_description.h"
#include "service/logs/log_files.h"
#include "service/logs/operation_log_uploader.h"
#include "service/logs/plb_log_item.h"
#include "service/logs/plb_log_saver.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  bool send = false;
  std::string base = "http://127.0.0.1:8765/";
};

void ListPending(const std::string& folder) {
  for (const std::string& file : ListLogFiles(folder, "", kPLBLogUploadExt)) {
    TPLBLogItem item;
    const bool whole = item.InportDataFromFile(file);
    std::printf("usage      %s  period %s  to %s%s\n", std::filesystem::path(file).filename().c_str(),
                item.LogLongSessionId().c_str(), item.LogUrl().c_str(), whole ? "" : "  (damaged)");
  }
  for (const std::string& file : ListLogFiles(folder, "POL", ".xml"))
    std::printf("operation  %s\n", std::filesystem::path(file).filename().c_str());
}

int RunLogs(const Options& o) {
  TPlumoraConfigItem config;
  config.LoadFromRegistry();
  const std::string folder = config.LogFolder();
  if (!o.send) {
    ListPending(folder);
    return 0;
  }
  std::unique_ptr<EngineSession> session;
  try {
    session = std::make_unique<EngineSession>("logs", false);
    session->SetReadOnly();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb logs: the reports go without the catalog's description (%s)\n", MessageOf(e).c_str());
  } catch (const CatalogNotRead& e) {
    std::fprintf(stderr, "plb logs: the reports go without the catalog's description (%s)\n", e.message.c_str());
  }
  struct LogCloser {
    bool own = false;
    ~LogCloser() {
      if (own) CloseLog();
    }
  } closer;
  if (!session) {
    try {
      OpenLog(folder, "plb.log");
      closer.own = true;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "plb logs: no diagnostic log (%s)\n", MessageOf(e).c_str());
    }
  }
  TPLBLibraryDescriber describe;
  if (session) {
    describe = [&session](const std::function<bool()>& may_go_on) {
      TCatalogImageCacheMaster* cache = CatalogCacheOf(session->Engine().ImageCache());
      const int64_t cache_bytes = cache != nullptr ? cache->TotalSize() : 0;
      return DescribeLibrary(session->Engine(), cache_bytes > 0 ? static_cast<uint64_t>(cache_bytes) : 0, may_go_on);
    };
  }
  std::string base = o.base;
  if (!base.empty() && base.back() != '/') base += '/';
  TPLBLogSaver saver(folder, describe);
  const TPLBLogSendReport usage = saver.SendPending();
  TPlumoraOperationLogUploader uploader(folder, base + "api/operationLog.php");
  const TOperationLogSendReport operation = uploader.SendPending();
  std::printf("usage reports: %d sent, %d kept, %d removed unreadable\n", usage.sent, usage.kept, usage.dropped);
  std::printf("operation logs: %d sent, %d kept, %d removed unreadable\n", operation.sent, operation.kept,
              operation.dropped);
  if (session) session->Close();
  return usage.kept + operation.kept > 0 ? 1 : 0;
}

Runner DefineLogs(CLI::App& app) {
  auto options = std::make_shared<Options>();
  app.add_flag("--send", options->send, "send what waits; files the service answered are removed");
  app.add_option("--base", options->base, "the service for operation logs (default: the local service)");
  return [options] { return RunLogs(*options); };
}

PLB_SUBCOMMAND("logs", "[--send] [--base URL]", "the usage reports and operation logs waiting to be sent; sends them",
               DefineLogs);

}  // namespace
}  // namespace plb::cli

// plb upload: one upload session of photos to the service (the local service by default), then
// the background re-upload queue until it is empty or the user interrupts it; with --queue only
// the queue. Whatever waits in the queue stays on disk for the next run.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine_session.h"
#include "host/uploader_options.h"
#include "json_output.h"
#include "platform/error.h"
#include "progress_line.h"
#include "service/api/plumora_api_params.h"
#include "service/upload/back_uploader.h"
#include "service/upload/plumora_uploader.h"
#include "service/upload/upload_image_folder.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

constexpr const char* kDefaultBase = "http://127.0.0.1:8765/";
// The service's cache limit when it has told us none (its usual value, in kilobytes).
constexpr int kDefaultCacheLimitKb = 512000;

struct Options {
  std::string book;
  std::string base = kDefaultBase;
  std::string mode = "contents";
  std::string session = "local";
  bool json = false;
  bool queue = false;
  bool no_background = false;
  int pass_wait_ms = 2000;
  std::vector<std::string> files;
};

int ModeNumber(const std::string& mode) {
  if (mode == "contents") return 0;
  if (mode == "jacket") return 1;
  if (mode == "label") return 2;
  if (mode == "bodyicon") return 3;
  throw UsageError{"--mode is one of contents, jacket, label, bodyicon"};
}

void UseService(const Options& o) {
  std::string base = o.base;
  if (!base.empty() && base.back() != '/') base += '/';
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    v.base_url = base + "api/";
    v.app_info_url = base + "api/getAppInfo.php";
    v.eyefi_url = base + "eyefi/";
    v.session_id = o.session;
    if (v.machine_id.empty()) v.machine_id = "M-1";
    if (v.machine_user_id.empty()) v.machine_user_id = "MU-1";
    if (v.image_cache_limit == 0) v.image_cache_limit = kDefaultCacheLimitKb;
  });
}

// The catalog item of a photo, catalogued first when it is not.
TCatalogItem* CatalogItemOf(EngineSession& session, const std::string& given) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::canonical(given, ec);
  if (ec || !std::filesystem::is_regular_file(file)) throw Error(given + ": no such file");
  TFolder* folder = RequireCatalogFolder(session, file.parent_path().string());
  TCatalogItem* item = folder->FindItem(file.filename().string());
  if (item == nullptr || item->State() == cisDeleted) {
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
    item = folder->FindItem(file.filename().string());
  }
  if (item == nullptr || item->State() == cisDeleted) throw Error(given + ": not a photo");
  return item;
}

size_t CountQueued() {
  size_t n = 0;
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(ImageLibBackUploadFolder(), ec), end; !ec && it != end;
       it.increment(ec))
    if (it->path().extension() == ".bu") ++n;
  return n;
}

// Runs the re-upload queue until it is empty or the user interrupts; true when empty.
bool RunQueue(EngineSession& session, const Options& o, ProgressLine& progress) {
  TPlumoraBackUploader queue(ImageLibBackUploadFolder(), ImageLibCacheRoot());
  queue.SetAlbumList(session.Engine().Albums());  // the first pass tidies the books' albums
  ReStartPlumoraBackUploader();
  TBackUploadPassReport total;
  for (int pass = 1;; ++pass) {
    if (!queue.HasPendingFolders()) break;
    progress.Show("re-upload queue: " + std::to_string(CountQueued()) + " files waiting");
    // A pass that would block on the network still ends on Ctrl-C: the request is aborted.
    TBackUploadPassReport report;
    std::thread watcher;
    std::atomic<bool> pass_done{false};
    watcher = std::thread([&] {
      while (!pass_done) {
        if (session.Interrupted()) {
          queue.Stop();
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
    report = queue.RunPass();
    pass_done = true;
    watcher.join();
    total.sent += report.sent;
    total.dropped += report.dropped;
    total.closed += report.closed;
    if (o.json) {
      progress.Clear();
      JsonObject row;
      row["pass"] = pass;
      row["sent"] = report.sent;
      row["dropped"] = report.dropped;
      row["kept"] = report.kept;
      row["closed"] = report.closed;
      PrintJsonLine(row);
    }
    if (session.Interrupted()) break;
    if (!queue.HasPendingFolders()) break;
    // The next pass after a rest, as the program's queue does; Ctrl-C ends the wait.
    for (int waited = 0; waited < o.pass_wait_ms && !session.Interrupted(); waited += 50)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (session.Interrupted()) break;
  }
  progress.Clear();
  const size_t left = CountQueued();
  if (o.json) {
    JsonObject row;
    row["queue_sent"] = total.sent;
    row["queue_dropped"] = total.dropped;
    row["queue_closed"] = total.closed;
    row["queue_left"] = left;
    PrintJsonLine(row);
  } else {
    std::printf("re-upload queue: %d sent, %d dropped, %zu waiting\n", total.sent, total.dropped, left);
  }
  std::fflush(stdout);
  return left == 0;
}

int RunSession(EngineSession& session, const Options& o, ProgressLine& progress) {
  std::vector<TCatalogItem*> items;
  for (const std::string& file : o.files) items.push_back(CatalogItemOf(session, file));
  // What the catalog has not read yet (a photo catalogued just now): its orientation above all.
  std::vector<TCatalogItem*> unread;
  for (TCatalogItem* item : items)
    if (!item->DateKnown()) unread.push_back(item);
  LearnShootingDates(unread, 2);
  TPlumoraUploader uploader;
  uploader.SetPlumoraId(o.book);
  uploader.SetEditMode(ModeNumber(o.mode));
  uploader.SetBackgroundUpload(!o.no_background);
  uploader.SetAlbumList(session.Engine().Albums());
  for (TCatalogItem* item : items) uploader.AddItem(item);
  uploader.Start();
  while (!uploader.Finished()) {
    session.Pump(100);
    if (session.Interrupted() && !uploader.Cancelled()) uploader.Cancel();
    progress.Show("uploading, " + std::to_string(uploader.ProgressPercent()) + "%");
  }
  uploader.Wait();
  progress.Clear();
  // A session that did not finish withdrew its queued files: those photos did not make it.
  int uploaded = 0, queued = 0, failed = 0;
  for (const auto& item : uploader.Items()) {
    const auto s = item->Get();
    const char* status = s.queued && uploader.Success() ? "queued" : (s.uploaded && !s.queued ? "uploaded" : "failed");
    ++(status[0] == 'q' ? queued : status[0] == 'u' ? uploaded : failed);
    if (!o.json) continue;
    JsonObject row;
    PutText(row, "file", item->path);
    row["index"] = s.photo_index;
    PutText(row, "resuuid", s.res_uuid);
    row["status"] = status;
    PrintJsonLine(row);
  }
  if (o.json) {
    JsonObject row;
    PutText(row, "book", uploader.PlumoraId());
    row["uploaded"] = uploaded;
    row["queued"] = queued;
    row["failed"] = failed;
    PrintJsonLine(row);
  } else {
    std::printf("book %s: %d uploaded, %d queued, %d failed%s\n", uploader.PlumoraId().c_str(), uploaded, queued,
                failed, uploader.Success() ? "" : " (the session did not finish)");
    if (uploader.BadSession()) std::printf("the service refused the session id: sign in again\n");
  }
  std::fflush(stdout);
  return uploader.Success() && failed == 0 ? 0 : 1;
}

int RunUpload(const Options& o) {
  if (!o.queue && o.files.empty()) throw UsageError{"no photo given (or --queue)"};
  if (o.queue && !o.files.empty()) throw UsageError{"--queue takes no photos"};
  ModeNumber(o.mode);
  // The same options as the application: "debug.ini" beside the program, then the settings.
  LoadUploaderOptions();
  EngineSession session("upload");
  UseService(o);
  ProgressLine progress("upload");
  int status = 0;
  if (!o.queue) status = RunSession(session, o, progress);
  if (!session.Interrupted() && !RunQueue(session, o, progress)) status = 1;
  session.Close();
  return status;
}

Runner DefineUpload(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("--book", o->book, "the photo book to extend (none: a new one)");
  app.add_option("--base", o->base, "the service's root URL")->capture_default_str();
  app.add_option("--mode", o->mode, "contents, jacket, label or bodyicon")->capture_default_str();
  app.add_option("--session", o->session, "the session id to sign in with")->capture_default_str();
  app.add_flag("--json", o->json, "one JSON line per photo and a summary line");
  app.add_flag("--queue", o->queue, "only show and run what waits in the re-upload queue");
  app.add_flag("--no-background", o->no_background, "send every size now instead of queueing the larger ones");
  app.add_option("--pass-wait", o->pass_wait_ms, "milliseconds between two passes of the queue")
      ->check(CLI::Range(0, 600000));
  app.add_option("FILE", o->files, "the photos, in book order");
  return [o] { return RunUpload(*o); };
}

PLB_SUBCOMMAND("upload", "[--book ID] [--base URL] [--mode MODE] [--json] FILE... | --queue",
               "upload photos to a photo book, then run the re-upload queue", DefineUpload);

}  // namespace
}  // namespace plb::cli

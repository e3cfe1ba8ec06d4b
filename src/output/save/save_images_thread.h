#pragma once
// The worker that saves several photos under numbered names into one folder, one at a time. Each
// photo that was handled is reported (item, path written) to the item-saved handler; when a
// dispatcher for the UI thread is installed the report runs there and the worker waits for it.
// A photo that fails is logged and skipped; the worker goes on with the next one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "output/save/photo_save.h"
#include "platform/thread_stop.h"

namespace plb {

class TCatalogItem;

class TSaveImagesThread {
 public:
  using ItemSavedHandler = std::function<void(TCatalogItem* item, const std::string& path)>;
  using EndHandler = std::function<void()>;

  TSaveImagesThread() = default;
  // A worker still running is stopped and waited for.
  ~TSaveImagesThread();
  TSaveImagesThread(const TSaveImagesThread&) = delete;
  TSaveImagesThread& operator=(const TSaveImagesThread&) = delete;

  // Settings; before Start.
  void SetDestination(std::string folder) { destination_ = std::move(folder); }
  void SetItems(std::vector<TCatalogItem*> items) { items_ = std::move(items); }
  void SetCommonName(std::string name, int digits) {
    commonName_ = std::move(name);
    digits_ = digits;
  }
  void SetOptions(const TSaveOptions& options) { options_ = options; }
  void SetItemSavedHandler(ItemSavedHandler handler) { itemSaved_ = std::move(handler); }
  // Runs on the UI thread (posted) once the worker's body has returned.
  void SetEndHandler(EndHandler handler) { ended_ = std::move(handler); }

  // Refuses (EInvalidArgument) a common name that would leave the destination folder.
  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Terminate and wait (running UI work meanwhile).
  void Stop();
  // Wait until the worker ends by itself.
  void WaitFor();
  bool Running() const { return thread_.Running(); }

  // What happened: photos written, photos that failed; Completed() is true when the worker went
  // through every photo and wrote all of them.
  int32_t SavedCount() const { return saved_; }
  int32_t FailedCount() const { return failed_; }
  bool Completed() const { return completed_; }

  // The body, run on the calling thread (Start runs it on a thread of its own).
  void Execute();

 private:
  void DoSaveItem(TCatalogItem* item, const std::string& path);
  void Report(TCatalogItem* item, const std::string& path);

  std::string destination_;
  std::vector<TCatalogItem*> items_;
  std::string commonName_ = "Img";
  int digits_ = 3;
  TSaveOptions options_;
  ItemSavedHandler itemSaved_;
  EndHandler ended_;
  std::atomic<bool> terminated_{false};
  std::atomic<int32_t> saved_{0};
  std::atomic<int32_t> failed_{0};
  std::atomic<bool> completed_{false};
  platform::WorkerThread thread_;
};

}  // namespace plb

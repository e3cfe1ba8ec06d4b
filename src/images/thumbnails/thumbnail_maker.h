#pragma once
// The thumbnail maker: a dispatcher thread with two worker pools that turns requests for the
// thumbnails of a list of items into cache entries. The thumbs stage puts a quick picture in every
// cell from what the file already holds (the EXIF thumbnail, a RAW preview) and refreshes the
// item's image information; the source stage then decodes the proper thumbnail from the image,
// DCT-scaled, visible items first. A new request reorders or replaces the queued work; nothing
// running is ever killed: workers look at their stop flag between items.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "images/codec/bitmap.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "platform/error.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(ECacheImageMakerError, Error);

enum TCacheWorkerType : int { cwtThumbs = 0, cwtSource = 1 };

// The box an item's thumbnail is made in: size × size, or, for a trimmed item, the size of the
// whole image that makes the trimmed part fit size × size.
TSize CacheImageBox(int32_t sizeClass, int32_t width, int32_t height, bool trimmed, int32_t trimWidth,
                    int32_t trimHeight);

// Whether an EXIF thumbnail (tw × th, its own orientation) can stand for a main image of w × h
// in a box: same aspect once turned, and, when the item has some cached picture already, not
// smaller than the box.
bool ExifThumbnailUsable(int32_t w, int32_t h, int32_t tw, int32_t th, int32_t orientation, bool hasCachedImage,
                         const TSize& box);

// Decodes the JPEG into the box (DCT scale, then the triangle filter); the size class becomes the
// decoded long side when the picture had to be enlarged. Returns whether it was resampled.
bool DecodeJpegIntoBox(std::span<const uint8_t> jpeg, int32_t width, int32_t height, const TSize& box, int orientation,
                       Bitmap& out, int32_t& sizeClass);

// Uncompressed RGB rows of a RAW thumbnail (R and B swapped) into the box, like DecodeJpegIntoBox.
// False, with nothing allocated, when rows holds fewer than w × h × 3 bytes.
bool RawRgbIntoBox(std::span<const uint8_t> rows, int32_t w, int32_t h, const TSize& box, int orientation, Bitmap& out,
                   int32_t& sizeClass);

class TCacheImageMaker {
 public:
  using TDoneProc = std::function<void(intptr_t context)>;
  // Counts since the maker started, for the command line and the benchmark.
  struct TStatistics {
    int64_t thumbsMade = 0;
    int64_t sourceMade = 0;
    int64_t alreadyCached = 0;
    int64_t failed = 0;
    int64_t requests = 0;  // lists handed over by Request
  };

  // multiProcessor: one worker per processor per stage (the grid); otherwise one each.
  TCacheImageMaker(TCatalogImageCacheMaster* cache, int32_t sizeClass, bool multiProcessor);
  ~TCacheImageMaker();
  TCacheImageMaker(const TCacheImageMaker&) = delete;
  TCacheImageMaker& operator=(const TCacheImageMaker&) = delete;

  // Completion callbacks, run on the UI thread when a dispatcher is installed (posted), else on
  // the maker's thread. Set them before Start.
  void SetThumbsDone(TDoneProc proc, intptr_t context);
  void SetSourceDone(TDoneProc proc, intptr_t context);

  // Starts the maker thread, which starts the workers.
  void Start();
  // Asks every thread to stop after its current item and waits for them.
  void Stop();

  void SetSizeClass(int32_t size);
  int32_t SizeClass() const;
  void Request(const std::vector<TCatalogItem*>& list, int32_t sizeClass, const std::vector<TCatalogItem*>& visible,
               bool replace);
  void AddItem(TCatalogItem* item);
  void Cancel();

  int WorkerCount(int type) const;
  TStatistics Statistics() const;

  // What the queues hold, front first (for tests and diagnostics).
  std::vector<TCatalogItem*> ThumbsQueue() const;
  std::vector<TCatalogItem*> SourcePrimary() const;
  std::vector<TCatalogItem*> SourceSecondary() const;

  // The queue rules, on their own. Thumbs: a replacing request or an empty queue takes the list
  // as it is; otherwise the listed items already queued are exchanged to the front in the list's
  // order. Source: a replacing request or an empty list empties both parts; otherwise the primary
  // part goes back into the secondary one at its positions and the listed items waiting there
  // move, in the list's order, to the primary part. Handing on moves an item to the end of the
  // primary part.
  using TQueue = std::deque<TCatalogItem*>;
  static void RearrangeThumbsQueue(TQueue& queue, const std::vector<TCatalogItem*>& list, bool replace);
  static void RearrangeSourceQueue(TQueue& primary, TQueue& secondary, const std::vector<TCatalogItem*>& list,
                                   bool replace);
  static void HandOnItem(TQueue& primary, TQueue& secondary, TCatalogItem* item);

  // Called by a worker while it holds an item's per-file lock (tests count overlapping work).
  void SetItemHook(std::function<void(int type, TCatalogItem* item)> hook) { itemHook_ = std::move(hook); }

 private:
  class Event;
  struct Worker;
  friend struct Worker;

  void Run();
  void StartWorkers();
  void StopWorkers();
  // Takes the pending request and queues it, all under the request lock.
  void TakeRequest();
  void Rearrange(const std::vector<TCatalogItem*>& list, bool replace);
  // Sets each stage's event while its queue holds items; called with both queue locks held.
  void UpdateEventsLocked();
  bool TakeNext(int type, TCatalogItem*& item, int32_t& sizeClass, uint64_t& takenIn);
  void HandOn(TCatalogItem* item, uint64_t takenIn);
  bool IsVisible(TCatalogItem* item);
  bool AnyBusy(int type) const;
  void CallDone(const TDoneProc& proc, intptr_t context);

  void WorkerLoop(Worker& worker);
  void MakeCacheImage(Worker& worker, TCatalogItem* item, int32_t sizeClass);
  bool NeedsWork(TCatalogItem* item, int32_t sizeClass);
  bool MakeThumbsImage(TCatalogItem* item, const TSize& box, Bitmap& out, int32_t& sizeClass, bool& resampled);
  bool MakeSourceImage(TCatalogItem* item, const TSize& box, Bitmap& out, bool& resampled);
  bool Store(TCatalogItem* item, Bitmap& image, int32_t sizeClass, bool resampled);
  void PostProcess(TCatalogItem* item);

  TCatalogImageCacheMaster* const cache_;
  const bool multiProcessor_;

  mutable std::mutex sizeLock_;
  int32_t sizeClass_ = 0;

  std::mutex requestLock_;
  std::vector<TCatalogItem*> requestList_;
  bool requestReplace_ = false;
  std::unique_ptr<Event> requestEvent_;

  mutable std::mutex thumbsLock_;
  std::deque<TCatalogItem*> thumbsQueue_;
  std::unique_ptr<Event> thumbsEvent_;

  mutable std::mutex sourceLock_;
  std::deque<TCatalogItem*> primary_;
  std::deque<TCatalogItem*> secondary_;
  std::unique_ptr<Event> sourceEvent_;

  std::mutex visibleLock_;
  std::unordered_set<TCatalogItem*> visible_;

  std::mutex sidecarLock_;
  std::unordered_set<TCatalogItem*> sidecarLoaded_;

  std::vector<std::unique_ptr<Worker>> thumbsWorkers_;
  std::vector<std::unique_ptr<Worker>> sourceWorkers_;

  TDoneProc thumbsDone_, sourceDone_;
  intptr_t thumbsContext_ = 0, sourceContext_ = 0;

  // Raised by Cancel and by replacing requests: an item taken before is not handed on. Raised only
  // with both queue locks held, and read with the queue's lock held when an item is taken.
  std::atomic<uint64_t> withdrawals_{0};
  std::atomic<bool> terminated_{false};
  std::thread thread_;

  std::atomic<int64_t> thumbsMade_{0}, sourceMade_{0}, alreadyCached_{0}, failed_{0}, requests_{0};
  std::function<void(int, TCatalogItem*)> itemHook_;
};

}  // namespace plb

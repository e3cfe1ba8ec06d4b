#include "images/thumbnails/thumbnail_maker.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fstream>
#include <unordered_map>

#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "host/error_forms.h"
#include "images/thumbnails/raw_preview_facts.h"
#include "images/exif/exif_scanner.h"
#include "images/effects/image_effect.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "platform/checked.h"
#include "platform/text_encoding.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

constexpr auto kWaitStep = std::chrono::milliseconds(50);
constexpr int64_t kSidecarLimit = 64 * 1024;

// Work on one file is serialised across all workers of all makers: two workers never build the
// same file's thumbnail at once. (A second program instance hands its work to the first and
// ends, so an in-process lock covers every maker there is.)
class FileLocks {
 public:
  // Waits in 50 ms steps; false, and nothing held, when stop became true first.
  bool Acquire(const std::string& path, const std::atomic<bool>& stop) {
    std::unique_lock guard(lock_);
    while (held_.count(path)) {
      if (stop) return false;
      released_.wait_for(guard, kWaitStep);
    }
    held_.insert(path);
    return true;
  }
  void Release(const std::string& path) {
    {
      std::lock_guard guard(lock_);
      held_.erase(path);
    }
    released_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable released_;
  std::unordered_set<std::string> held_;
};

FileLocks& PerFileLocks() {
  static FileLocks locks;
  return locks;
}

void LowerThreadPriority() {
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) ::setpriority(PRIO_PROCESS, tid, std::min(current + 1, 19));
}

bool IsJpegLike(TCatalogItem* item) {
  const std::string ext = item->Extension();
  return item->Kind() == 1 || item->Kind() == 4 || ext == ".THM" || ext == ".thm";
}

std::string UpperExtension(TCatalogItem* item) {
  std::string ext = item->Extension();
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

void ApplyFoundInfo(TCatalogItem* item, int32_t pixelFormat, int32_t width, int32_t height, bool hasExif,
                    int32_t orientation, double date) {
  TItemImageInfo info;
  info.pixelFormat = static_cast<uint8_t>(pixelFormat);
  info.width = width;
  info.height = height;
  info.hasExif = hasExif;
  info.orientation = static_cast<uint16_t>(orientation >= 1 && orientation <= 8 ? orientation : 1);
  info.exifDate = date;
  item->ApplyImageInfo(info, true);
}

}  // namespace

bool RawRgbIntoBox(std::span<const uint8_t> rows, int32_t w, int32_t h, const TSize& box, int orientation, Bitmap& out,
                   int32_t& sizeClass) {
  if (w < 1 || h < 1) return false;
  // The size comes from the file: the rows must all be there before the image is allocated.
  uint64_t rowBytes = 0, needed = 0;
  if (!CheckedMul(3, static_cast<uint64_t>(w), rowBytes) || !CheckedMul(rowBytes, static_cast<uint64_t>(h), needed) ||
      needed > rows.size())
    return false;
  Bitmap image(w, h);
  for (int32_t y = 0; y < h; ++y) std::copy_n(rows.data() + rowBytes * static_cast<uint64_t>(y), rowBytes, image.Row(y));
  const TSize fit = FitInside(box.cx, box.cy, w, h);
  bool resampled = false;
  if (fit.cx >= w && fit.cy >= h) {
    out.Swap(image);
    sizeClass = std::max(w, h);
  } else {
    out.SetSize(fit.cx, fit.cy);
    ResizeBitmap(image, out, rmTriangle);
    resampled = true;
  }
  ApplyEffectFilter(out, efSwapRedBlue);
  if (orientation > 1) ApplyOrientation(out, orientation);
  return resampled;
}

TSize CacheImageBox(int32_t sizeClass, int32_t width, int32_t height, bool trimmed, int32_t trimWidth,
                    int32_t trimHeight) {
  // Without the image's size (the file changed since) the trimmed box cannot be computed; the
  // plain box is used and the thumbnail is made again once the size is known.
  if (!trimmed || width <= 0 || height <= 0 || trimWidth <= 0 || trimHeight <= 0) return {sizeClass, sizeClass};
  const double s = std::min(double(sizeClass) / trimWidth, double(sizeClass) / trimHeight);
  return {static_cast<int32_t>(std::trunc(width * s + 0.5)), static_cast<int32_t>(std::trunc(height * s + 0.5))};
}

bool ExifThumbnailUsable(int32_t w, int32_t h, int32_t tw, int32_t th, int32_t orientation, bool hasCachedImage,
                         const TSize& box) {
  if (tw < 1 || th < 1) return false;
  // Smaller than the box: it would replace a picture with a worse one.
  if (hasCachedImage && (tw < box.cx || th < box.cy)) return false;
  const bool quarter = orientation == 5 || orientation == 6 || orientation == 7 || orientation == 8;
  if (quarter) return (w >= h) == (th >= tw);
  return (w >= h) == (tw >= th);
}

bool DecodeJpegIntoBox(std::span<const uint8_t> jpeg, int32_t width, int32_t height, const TSize& box, int orientation,
                       Bitmap& out, int32_t& sizeClass) {
  if (width <= 0 || height <= 0) {
    const TSize s = JpegImageSize(jpeg);
    width = s.cx;
    height = s.cy;
  }
  bool resampled = false;
  if ((width == box.cx && height <= box.cy) || (width <= box.cx && height == box.cy)) {
    DecodeJpeg(jpeg, out, dsFull);
  } else {
    const TSize result = FitInside(box.cx, box.cy, width, height);
    Bitmap decoded;
    const bool reduce = width >= 2 * int64_t{box.cx} || height >= 2 * int64_t{box.cy};
    DecodeJpeg(jpeg, decoded, reduce ? DecodeScaleFor(width, result.cx) : dsFull);
    if (decoded.Width() > result.cx || decoded.Height() > result.cy) {
      out.SetSize(result.cx, result.cy);
      ResizeBitmap(decoded, out, rmTriangle);
      resampled = true;
    } else if (decoded.Width() < result.cx && decoded.Height() < result.cy) {
      sizeClass = std::max(decoded.Width(), decoded.Height());
      out.SetSize(result.cx, result.cy);
      ResizeBitmap(decoded, out, rmTriangle);
      resampled = true;
    } else {
      out.Swap(decoded);
    }
  }
  if (orientation > 1) ApplyOrientation(out, orientation);
  return resampled;
}

// A manual-reset event shared by the maker and its workers.
class TCacheImageMaker::Event {
 public:
  void Set() {
    {
      std::lock_guard guard(lock_);
      set_ = true;
    }
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard guard(lock_);
    set_ = false;
  }
  bool IsSet() const {
    std::lock_guard guard(lock_);
    return set_;
  }
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [this] { return set_; });
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  bool set_ = false;
};

struct TCacheImageMaker::Worker {
  int type = cwtThumbs;
  std::atomic<bool> busy{false};
  std::atomic<bool> terminated{false};
  std::thread thread;
};

TCacheImageMaker::TCacheImageMaker(TCatalogImageCacheMaster* cache, int32_t sizeClass, bool multiProcessor)
    : cache_(cache),
      multiProcessor_(multiProcessor),
      sizeClass_(sizeClass),
      requestEvent_(std::make_unique<Event>()),
      thumbsEvent_(std::make_unique<Event>()),
      sourceEvent_(std::make_unique<Event>()) {
  if (!cache_) throw ECacheImageMakerError("Cache = nil");
}

TCacheImageMaker::~TCacheImageMaker() {
  Stop();
}

void TCacheImageMaker::SetThumbsDone(TDoneProc proc, intptr_t context) {
  thumbsDone_ = std::move(proc);
  thumbsContext_ = context;
}

void TCacheImageMaker::SetSourceDone(TDoneProc proc, intptr_t context) {
  sourceDone_ = std::move(proc);
  sourceContext_ = context;
}

void TCacheImageMaker::Start() {
  if (thread_.joinable()) return;
  terminated_ = false;
  StartWorkers();
  thread_ = std::thread([this] { Run(); });
}

void TCacheImageMaker::Stop() {
  terminated_ = true;
  requestEvent_->Set();
  if (thread_.joinable()) thread_.join();
  StopWorkers();
}

void TCacheImageMaker::StartWorkers() {
  try {
    int n = 1;
    int multiplier = 1;
    if (multiProcessor_) {
      n = std::max(1u, std::thread::hardware_concurrency());
      multiplier = 1;  // one per processor per stage; the multipliers are capped at 2 and start at 1
    }
    for (int type : {cwtThumbs, cwtSource}) {
      auto& pool = type == cwtThumbs ? thumbsWorkers_ : sourceWorkers_;
      for (int i = 0; i < n * multiplier; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->type = type;
        Worker* w = worker.get();
        pool.push_back(std::move(worker));
        w->thread = std::thread([this, w] { WorkerLoop(*w); });
      }
    }
  } catch (const std::exception& e) {
    StopWorkers();
    throw ECacheImageMakerError(MemberRaisedText("TCacheImageMaker", "StartWorkerThread", e));
  }
}

void TCacheImageMaker::StopWorkers() {
  for (auto* pool : {&thumbsWorkers_, &sourceWorkers_}) {
    for (auto& w : *pool) w->terminated = true;
  }
  thumbsEvent_->Set();
  sourceEvent_->Set();
  for (auto* pool : {&thumbsWorkers_, &sourceWorkers_}) {
    // Nothing is killed: a worker in a long decode finishes it and then sees its stop flag.
    for (auto& w : *pool) {
      if (w->thread.joinable()) w->thread.join();
    }
    pool->clear();
  }
  std::scoped_lock guard(thumbsLock_, sourceLock_);
  UpdateEventsLocked();
}

void TCacheImageMaker::SetSizeClass(int32_t size) {
  std::lock_guard guard(sizeLock_);
  sizeClass_ = size;
}

int32_t TCacheImageMaker::SizeClass() const {
  std::lock_guard guard(sizeLock_);
  return sizeClass_;
}

void TCacheImageMaker::Request(const std::vector<TCatalogItem*>& list, int32_t sizeClass,
                               const std::vector<TCatalogItem*>& visible, bool replace) {
  ++requests_;
  SetSizeClass(sizeClass);
  {
    std::lock_guard guard(visibleLock_);
    visible_ = std::unordered_set<TCatalogItem*>(visible.begin(), visible.end());
  }
  std::lock_guard guard(requestLock_);
  requestList_ = list;
  requestReplace_ = replace;
  // Signalled under the lock the maker takes the list under: signalled after it, the maker could
  // take this list on an earlier signal and then wake once more to an empty list, which counts as
  // a request for nothing and would drop the source queue.
  requestEvent_->Set();
}

void TCacheImageMaker::AddItem(TCatalogItem* item) {
  if (!item) return;
  std::lock_guard guard(requestLock_);
  if (std::find(requestList_.begin(), requestList_.end(), item) == requestList_.end()) requestList_.push_back(item);
  requestEvent_->Set();
}

void TCacheImageMaker::Cancel() {
  // In the maker's order: the request lock first, then both queue locks (see TakeRequest).
  std::scoped_lock guard(requestLock_, thumbsLock_, sourceLock_);
  requestList_.clear();
  requestReplace_ = false;
  ++withdrawals_;
  thumbsQueue_.clear();
  primary_.clear();
  secondary_.clear();
  UpdateEventsLocked();
}

void TCacheImageMaker::RearrangeThumbsQueue(TQueue& queue, const std::vector<TCatalogItem*>& list, bool replace) {
  if (replace || queue.empty()) {
    queue.assign(list.begin(), list.end());
    return;
  }
  std::unordered_map<TCatalogItem*, size_t> position;
  position.reserve(queue.size());
  for (size_t i = 0; i < queue.size(); ++i) position.emplace(queue[i], i);
  size_t k = 0;
  for (TCatalogItem* item : list) {
    auto found = position.find(item);
    if (found == position.end()) continue;
    const size_t j = found->second;
    if (j < k) continue;  // a repeat in the list: already moved to the front
    std::swap(queue[k], queue[j]);
    position[queue[j]] = j;
    position[queue[k]] = k;
    ++k;
  }
}

void TCacheImageMaker::RearrangeSourceQueue(TQueue& primary, TQueue& secondary, const std::vector<TCatalogItem*>& list,
                                            bool replace) {
  if (replace || list.empty()) {
    primary.clear();
    secondary.clear();
    return;
  }
  for (size_t i = 0; i < primary.size(); ++i) {
    TCatalogItem* item = primary[i];
    auto at = std::find(secondary.begin(), secondary.end(), item);
    if (at == secondary.end()) {
      secondary.insert(secondary.begin() + static_cast<ptrdiff_t>(std::min(i, secondary.size())), item);
    } else {
      std::iter_swap(at, secondary.begin() + static_cast<ptrdiff_t>(std::min(i, secondary.size() - 1)));
    }
  }
  primary.clear();
  std::unordered_set<TCatalogItem*> waiting(secondary.begin(), secondary.end());
  std::unordered_set<TCatalogItem*> moved;
  for (TCatalogItem* item : list) {
    if (waiting.count(item) && moved.insert(item).second) primary.push_back(item);
  }
  secondary.erase(std::remove_if(secondary.begin(), secondary.end(),
                                 [&moved](TCatalogItem* item) { return moved.count(item) > 0; }),
                  secondary.end());
}

void TCacheImageMaker::HandOnItem(TQueue& primary, TQueue& secondary, TCatalogItem* item) {
  auto at = std::find(secondary.begin(), secondary.end(), item);
  if (at != secondary.end()) secondary.erase(at);
  if (std::find(primary.begin(), primary.end(), item) == primary.end()) primary.push_back(item);
}

void TCacheImageMaker::Rearrange(const std::vector<TCatalogItem*>& list, bool replace) {
  std::scoped_lock guard(thumbsLock_, sourceLock_);
  // Items taken from the replaced queues are finished but not handed on.
  if (replace) ++withdrawals_;
  RearrangeSourceQueue(primary_, secondary_, list, replace);
  RearrangeThumbsQueue(thumbsQueue_, list, replace);
  UpdateEventsLocked();
}

void TCacheImageMaker::UpdateEventsLocked() {
  if (thumbsQueue_.empty()) {
    thumbsEvent_->Reset();
  } else {
    thumbsEvent_->Set();
  }
  if (primary_.empty() && secondary_.empty()) {
    sourceEvent_->Reset();
  } else {
    sourceEvent_->Set();
  }
}

bool TCacheImageMaker::TakeNext(int type, TCatalogItem*& item, int32_t& sizeClass, uint64_t& takenIn) {
  item = nullptr;
  if (type == cwtThumbs) {
    std::lock_guard guard(thumbsLock_);
    // Read under the queue's lock: a withdrawal changes the count and the queue in one step, so
    // the count read here is the one of the request the item is taken from. Read before the
    // lock, a replacing request landing in between would make the item look withdrawn although
    // it was taken from the new queue, and nothing would ever hand it on.
    takenIn = withdrawals_;
    if (!thumbsQueue_.empty()) {
      item = thumbsQueue_.front();
      thumbsQueue_.pop_front();
    }
    if (thumbsQueue_.empty()) thumbsEvent_->Reset();
  } else {
    std::lock_guard guard(sourceLock_);
    auto& part = !primary_.empty() ? primary_ : secondary_;
    if (!part.empty()) {
      item = part.front();
      part.pop_front();
    }
    if (primary_.empty() && secondary_.empty()) sourceEvent_->Reset();
  }
  sizeClass = SizeClass();
  return item != nullptr;
}

void TCacheImageMaker::HandOn(TCatalogItem* item, uint64_t takenIn) {
  std::lock_guard guard(sourceLock_);
  // An item whose request was withdrawn while it was being made goes no further.
  if (withdrawals_ != takenIn) return;
  HandOnItem(primary_, secondary_, item);
  // Under the lock, like every other change of the event, so it never stays set on a queue a
  // request has just emptied.
  sourceEvent_->Set();
}

bool TCacheImageMaker::IsVisible(TCatalogItem* item) {
  std::lock_guard guard(visibleLock_);
  return visible_.count(item) > 0;
}

bool TCacheImageMaker::AnyBusy(int type) const {
  const auto& pool = type == cwtThumbs ? thumbsWorkers_ : sourceWorkers_;
  return std::any_of(pool.begin(), pool.end(), [](const auto& w) { return w->busy.load(); });
}

void TCacheImageMaker::CallDone(const TDoneProc& proc, intptr_t context) {
  if (!proc) return;
  if (platform::UiDispatcher* ui = platform::CurrentUiDispatcher()) {
    ui->Post([proc, context] { proc(context); });
  } else {
    proc(context);
  }
}

void TCacheImageMaker::TakeRequest() {
  // The request is taken and queued under its lock, so a Cancel comes either before (and empties
  // the list) or after (and empties the queues): a cancelled request is never queued afterwards.
  std::lock_guard guard(requestLock_);
  std::vector<TCatalogItem*> list;
  list.swap(requestList_);
  const bool replace = std::exchange(requestReplace_, false);
  requestEvent_->Reset();
  Rearrange(list, replace);
}

void TCacheImageMaker::Run() {
  bool thumbsFed = false;
  bool working = false;
  while (!terminated_) {
    if (requestEvent_->WaitFor(kWaitStep)) {
      if (terminated_) break;
      TakeRequest();
      working = true;
      thumbsFed = true;
    } else if (thumbsFed) {
      if (!thumbsEvent_->IsSet() && !AnyBusy(cwtThumbs)) {
        thumbsFed = false;
        CallDone(thumbsDone_, thumbsContext_);
      }
    } else if (working) {
      if (!sourceEvent_->IsSet() && !AnyBusy(cwtSource)) {
        working = false;
        CallDone(sourceDone_, sourceContext_);
      }
    }
  }
}

void TCacheImageMaker::WorkerLoop(Worker& worker) {
  LowerThreadPriority();
  Event& event = worker.type == cwtThumbs ? *thumbsEvent_ : *sourceEvent_;
  while (!worker.terminated) {
    if (!event.WaitFor(kWaitStep) || worker.terminated) continue;
    worker.busy = true;
    TCatalogItem* item = nullptr;
    int32_t sizeClass = 0;
    uint64_t takenIn = 0;
    if (TakeNext(worker.type, item, sizeClass, takenIn)) {
      try {
        if (sizeClass != 0) MakeCacheImage(worker, item, sizeClass);
      } catch (...) {
        // The item keeps what it had and is made again on a later request.
        ++failed_;
      }
      if (worker.type == cwtThumbs) HandOn(item, takenIn);
    }
    worker.busy = false;
  }
}

bool TCacheImageMaker::NeedsWork(TCatalogItem* item, int32_t sizeClass) {
  if (cache_->Notify()) return item->CacheIndex() != sizeClass;
  return cache_->GetImgCacheRecord(item).sizeClass != sizeClass;
}

void TCacheImageMaker::MakeCacheImage(Worker& worker, TCatalogItem* item, int32_t sizeClass) {
  const std::string path = item->FullPath();
  if (!PerFileLocks().Acquire(path, worker.terminated)) return;
  struct Release {
    const std::string& path;
    ~Release() { PerFileLocks().Release(path); }
  } release{path};
  if (itemHook_) itemHook_(worker.type, item);
  if (!NeedsWork(item, sizeClass)) {
    if (worker.type == cwtThumbs) {
      ++alreadyCached_;
    } else if (IsVisible(item) && CatalogUpdaterRunning()) {
      RaiseCatalogUpdateEvent(item, cukThumbnailStored);
    }
    return;
  }
  const TTrimRect trim = item->TrimRect();
  const TSize box = CacheImageBox(sizeClass, item->Width(), item->Height(), item->TrimmingInForce(),
                                  trim.right - trim.left, trim.bottom - trim.top);
  Bitmap image;
  bool resampled = false;
  int32_t storedClass = sizeClass;
  if (worker.type == cwtThumbs) {
    if (MakeThumbsImage(item, box, image, storedClass, resampled) && Store(item, image, storedClass, resampled)) {
      ++thumbsMade_;
    }
  } else {
    if (MakeSourceImage(item, box, image, resampled) && Store(item, image, storedClass, resampled)) ++sourceMade_;
    PostProcess(item);
  }
}

bool TCacheImageMaker::MakeThumbsImage(TCatalogItem* item, const TSize& givenBox, Bitmap& out, int32_t& sizeClass,
                                       bool& resampled) {
  TSize box = givenBox;
  const bool hadPicture = item->CacheIndex() != 0 || cache_->GetImgCacheRecord(item).sizeClass != 0;
  if (item->ItemClass() != 0) {
    std::string bytes;
    if (item->RemoteThumbnail(bytes) == 0 || bytes.empty() || item->Kind() != 1) return false;
    const std::span<const uint8_t> jpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    resampled = DecodeJpegIntoBox(jpeg, 0, 0, box, 1, out, sizeClass);
    return !out.Empty();
  }
  const std::string path = item->FullPath();
  const std::string ext = UpperExtension(item);
  bool found = false;
  if ((IsJpegLike(item) || ext == ".RAF") && item->ExifState() != 2) {
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(path, flags, info);
    const bool hasExif = (flags & kJpegInfoExif) != 0 && info.has_exif;
    ApplyFoundInfo(item, info.pixel_format, info.width, info.height, hasExif, info.orientation, info.shooting_date);
    // The trimmed box depends on the image's size, which may only now be known.
    const TTrimRect trim = item->TrimRect();
    box = CacheImageBox(sizeClass, item->Width(), item->Height(), item->TrimmingInForce(), trim.right - trim.left,
                        trim.bottom - trim.top);
    if ((flags & kJpegInfoThumbnail) && info.thumb_stream &&
        ExifThumbnailUsable(info.width, info.height, info.thumb_width, info.thumb_height, info.thumb_orientation,
                            hadPicture, box)) {
      resampled = DecodeJpegIntoBox(info.thumb_stream->Bytes(), info.thumb_width, info.thumb_height, box,
                                    info.thumb_orientation, out, sizeClass);
      found = !out.Empty();
    }
  } else if (item->Kind() == 5 && ext != ".CRW" && ext != ".RAF") {
    const TCacheRawPreview raw = ReadCacheRawPreview(path);
    if (raw.width > 0 && raw.height > 0) {
      ApplyFoundInfo(item, raw.pixelFormat, raw.width, raw.height, raw.hasExif, raw.orientation, raw.shootingDate);
    }
    if (!raw.thumb.empty() && ExifThumbnailUsable(raw.width, raw.height, raw.thumbWidth, raw.thumbHeight,
                                                  raw.thumbOrientation, hadPicture, box)) {
      if (raw.thumbCompression == 1) {
        resampled = RawRgbIntoBox(raw.thumb, raw.thumbWidth, raw.thumbHeight, box, raw.thumbOrientation, out, sizeClass);
      } else {
        resampled =
            DecodeJpegIntoBox(raw.thumb, raw.thumbWidth, raw.thumbHeight, box, raw.thumbOrientation, out, sizeClass);
      }
      found = !out.Empty();
    }
  }
  return found;
}

bool TCacheImageMaker::MakeSourceImage(TCatalogItem* item, const TSize& box, Bitmap& out, bool& resampled) {
  if (item->ItemClass() != 0) {
    std::string bytes;
    if (item->RemoteImage(bytes) == 0 || bytes.empty() || item->Kind() != 1) return false;
    int32_t unused = 0;
    const std::span<const uint8_t> jpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    resampled = DecodeJpegIntoBox(jpeg, 0, 0, box, 1, out, unused);
    return !out.Empty();
  }
  TImageInfoRec info;
  LoadImageToSize(out, item->FullPath(), item->Kind(), info, true, box.cy, box.cx);
  resampled = info.resampled != 0;
  if (item->Kind() == 6 && !out.Empty()) {
    ApplyFoundInfo(item, out.PixelFormat(), out.Width(), out.Height(), false, 1, 0);
  }
  return !out.Empty();
}

bool TCacheImageMaker::Store(TCatalogItem* item, Bitmap& image, int32_t sizeClass, bool resampled) {
  if (image.Empty()) return false;
  if (item->TrimmingInForce()) {
    const TTrimRect t = item->ScaledTrimRect(image.Width(), image.Height());
    CropBitmap(image, TRect{t.left, t.top, t.right, t.bottom});
  }
  if (resampled) ApplyEffectFilter(image, efSharpWeak);
  if (!cache_->AddCatalogImage(item, &image, sizeClass)) return false;
  if (CatalogUpdaterRunning()) RaiseCatalogUpdateEvent(item, cukThumbnailStored);
  return true;
}

void TCacheImageMaker::PostProcess(TCatalogItem* item) {
  {
    std::lock_guard guard(sidecarLock_);
    if (!sidecarLoaded_.insert(item).second) return;
  }
  if (item->ItemClass() != 0 || !item->Comment().empty()) return;
  const std::string path = item->FolderPath() + item->FileNameWithoutExtension() + ".txt";
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::string text(static_cast<size_t>(kSidecarLimit), '\0');
  in.read(text.data(), kSidecarLimit);
  text.resize(static_cast<size_t>(in.gcount()));
  try {
    text = platform::ConvertToUtf8(text, "UTF-8");
  } catch (const std::exception&) {
    // Not UTF-8: written in the legacy Japanese code page, or not text at all (then dropped).
    try {
      text = platform::ConvertToUtf8(text, "CP932");
    } catch (const std::exception&) {
      return;
    }
  }
  if (text != item->Comment()) {
    item->SetComment(text);
    if (CatalogUpdaterRunning()) RaiseCatalogUpdateEvent(item, cukCommentChanged);
  }
}

int TCacheImageMaker::WorkerCount(int type) const {
  return static_cast<int>((type == cwtThumbs ? thumbsWorkers_ : sourceWorkers_).size());
}

TCacheImageMaker::TStatistics TCacheImageMaker::Statistics() const {
  return {thumbsMade_.load(), sourceMade_.load(), alreadyCached_.load(), failed_.load(), requests_.load()};
}

std::vector<TCatalogItem*> TCacheImageMaker::ThumbsQueue() const {
  std::lock_guard guard(thumbsLock_);
  return {thumbsQueue_.begin(), thumbsQueue_.end()};
}

std::vector<TCatalogItem*> TCacheImageMaker::SourcePrimary() const {
  std::lock_guard guard(sourceLock_);
  return {primary_.begin(), primary_.end()};
}

std::vector<TCatalogItem*> TCacheImageMaker::SourceSecondary() const {
  std::lock_guard guard(sourceLock_);
  return {secondary_.begin(), secondary_.end()};
}

}  // namespace plb

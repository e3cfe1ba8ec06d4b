#include "images/dates/exif_date_loader.h"

#include "engine/model/catalog_item.h"
#include "host/format.h"
#include "host/log_file.h"
#include "images/codec/image_load.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

constexpr const char* kClassName = "TExifDateLoaderEx";

// The loaders of one process share no event: each gets a number of its own, as a thread
// identifier would give it.
int NextLoaderNumber() {
  static std::atomic<int> counter{0};
  return ++counter;
}

}  // namespace

TExifDateLoaderEx::TExifDateLoaderEx()
    : eventName_(Format("ExifDateLoaderEvent_%d", {NextLoaderNumber()})),
      event_(platform::OpenNamedEvent(eventName_, false)) {}

TExifDateLoaderEx::~TExifDateLoaderEx() {
  Stop();
}

void TExifDateLoaderEx::SetOnComplete(TCompletion completion) {
  std::lock_guard guard(completionLock_);
  completion_ = std::move(completion);
}

bool TExifDateLoaderEx::Start(platform::ThreadPriority priority) {
  terminated_ = false;
  return thread_.Start(kClassName, priority, [this] { Execute(); });
}

void TExifDateLoaderEx::Stop() {
  thread_.Stop([this] { terminated_ = true; });
}

std::shared_ptr<platform::NamedEvent> TExifDateLoaderEx::WakeEvent() const {
  // Opened by name every time, so set, reset and wait always meet the same event.
  return platform::OpenNamedEvent(eventName_, false);
}

void TExifDateLoaderEx::SetItems(const std::vector<TCatalogItem*>* items) {
  try {
    std::lock_guard guard(lock_);
    if (items) {
      pending_ = *items;
    } else {
      pending_.clear();
    }
    WakeEvent()->Set();
  } catch (const std::exception& e) {
    throw EExifDateLoaderError(
        Format("%s Raised in %s.%s. ( %s )", {ClassNameOf(e), kClassName, "GetNextItems", MessageOf(e)}));
  }
}

void TExifDateLoaderEx::GetNextItems(std::vector<TCatalogItem*>* items) {
  try {
    if (!items) throw EExifDateLoaderError("CItems = nil");
    std::lock_guard guard(lock_);
    WakeEvent()->Reset();
    *items = std::move(pending_);
    pending_.clear();
  } catch (const std::exception& e) {
    throw EExifDateLoaderError(
        Format("%s Raised in %s.%s. ( %s )", {ClassNameOf(e), kClassName, "GetNextItems", MessageOf(e)}));
  }
}

void TExifDateLoaderEx::LoadExifInfo(TCatalogItem* item) {
  std::string path;
  try {
    if (item->ExifState() != 0 && item->ShootingDate() != 0) return;
    path = item->FullPath();
    const TImageInfoRec read = GetImageInfo(path, item->Kind());
    TItemImageInfo info;
    info.pixelFormat = static_cast<uint8_t>(read.pixel_format);
    info.width = read.width;
    info.height = read.height;
    info.hasExif = read.has_exif;
    info.orientation = static_cast<uint16_t>(read.orientation >= 1 && read.orientation <= 8 ? read.orientation : 1);
    info.exifDate = read.shooting_date;
    item->ApplyImageInfo(info, true);
    changed_ = true;
  } catch (const std::exception& e) {
    LogFailure(Format("%s.LoadExifInfo( %s )", {kClassName, path}), e);
  }
}

void TExifDateLoaderEx::Complete(bool changed) {
  TCompletion completion;
  {
    std::lock_guard guard(completionLock_);
    completion = completion_;
  }
  if (!completion) return;
  platform::UiDispatcher* ui = platform::CurrentUiDispatcher();
  if (ui) {
    ui->RunAndWait([&] { completion(this, changed); });
  } else {
    completion(this, changed);
  }
}

void TExifDateLoaderEx::Execute() {
  try {
    const std::shared_ptr<platform::NamedEvent> wake = WakeEvent();
    while (!terminated_) {
      if (!wake->Wait(50)) continue;
      changed_ = false;
      std::vector<TCatalogItem*> items;
      GetNextItems(&items);
      if (items.empty()) continue;
      for (TCatalogItem* item : items) {
        if (terminated_ || wake->IsSet()) break;
        LoadExifInfo(item);
      }
      if (!terminated_ && !wake->IsSet()) Complete(changed_);
    }
  } catch (const std::exception& e) {
    LogFailure(std::string(kClassName) + ".Execute", e);
  }
}

}  // namespace plb

#include "engine/model/history_list.h"

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/eyefi_folder.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/volumes.h"

namespace plb {

namespace {

// Whether path lies in the tree of the mount point root.
bool Below(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

}  // namespace

THistoryList::THistoryList(int capacity) : capacity_(capacity) {}

THistoryItem THistoryList::EntryFor(TCustomFolder* node) {
  THistoryItem item;
  item.Node = node;
  if (!node) return item;
  item.FullName = node->GetFullName();
  if (auto* folder = dynamic_cast<TFolder*>(node)) {
    item.Kind = hkFolder;
    TDriveInfoRec info;
    folder->GetDriveInfo(info);
    item.DriveType = info.DriveType;
    item.VolumeSerial = info.VolumeSerial;
    item.VolumeName = info.VolumeName;
  } else if (dynamic_cast<TAlbum*>(node)) {
    item.Kind = hkAlbum;
  } else if (dynamic_cast<TCalendar*>(node)) {
    item.Kind = hkCalendar;
  }
  return item;
}

void THistoryList::Push(TCustomFolder* node) {
  std::lock_guard guard(lock_);
  if (!node || node == Current()) return;
  items_.resize(static_cast<size_t>(current_ + 1));
  items_.push_back(EntryFor(node));
  current_ = static_cast<int>(items_.size()) - 1;
  TrimLocked();
}

bool THistoryList::CanGoBack() const {
  std::lock_guard guard(lock_);
  return current_ > 0;
}

TCustomFolder* THistoryList::Back() {
  std::lock_guard guard(lock_);
  if (current_ <= 0) return nullptr;
  return items_[static_cast<size_t>(--current_)].Node;
}

bool THistoryList::CanGoForward() const {
  std::lock_guard guard(lock_);
  return current_ >= 0 && current_ < static_cast<int>(items_.size()) - 1;
}

TCustomFolder* THistoryList::Forward() {
  std::lock_guard guard(lock_);
  if (!CanGoForward()) return nullptr;
  return items_[static_cast<size_t>(++current_)].Node;
}

TCustomFolder* THistoryList::Current() const {
  std::lock_guard guard(lock_);
  return NodeAt(current_);
}

TCustomFolder* THistoryList::Last() const {
  std::lock_guard guard(lock_);
  return NodeAt(static_cast<int>(items_.size()) - 1);
}

TCustomFolder* THistoryList::NodeAt(int index) const {
  std::lock_guard guard(lock_);
  return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(index)].Node : nullptr;
}

THistoryItem THistoryList::ItemAt(int index) const {
  std::lock_guard guard(lock_);
  return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(index)] : THistoryItem();
}

int THistoryList::Count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

int THistoryList::CurrentIndex() const {
  std::lock_guard guard(lock_);
  return current_;
}

int THistoryList::Capacity() const {
  std::lock_guard guard(lock_);
  return capacity_;
}

void THistoryList::Delete(int index) {
  std::lock_guard guard(lock_);
  DeleteLocked(index);
}

void THistoryList::DeleteLocked(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (current_ >= index) --current_;
  // A list that still has entries always has a current one.
  if (current_ < 0 && !items_.empty()) current_ = 0;
}

void THistoryList::SetCapacity(int capacity) {
  std::lock_guard guard(lock_);
  capacity_ = capacity;
  TrimLocked();
}

void THistoryList::TrimLocked() {
  if (capacity_ <= 0) return;
  while (static_cast<int>(items_.size()) > capacity_) DeleteLocked(0);
}

void THistoryList::RemoveNode(TCustomFolder* node) {
  std::lock_guard guard(lock_);
  for (int i = static_cast<int>(items_.size()); i-- > 0;) {
    if (items_[static_cast<size_t>(i)].Node == node) DeleteLocked(i);
  }
  CollapseLocked();
}

void THistoryList::ReplaceNode(TCustomFolder* oldNode, TCustomFolder* newNode) {
  std::lock_guard guard(lock_);
  for (auto& item : items_) {
    if (item.Node == oldNode) item = EntryFor(newNode);
  }
  CollapseLocked();
}

void THistoryList::CollapseLocked() {
  TCustomFolder* following = nullptr;  // as if an entry without a node followed the last one
  for (int i = static_cast<int>(items_.size()); i-- > 0;) {
    TCustomFolder* node = items_[static_cast<size_t>(i)].Node;
    if (node == following) {
      DeleteLocked(i);
    } else {
      following = node;
    }
  }
}

void THistoryList::Clear() {
  std::lock_guard guard(lock_);
  items_.clear();
  current_ = -1;
}

void THistoryList::SaveToStream(RecordWriter& out) {
  std::lock_guard guard(lock_);
  out.U32(kHistoryMarker);
  out.U32(static_cast<uint32_t>(items_.size()));
  for (const THistoryItem& stored : items_) {
    const THistoryItem item = stored.Node ? EntryFor(stored.Node) : stored;
    const uint8_t kind = item.Node && item.Kind == hkUnknown ? stored.Kind : item.Kind;
    out.U8(kind);
    out.Text(item.FullName);
    if (kind == hkFolder) {
      out.I32(item.DriveType);
      out.I32(item.VolumeSerial);
      out.Text(item.VolumeName);
    }
  }
}

void THistoryList::LoadFromStream(RecordReader& in) {
  std::lock_guard guard(lock_);
  Clear();
  try {
    if (in.Remaining() < 5) return;
    if (in.U32() != kHistoryMarker) return;
    const uint32_t count = in.Count(5);
    for (uint32_t i = 0; i < count; ++i) {
      THistoryItem item;
      item.Kind = in.U8();
      item.FullName = in.Text();
      if (item.Kind == hkFolder) {
        item.DriveType = in.I32();
        item.VolumeSerial = in.I32();
        item.VolumeName = in.Text();
      }
      items_.push_back(std::move(item));
    }
  } catch (const std::exception&) {
    items_.clear();
  }
  TrimLocked();
  current_ = static_cast<int>(items_.size()) - 1;
}

TCustomFolder* THistoryList::FindNode(const THistoryItem& item, TFolderTreeList* folders, TCalendar* calendar,
                                      const TAlbumList* albums) const {
  switch (item.Kind) {
    case hkFolder: {
      if (!folders) return nullptr;
      // The tree of that medium: a saved root of the same identity that holds the path, the
      // longest such, else the volume mounted there now when it is the same medium.
      std::vector<TFolder*> roots;
      folders->GetRoots(roots);
      TFolder* best = nullptr;
      for (TFolder* root : roots) {
        if (root->DriveType() != item.DriveType || root->VolumeSerial() != item.VolumeSerial ||
            root->VolumeName() != item.VolumeName || !Below(item.FullName, root->RootPath())) {
          continue;
        }
        if (!best || root->RootPath().size() > best->RootPath().size()) best = root;
      }
      TDriveInfoRec info;
      if (best) {
        best->GetDriveInfo(info);
      } else if (item.DriveType == kEyeFiDriveType) {
        return nullptr;  // an Eye-Fi tree exists only while its account is selected
      } else if (!platform::Volumes().DriveInfoOf(item.FullName, info) || info.DriveType != item.DriveType ||
                 info.VolumeSerial != item.VolumeSerial || info.VolumeName != item.VolumeName) {
        return nullptr;
      }
      return folders->FolderOfDrive(info, item.FullName);
    }
    case hkAlbum:
      return albums ? albums->GetAlbumFromPath(item.FullName) : nullptr;
    case hkCalendar:
      return calendar ? calendar->FindByPath(item.FullName) : nullptr;
    default:
      return nullptr;
  }
}

void THistoryList::Resolve(RecordReader& in, TFolderTreeList* folders, TCalendar* calendar, const TAlbumList* albums) {
  std::lock_guard guard(lock_);
  try {
    LoadFromStream(in);
    for (THistoryItem& item : items_) item.Node = FindNode(item, folders, calendar, albums);
    RemoveNode(nullptr);
    current_ = static_cast<int>(items_.size()) - 1;
  } catch (const std::exception&) {
    Clear();
  }
}

void THistoryList::PinCalendarNodes() const {
  std::lock_guard guard(lock_);
  for (const THistoryItem& item : items_) {
    // A pinned day that no longer exists resolves to an ancestor, which must not be pinned.
    if (item.Kind == hkCalendar && item.Node && item.Node->GetFullName() == item.FullName) item.Node->SetPinned(true);
  }
}

}  // namespace plb

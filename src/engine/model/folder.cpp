#include "engine/model/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/store/export_info_xml.h"
#include "engine/views/name_order.h"
#include "host/file_functions.h"
#include "host/format.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace plb {

namespace {

// A folder's items are flushed to the file once this much is buffered.
constexpr size_t kFlushThreshold = 204800;
constexpr uint32_t kMaxItemsReservedAhead = 65536;

bool ValidComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

class DirCloser {
 public:
  explicit DirCloser(DIR* dir) : dir_(dir) {}
  ~DirCloser() {
    if (dir_) ::closedir(dir_);
  }
  DirCloser(const DirCloser&) = delete;
  DirCloser& operator=(const DirCloser&) = delete;

 private:
  DIR* dir_;
};

// Opens a directory for listing; null with errno set on failure. The descriptor belongs to the
// DIR once it is made.
DIR* OpenDirectory(const std::string& path, struct stat& st) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd || ::fstat(fd.Get(), &st) != 0) return nullptr;
  DIR* dir = ::fdopendir(fd.Get());
  if (dir) fd.Release();
  return dir;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path.append(name);
  return path;
}

TFolder::TFolder(std::string name) : name_(std::move(name)), fullPath_(name_) {}

TFolder::~TFolder() = default;

std::string TFolder::GetName() const {
  return Name();
}

std::string TFolder::Name() const {
  std::lock_guard guard(lock_);
  return name_;
}

std::string TFolder::GetFullName() const {
  std::lock_guard guard(lock_);
  return fullPath_;
}

bool TFolder::HasChildren() const {
  std::lock_guard guard(lock_);
  return !subFolders_.empty();
}

TCustomFolder* TFolder::GetParent() const {
  return Parent();
}

TFolder* TFolder::Parent() const {
  std::lock_guard guard(lock_);
  return parent_;
}

int32_t TFolder::ItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int32_t>(items_.size());
}

int32_t TFolder::ItemCountOf(TKindSet kinds) const {
  std::lock_guard guard(lock_);
  int32_t n = 0;
  for (const auto& item : items_) n += KindInSet(item->Kind(), kinds) ? 1 : 0;
  return n;
}

int32_t TFolder::MarkedCount() const {
  std::lock_guard guard(lock_);
  int32_t n = 0;
  for (const auto& item : items_) n += item->Mark() ? 1 : 0;
  return n;
}

bool TFolder::IsDescendantOf(const TCustomFolder* node) const {
  if (!node) return false;
  for (TFolder* p = Parent(); p; p = p->Parent()) {
    if (p == node) return true;
  }
  return false;
}

void TFolder::GetChildFolders(std::vector<TCustomFolder*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& f : subFolders_) out.push_back(f.get());
}

void TFolder::GetOtherChildren(std::vector<TCustomFolder*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& f : removedSubFolders_) out.push_back(f.get());
}

void TFolder::GetItems(std::vector<TCatalogItem*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& item : items_) out.push_back(item.get());
}

void TFolder::GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& item : items_) {
    if (KindInSet(item->Kind(), kinds)) out.push_back(item.get());
  }
}

void TFolder::SearchFilesEx(std::vector<TCatalogItem*>* found) {
  SearchFilesEx(kCatalogKinds, found);
}

void TFolder::SearchFilesEx(TKindSet kinds, std::vector<TCatalogItem*>* found) {
  if (kinds == 0) return;
  TExtItems table;
  table.Build(kinds);
  SearchFiles(&table, found);
}

std::unique_ptr<TCatalogItem> TFolder::NewItem() const {
  return std::make_unique<TCatalogItem>();
}

std::unique_ptr<TFolder> TFolder::NewSubFolder(const std::string& name) const {
  return std::make_unique<TFolder>(name);
}

int32_t TFolder::DriveType() const {
  TFolder* p = Parent();
  return p ? p->DriveType() : 0;
}

bool TFolder::IsCdRom() const {
  TFolder* p = Parent();
  return p ? p->IsCdRom() : false;
}

int32_t TFolder::VolumeSerial() const {
  TFolder* p = Parent();
  return p ? p->VolumeSerial() : 0;
}

std::string TFolder::RootPath() const {
  TFolder* p = Parent();
  return p ? p->RootPath() : std::string();
}

std::string TFolder::VolumeName() const {
  TFolder* p = Parent();
  return p ? p->VolumeName() : std::string();
}

void TFolder::GetDriveInfo(TDriveInfoRec& info) const {
  info.DriveType = DriveType();
  info.VolumeSerial = VolumeSerial();
  info.VolumeName = VolumeName();
  info.Drive = RootPath();
}

bool TFolder::IsRemoved() const {
  TFolder* p = Parent();
  if (!p) return true;
  {
    std::lock_guard guard(p->lock_);
    for (const auto& f : p->removedSubFolders_) {
      if (f.get() == this) return true;
    }
  }
  return p->IsRemoved();
}

bool TFolder::Missing() const {
  std::lock_guard guard(lock_);
  return missing_;
}

void TFolder::SetMissing(bool missing) {
  std::vector<TFolder*> children;
  {
    std::lock_guard guard(lock_);
    missing_ = missing;
    if (!missing) return;
    for (const auto& f : subFolders_) children.push_back(f.get());
  }
  for (TFolder* child : children) child->SetMissing(true);
}

void TFolder::RecomputeFullPaths() {
  std::vector<TFolder*> children;
  {
    TFolder* parent = Parent();
    const std::string base = parent ? parent->GetFullName() : std::string();
    std::lock_guard guard(lock_);
    fullPath_ = parent ? JoinPath(base, name_) : name_;
    for (const auto& f : subFolders_) children.push_back(f.get());
  }
  for (TFolder* child : children) child->RecomputeFullPaths();
}

size_t TFolder::ItemLowerBound(std::string_view name) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), name,
                             [](const std::unique_ptr<TCatalogItem>& item, std::string_view n) {
                               // Names change only under this folder's lock, which the caller holds.
                               return CompareNames(item->name_, n) < 0;
                             });
  return static_cast<size_t>(it - items_.begin());
}

size_t TFolder::SubFolderLowerBound(std::string_view name) const {
  auto it = std::lower_bound(subFolders_.begin(), subFolders_.end(), name,
                             [](const std::unique_ptr<TFolder>& f, std::string_view n) {
                               std::lock_guard guard(f->lock_);
                               return CompareNames(f->name_, n) < 0;
                             });
  return static_cast<size_t>(it - subFolders_.begin());
}

TCatalogItem* TFolder::FindItem(std::string_view name) const {
  std::lock_guard guard(lock_);
  const size_t i = ItemLowerBound(name);
  return (i < items_.size() && items_[i]->name_ == name) ? items_[i].get() : nullptr;
}

TCatalogItem* TFolder::FindOrCreateItem(std::string_view name, bool* created) {
  if (created) *created = false;
  std::lock_guard guard(lock_);
  const size_t i = ItemLowerBound(name);
  if (i < items_.size() && items_[i]->name_ == name) return items_[i].get();
  if (!ValidComponent(name)) throw EFolderError("Invalid file name: " + std::string(name));
  std::unique_ptr<TCatalogItem> item = NewItem();
  item->SetFileNameRaw(std::string(name));
  item->SetOwnerRaw(this);
  TCatalogItem* raw = item.get();
  items_.insert(items_.begin() + static_cast<ptrdiff_t>(i), std::move(item));
  if (created) *created = true;
  return raw;
}

int TFolder::AddItem(std::unique_ptr<TCatalogItem>& item) {
  const std::string name = item->FileName();
  std::lock_guard guard(lock_);
  const size_t i = ItemLowerBound(name);
  if (i < items_.size() && items_[i]->name_ == name) return static_cast<int>(i);
  item->SetOwnerRaw(this);
  items_.insert(items_.begin() + static_cast<ptrdiff_t>(i), std::move(item));
  return -1;
}

std::unique_ptr<TCatalogItem> TFolder::DropItem(TCatalogItem* item) {
  std::lock_guard guard(lock_);
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == item) {
      std::unique_ptr<TCatalogItem> owned = std::move(*it);
      items_.erase(it);
      owned->SetOwnerRaw(nullptr);
      return owned;
    }
  }
  return nullptr;
}

int TFolder::TakeItemOut(TCatalogItem* item) {
  std::lock_guard guard(lock_);
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == item) {
      const int position = static_cast<int>(it - items_.begin());
      removedItems_.push_back(std::move(*it));
      items_.erase(it);
      return position;
    }
  }
  return -1;
}

bool TFolder::RenameItem(TCatalogItem* item, const std::string& name) {
  std::lock_guard guard(lock_);
  if (item->name_ == name) return true;
  if (!ValidComponent(name)) return false;
  const size_t taken = ItemLowerBound(name);
  if (taken < items_.size() && items_[taken]->name_ == name) return false;
  auto it = std::find_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; });
  if (it == items_.end()) {
    item->SetFileNameRaw(name);  // not listed here: nothing to keep in order
    return true;
  }
  std::unique_ptr<TCatalogItem> owned = std::move(*it);
  items_.erase(it);
  owned->SetFileNameRaw(name);
  const size_t i = ItemLowerBound(name);
  items_.insert(items_.begin() + static_cast<ptrdiff_t>(i), std::move(owned));
  return true;
}

void TFolder::DeleteItems(const std::vector<TCatalogItem*>& items) {
  if (TGoneItems* gone = TGoneItems::Current()) {
    for (TCatalogItem* item : items) {
      if (item->State() == cisDeleted) continue;
      item->SetState(cisMissing);
      gone->Hold(item);
    }
    return;
  }
  for (TCatalogItem* item : items) item->SetState(cisDeleted);
}

std::unique_ptr<TCatalogItem> TFolder::ReclaimRemovedItem(TCatalogItem* item) {
  std::lock_guard guard(lock_);
  for (auto it = removedItems_.begin(); it != removedItems_.end(); ++it) {
    if (it->get() == item) {
      std::unique_ptr<TCatalogItem> owned = std::move(*it);
      removedItems_.erase(it);
      return owned;
    }
  }
  return nullptr;
}

namespace {
thread_local TGoneItems* tGoneItems = nullptr;
}  // namespace

TGoneItems::TGoneItems() : previous_(tGoneItems) {
  tGoneItems = this;
}

TGoneItems::~TGoneItems() {
  tGoneItems = previous_;
  for (TCatalogItem* item : held_) item->SetState(cisDeleted);
}

std::vector<TCatalogItem*> TGoneItems::Take() {
  return std::exchange(held_, {});
}

TGoneItems* TGoneItems::Current() {
  return tGoneItems;
}

int TFolder::DeleteAllItems() {
  std::vector<TCatalogItem*> deleted;
  {
    std::lock_guard guard(lock_);
    for (auto& item : items_) {
      deleted.push_back(item.get());
      removedItems_.push_back(std::move(item));
    }
    items_.clear();
  }
  DeleteItems(deleted);
  return static_cast<int>(deleted.size());
}

std::vector<TCatalogItem*> TFolder::RemovedItems() const {
  std::lock_guard guard(lock_);
  std::vector<TCatalogItem*> out;
  for (const auto& item : removedItems_) out.push_back(item.get());
  return out;
}

TFolder* TFolder::FindSubFolder(std::string_view name) const {
  std::lock_guard guard(lock_);
  const size_t i = SubFolderLowerBound(name);
  return (i < subFolders_.size() && subFolders_[i]->Name() == name) ? subFolders_[i].get() : nullptr;
}

TFolder* TFolder::FindOrCreateSubFolder(const std::string& name, bool* created) {
  if (created) *created = false;
  TFolder* child;
  {
    std::lock_guard guard(lock_);
    const size_t i = SubFolderLowerBound(name);
    if (i < subFolders_.size() && subFolders_[i]->Name() == name) return subFolders_[i].get();
    if (!ValidComponent(name)) throw EFolderError("Invalid folder name: " + name);
    std::unique_ptr<TFolder> made = NewSubFolder(name);
    child = made.get();
    child->parent_ = this;
    child->fullPath_ = JoinPath(fullPath_, name);
    subFolders_.insert(subFolders_.begin() + static_cast<ptrdiff_t>(i), std::move(made));
    child->SetUpdateHandler(UpdateHandler());
  }
  if (created) *created = true;
  child->Notify(futCreated, 0);
  return child;
}

std::vector<TFolder*> TFolder::SubFolders() const {
  std::lock_guard guard(lock_);
  std::vector<TFolder*> out;
  for (const auto& f : subFolders_) out.push_back(f.get());
  return out;
}

std::vector<TFolder*> TFolder::RemovedSubFolders() const {
  std::lock_guard guard(lock_);
  std::vector<TFolder*> out;
  for (const auto& f : removedSubFolders_) out.push_back(f.get());
  return out;
}

void TFolder::SortSubFolders() {
  std::lock_guard guard(lock_);
  std::stable_sort(subFolders_.begin(), subFolders_.end(),
                   [](const auto& a, const auto& b) { return CompareNames(a->Name(), b->Name()) < 0; });
}

void TFolder::RetireSubFolder(TFolder* child) {
  std::lock_guard guard(lock_);
  for (auto it = subFolders_.begin(); it != subFolders_.end(); ++it) {
    if (it->get() == child) {
      removedSubFolders_.push_back(std::move(*it));
      subFolders_.erase(it);
      return;
    }
  }
}

void TFolder::Rename(const std::string& name) {
  TFolder* parent = Parent();
  {
    std::lock_guard guard(lock_);
    if (name == name_) return;
    if (!IsTreeRoot() && !ValidComponent(name)) throw EFolderError("Invalid folder name: " + name);
  }
  // Two sub-folders of one name would make the name lookups ambiguous.
  if (parent && parent->FindSubFolder(name)) throw EFolderError("A folder named " + name + " exists already");
  {
    std::lock_guard guard(lock_);
    name_ = name;
  }
  RecomputeFullPaths();
  if (parent) parent->SortSubFolders();
  Notify(futRenamed, 0);
}

bool TFolder::CanMoveTo(const TFolder* parent) const {
  if (!parent || parent == this || IsTreeRoot()) return false;
  TFolder* current = Parent();
  if (parent == current || parent->IsDescendantOf(this)) return false;
  // A folder listed nowhere would be neither saved nor removed with its items.
  return parent->FindSubFolder(Name()) == nullptr;
}

bool TFolder::SetParent(TFolder* parent) {
  TFolder* previous = Parent();
  if (parent == previous) return true;
  if (!CanMoveTo(parent)) return false;
  const auto previousParam = reinterpret_cast<TFolderEventParam>(static_cast<TCustomFolder*>(previous));
  Notify(futParentChanging, previousParam);
  try {
    std::unique_ptr<TFolder> self;
    if (previous) {
      std::lock_guard guard(previous->lock_);
      auto& list = previous->subFolders_;
      auto it = std::find_if(list.begin(), list.end(), [this](const auto& p) { return p.get() == this; });
      if (it != list.end()) {
        self = std::move(*it);
        list.erase(it);
      }
    }
    if (self) {
      {
        std::lock_guard guard(lock_);
        parent_ = parent;
      }
      RecomputeFullPaths();
      std::lock_guard guard(parent->lock_);
      const size_t i = parent->SubFolderLowerBound(Name());
      parent->subFolders_.insert(parent->subFolders_.begin() + static_cast<ptrdiff_t>(i), std::move(self));
    }
  } catch (...) {
    Notify(futParentChanged, previousParam);
    throw;
  }
  Notify(futParentChanged, previousParam);
  return true;
}

int TFolder::RemoveFolder() {
  int deleted = DeleteAllItems();
  std::vector<TFolder*> children = SubFolders();
  for (auto it = children.rbegin(); it != children.rend(); ++it) deleted += (*it)->RemoveFolder();
  if (TFolder* parent = Parent()) parent->RetireSubFolder(this);
  Notify(futDeleted, 0);
  return deleted;
}

void TFolder::CheckDrive(bool recurse, bool checkItems) {
  const std::string path = GetFullName();
  bool present = IsDirectory(path);
  if (present) {
    TDriveInfoRec info;
    present = platform::Volumes().DriveInfoOf(path, info) && info.DriveType != platform::kDriveNoRootDir &&
              info.DriveType == DriveType() && info.VolumeSerial == VolumeSerial() && info.VolumeName == VolumeName() &&
              info.Drive == RootPath();
  }
  SetMissing(!present);
  if (checkItems) {
    std::vector<TCatalogItem*> items;
    GetItems(items);
    for (TCatalogItem* item : items) {
      bool exists = false;
      if (present) {
        struct stat st {};
        exists = ::stat(JoinPath(path, item->FileName()).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
      }
      item->SetState(exists ? cisPresent : cisMissing);
    }
  }
  if (recurse) {
    for (TFolder* child : SubFolders()) child->CheckDrive(recurse, checkItems);
  }
}

bool TFolder::PruneStep(bool recurse, bool purgeDeleted, bool purgeMissing, bool keepCalendarMode) {
  if (recurse) {
    for (TFolder* child : SubFolders()) child->PruneStep(recurse, purgeDeleted, purgeMissing, keepCalendarMode);
  }
  bool stays;
  {
    std::lock_guard guard(lock_);
    if (purgeDeleted || purgeMissing) {
      for (auto it = items_.begin(); it != items_.end();) {
        const TCatalogItemState state = (*it)->State();
        if (state == cisDeleted || (purgeMissing && state == cisMissing)) {
          removedItems_.push_back(std::move(*it));
          it = items_.erase(it);
        } else {
          ++it;
        }
      }
    }
    stays = !subFolders_.empty() || !items_.empty() || Option(foPinned) || (keepCalendarMode && GetCalendarMode() != 0);
  }
  if (!stays) RemoveFolder();
  return stays;
}

bool TFolder::Prune(bool recurse, bool purgeDeleted) {
  return PruneStep(recurse, purgeDeleted, false, true);
}

bool TFolder::PurgeMissing(bool recurse, bool purge) {
  return PruneStep(recurse, purge, purge, false);
}

bool TFolder::ListDirectory(std::vector<TCatalogItem*>& seen, const TExtItems& table, std::vector<TCatalogItem*>* found,
                            std::vector<TCatalogItem*>& created, int& error) {
  const std::string path = GetFullName();
  struct stat dirStat {};
  DIR* dir = OpenDirectory(path, dirStat);
  if (!dir) {
    error = errno;
    return false;
  }
  DirCloser closer(dir);
  const int dfd = ::dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || entry->d_type == DT_DIR) continue;
    if (name[0] == '.' && IsAbandonedTemporaryName(name)) {
      RemoveAbandonedTemporary(dfd, path, name);  // a write or copy into this folder that was killed
      continue;
    }
    const TExtItem* kind = table.Find(ExtensionOf(name));
    if (!kind) continue;
    struct stat st {};
    // A link to a file counts as that file; anything but a regular file is not catalogued.
    if (::fstatat(dfd, entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    TItemDirEntry dirEntry;
    dirEntry.name = name;
    dirEntry.size = static_cast<uint64_t>(st.st_size);
    dirEntry.fileDate = FileTimeToDateTimeEx(st.st_mtim);
    dirEntry.readOnly = (st.st_mode & S_IWUSR) == 0;
    bool isNew = false;
    TCatalogItem* item = FindOrCreateItem(name, &isNew);
    item->UpdateFromEntry(dirEntry, kind->kind, kind->externalPlayer);
    if (isNew) created.push_back(item);
    seen.push_back(item);
    if (found) found->push_back(item);
  }
  if (errno != 0) {
    error = errno;
    return false;
  }
  return true;
}

void TFolder::SearchFiles(const TExtItems* table, std::vector<TCatalogItem*>* found) {
  if (!table) return;
  const TKindSet kinds = table->KindSet();
  if (kinds == 0) return;
  // Only what was listed before the directory was read may be found gone by this listing: an
  // item that another thread adds meanwhile (a copy or move into the folder) is not judged by a
  // listing that may have passed its file before it existed.
  std::vector<TCatalogItem*> candidates;
  GetItemsOf(kinds, candidates);
  std::sort(candidates.begin(), candidates.end());
  std::vector<TCatalogItem*> seen;
  std::vector<TCatalogItem*> created;
  int error = 0;
  if (!ListDirectory(seen, *table, found, created, error)) {
    if (error == ENOENT || error == ENOTDIR) {
      // The directory is gone, perhaps only its card: its items are missing, not deleted.
      SetMissing(true);
      std::vector<TCatalogItem*> items;
      GetItemsOf(kinds, items);
      for (TCatalogItem* item : items) item->SetState(cisMissing);
      return;
    }
    throw EFolderScanError(Format("%s を読めません。( %s )", GetFullName(), std::strerror(error)));
  }
  // The directory was listed completely: what it no longer holds is gone from here. A pass over
  // the whole catalog judges such items (their files may turn up elsewhere in the same pass); a
  // scan of this folder alone cannot, so its gone items stay, missing, with all the user gave them,
  // for the next pass to pair with their files or delete.
  std::sort(seen.begin(), seen.end());
  const bool judged = TGoneItems::Current() != nullptr;
  std::vector<TCatalogItem*> gone;
  {
    std::lock_guard guard(lock_);
    for (auto it = items_.begin(); it != items_.end();) {
      TCatalogItem* item = it->get();
      if (std::binary_search(candidates.begin(), candidates.end(), item) &&
          !std::binary_search(seen.begin(), seen.end(), item) && KindInSet(item->Kind(), kinds)) {
        gone.push_back(item);
        if (judged) {
          removedItems_.push_back(std::move(*it));
          it = items_.erase(it);
          continue;
        }
      }
      ++it;
    }
  }
  if (judged) {
    DeleteItems(gone);
  } else {
    for (TCatalogItem* item : gone) item->SetState(cisMissing);
    for (TCatalogItem* item : created) item->SetUnjudged(true);
  }
  if (created.empty() && gone.empty()) return;
  try {
    if (!created.empty()) LoadInfoDataXml(created, GetFullName());
  } catch (...) {
    NotifyContentsChanged();  // the items changed whatever the side-car file held
    throw;
  }
  NotifyContentsChanged();
}

void TFolder::ScanSubFolders(std::vector<TFolder*>* found) {
  const std::vector<TFolder*> before = SubFolders();
  std::vector<TFolder*> seen;
  const std::string path = GetFullName();
  struct stat dirStat {};
  DIR* dir = OpenDirectory(path, dirStat);
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) {
      SetMissing(true);
      return;
    }
    throw EFolderScanError(Format("%s を読めません。( %s )", path, std::strerror(errno)));
  }
  DirCloser closer(dir);
  const int dfd = ::dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;  // links to folders are not followed
    struct stat st {};
    if (::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (st.st_dev != dirStat.st_dev) continue;  // another volume: a tree of its own
    if (name[0] == '.' && IsAbandonedTemporaryName(name)) {
      // The staging folder of a folder copy that was killed before it took its name: its source
      // was never deleted, so this is only a second, hidden copy.
      RemoveAbandonedTemporary(dfd, path, name);
      continue;
    }
    TFolder* child = FindOrCreateSubFolder(std::string(name));
    {
      std::lock_guard guard(child->lock_);
      child->missing_ = false;
    }
    child->SetHidden(name[0] == '.');
    if (found) found->push_back(child);
    seen.push_back(child);
  }
  if (errno != 0) {
    // Only a complete listing may tell that a sub-folder is gone.
    throw EFolderScanError(Format("%s を読めません。( %s )", path, std::strerror(errno)));
  }
  std::sort(seen.begin(), seen.end());
  for (TFolder* child : before) {
    if (!std::binary_search(seen.begin(), seen.end(), child)) child->SetMissing(true);
  }
}

void TFolder::LoadOptionsFromStream(RecordReader& in) {
  TCustomFolder::LoadOptionsFromStream(in);
  // An ordinary folder has no options block of its own; unread, it would shift every later field.
  if (ExtendedOptions()) throw LoadAbort();
}

void TFolder::SaveToStream(RecordWriter& out, int32_t& counter) {
  SaveFolderRecord(out, counter);
}

void TFolder::SaveFolderRecord(RecordWriter& out, int32_t& counter) {
  std::vector<TCatalogItem*> items;
  {
    std::lock_guard guard(lock_);
    for (const auto& item : items_) {
      if (item->State() != cisDeleted) items.push_back(item.get());
    }
  }
  out.Text(Name());
  SaveOptionsToStream(out);
  out.U32(static_cast<uint32_t>(items.size()));
  for (TCatalogItem* item : items) {
    item->SetRecordNumber(counter++);
    item->SaveToStream(out);
  }
  out.FlushIfAbove(kFlushThreshold);
  const std::vector<TFolder*> children = SubFolders();
  out.U32(static_cast<uint32_t>(children.size()));
  for (TFolder* child : children) child->SaveToStream(out, counter);
}

void TFolder::LoadFromStream(RecordReader& in) {
  LoadFolderRecord(in, 0);
}

void TFolder::LoadFolderRecord(RecordReader& in, int depth) {
  if (depth > kMaxFolderDepth) throw LoadAbort();
  std::string name = in.Text();
  {
    std::lock_guard guard(lock_);
    name_ = std::move(name);
  }
  LoadOptionsFromStream(in);
  // An item record is at least its version; a folder record its name, flags and two counts.
  const uint32_t itemCount = in.Count(4);
  {
    // The lock is taken once for all items (an item's lock may be taken under ours).
    std::lock_guard guard(lock_);
    // Room for the items at once (the list then wastes no growth), but never more than a bounded
    // guess: a damaged count must not allocate much before the records run out.
    items_.reserve(items_.size() + std::min<uint32_t>(itemCount, kMaxItemsReservedAhead));
    for (uint32_t i = 0; i < itemCount; ++i) {
      std::unique_ptr<TCatalogItem> item = NewItem();
      item->LoadFromStream(in);
      item->SetOwnerRaw(this);
      items_.push_back(std::move(item));
    }
  }
  const uint32_t folderCount = in.Count(13);
  for (uint32_t i = 0; i < folderCount; ++i) {
    std::unique_ptr<TFolder> child = NewSubFolder("");
    child->parent_ = this;
    child->LoadFolderRecord(in, depth + 1);  // a failing child is freed here and the load ends
    AttachLoadedSubFolder(std::move(child));
  }
  RestoreNameOrder();
}

void TFolder::AttachLoadedSubFolder(std::unique_ptr<TFolder> child) {
  std::lock_guard guard(lock_);
  child->parent_ = this;
  subFolders_.push_back(std::move(child));
}

void TFolder::RestoreNameOrder() {
  std::lock_guard guard(lock_);
  // Files are written in name order; one written under another order is sorted, and a name
  // listed twice keeps its first entry (the others are set aside, not deleted).
  const auto itemLess = [](const auto& a, const auto& b) { return CompareNames(a->name_, b->name_) < 0; };
  if (!std::is_sorted(items_.begin(), items_.end(), itemLess)) {
    std::stable_sort(items_.begin(), items_.end(), itemLess);
  }
  for (size_t i = 1; i < items_.size();) {
    if (items_[i]->name_ == items_[i - 1]->name_) {
      items_[i]->SetOwnerRaw(nullptr);
      removedItems_.push_back(std::move(items_[i]));
      items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  const auto folderLess = [](const auto& a, const auto& b) { return CompareNames(a->name_, b->name_) < 0; };
  if (!std::is_sorted(subFolders_.begin(), subFolders_.end(), folderLess)) {
    std::stable_sort(subFolders_.begin(), subFolders_.end(), folderLess);
  }
  for (size_t i = 1; i < subFolders_.size();) {
    if (subFolders_[i]->name_ == subFolders_[i - 1]->name_) {
      removedSubFolders_.push_back(std::move(subFolders_[i]));
      subFolders_.erase(subFolders_.begin() + static_cast<ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

TFolderRoot::TFolderRoot(const TDriveInfoRec& info)
    : TFolder(info.Drive), serial_(info.VolumeSerial), driveType_(info.DriveType), volumeName_(info.VolumeName) {}

std::string TFolderRoot::GetName() const {
  return Format("%s (%s)", VolumeName(), Name());
}

int32_t TFolderRoot::DriveType() const {
  std::lock_guard guard(lock_);
  return driveType_;
}

bool TFolderRoot::IsCdRom() const {
  return DriveType() == platform::kDriveOptical;
}

int32_t TFolderRoot::VolumeSerial() const {
  std::lock_guard guard(lock_);
  return serial_;
}

std::string TFolderRoot::RootPath() const {
  return Name();
}

std::string TFolderRoot::VolumeName() const {
  std::lock_guard guard(lock_);
  return volumeName_;
}

bool TFolderRoot::IsRemoved() const {
  std::lock_guard guard(lock_);
  return removed_;
}

int TFolderRoot::RemoveFolder() {
  {
    std::lock_guard guard(lock_);
    removed_ = true;
  }
  return TFolder::RemoveFolder();
}

void TFolderRoot::SaveToStream(RecordWriter& out, int32_t& counter) {
  out.U32(kRecordVersion);
  out.U32(static_cast<uint32_t>(VolumeSerial()));
  out.U32(static_cast<uint32_t>(DriveType()));
  out.Text(VolumeName());
  SaveFolderRecord(out, counter);
}

void TFolderRoot::LoadFromStream(RecordReader& in) {
  if (in.U32() != kRecordVersion) throw LoadAbort();
  const auto serial = static_cast<int32_t>(in.U32());
  const auto type = static_cast<int32_t>(in.U32());
  std::string volume = in.Text();
  {
    std::lock_guard guard(lock_);
    serial_ = serial;
    driveType_ = type;
    volumeName_ = std::move(volume);
  }
  LoadFolderRecord(in, 0);
  RecomputeFullPaths();
}

}  // namespace plb

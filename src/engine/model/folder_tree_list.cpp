#include "engine/model/folder_tree_list.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <string_view>

#include "engine/model/eyefi_folder.h"
#include "engine/views/name_order.h"
#include "host/file_functions.h"
#include "host/log_file.h"

namespace plb {

namespace {

// A folder looked up for a path: callers ask for places that may not be catalogued (no volume, a
// name no folder can have) and take null for all of them; what failed is logged with the path.
template <typename Find>
TFolder* FolderOrNull(std::string_view operation, const std::string& path, Find&& find) {
  try {
    return find();
  } catch (const std::exception& e) {
    LogFailure(operation, path, e);
    return nullptr;
  }
}

int CompareInts(int32_t a, int32_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Roots are ordered by drive, drive type, serial and volume name.
int CompareRoot(const TDriveInfoRec& a, const TDriveInfoRec& b) {
  if (int c = CompareNames(a.Drive, b.Drive)) return c;
  if (int c = CompareInts(a.DriveType, b.DriveType)) return c;
  if (int c = CompareInts(a.VolumeSerial, b.VolumeSerial)) return c;
  return CompareNames(a.VolumeName, b.VolumeName);
}

TDriveInfoRec InfoOf(const TFolder& root) {
  TDriveInfoRec info;
  root.GetDriveInfo(info);
  return info;
}

// The components of path below drive, or false when path does not lie below it or holds a "."
// or ".." component. Runs of separators count as one.
bool RelativeComponents(const std::string& drive, const std::string& path, std::vector<std::string>& out) {
  const auto split = [](const std::string& p) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < p.size()) {
      while (i < p.size() && p[i] == '/') ++i;
      size_t end = p.find('/', i);
      if (end == std::string::npos) end = p.size();
      if (end > i) parts.push_back(p.substr(i, end - i));
      i = end;
    }
    return parts;
  };
  if (drive.empty() || drive[0] != '/' || path.empty() || path[0] != '/') return false;
  const std::vector<std::string> base = split(drive);
  std::vector<std::string> parts = split(NormalizePath(path));
  for (const auto& part : parts) {
    if (part == "." || part == "..") return false;
  }
  if (parts.size() < base.size() || !std::equal(base.begin(), base.end(), parts.begin())) return false;
  out.assign(parts.begin() + static_cast<ptrdiff_t>(base.size()), parts.end());
  return true;
}

}  // namespace

TFolderTreeList::TFolderTreeList() = default;

TFolderTreeList::~TFolderTreeList() {
  // Roots are freed with the list; a master that delivers to the list's target stops first.
  bool routed;
  {
    std::lock_guard guard(handlerLock_);
    routed = static_cast<bool>(handler_);
    handler_ = nullptr;
  }
  if (!routed) return;
  try {
    RouteFolderEvents("(Folder)", nullptr);
  } catch (const std::exception& e) {
    LogException("TFolderTreeList.Destroy", e);  // a destructor cannot raise it
  }
}

int TFolderTreeList::RootCount() const {
  std::lock_guard guard(rootsLock_);
  return static_cast<int>(roots_.size());
}

TFolder* TFolderTreeList::RootAt(int index) const {
  std::lock_guard guard(rootsLock_);
  return (index >= 0 && index < static_cast<int>(roots_.size())) ? roots_[static_cast<size_t>(index)].get() : nullptr;
}

void TFolderTreeList::GetRoots(std::vector<TFolder*>& out) const {
  std::lock_guard guard(rootsLock_);
  for (const auto& r : roots_) out.push_back(r.get());
}

std::vector<TFolder*> TFolderTreeList::RetiredRoots() const {
  std::lock_guard guard(rootsLock_);
  std::vector<TFolder*> out;
  for (const auto& r : retired_) out.push_back(r.get());
  return out;
}

void TFolderTreeList::SortRootsLocked() {
  std::stable_sort(roots_.begin(), roots_.end(),
                   [](const auto& a, const auto& b) { return CompareRoot(InfoOf(*a), InfoOf(*b)) < 0; });
}

TFolderUpdateHandler TFolderTreeList::Forwarder() {
  return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) { Forward(node, kind, param); };
}

TFolder* TFolderTreeList::AddRoot(std::unique_ptr<TFolder> root) {
  TFolder* raw = root.get();
  {
    std::lock_guard guard(rootsLock_);
    roots_.push_back(std::move(root));
    SortRootsLocked();
  }
  raw->SetUpdateHandler(Forwarder());
  return raw;
}

TFolder* TFolderTreeList::NewRoot(const TDriveInfoRec& info) {
  return AddRoot(std::make_unique<TFolderRoot>(info));
}

TFolder* TFolderTreeList::FindRoot(const TDriveInfoRec& info) const {
  std::lock_guard guard(rootsLock_);
  auto it = std::lower_bound(roots_.begin(), roots_.end(), info,
                             [](const auto& r, const TDriveInfoRec& i) { return CompareRoot(InfoOf(*r), i) < 0; });
  return (it != roots_.end() && CompareRoot(InfoOf(**it), info) == 0) ? it->get() : nullptr;
}

TFolder* TFolderTreeList::FindOrAddRoot(const TDriveInfoRec& info) {
  TFolder* made;
  {
    std::lock_guard guard(rootsLock_);
    if (TFolder* root = FindRoot(info)) return root;
    made = NewRoot(info);
  }
  // A volume that appears while the program runs (a card put in) is shown at once, as a new
  // sub-folder is; the listeners hear of it outside the roots' lock.
  made->Notify(futCreated, 0);
  return made;
}

namespace {

// The path with its symbolic links resolved as far as it exists: a link that leads to another
// volume leads to that volume's folder, never to a node of the volume the link lies on.
std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec || resolved.empty() ? path : resolved.string();
}

}  // namespace

TFolder* TFolderTreeList::FolderOf(const std::string& path) {
  return FolderOrNull("TFolderTreeList.FolderOf", path, [&]() -> TFolder* {
    const std::string real = ResolvedPath(path);
    TDriveInfoRec info;
    if (!platform::Volumes().DriveInfoOf(real, info)) return nullptr;
    return FolderOfDriveImpl(info, real, true);
  });
}

TFolder* TFolderTreeList::FolderOfDrive(const TDriveInfoRec& info, const std::string& path) {
  return FolderOrNull("TFolderTreeList.FolderOfDrive", path, [&] { return FolderOfDriveImpl(info, path, true); });
}

TFolder* TFolderTreeList::FindFolderOf(const std::string& path) {
  return FolderOrNull("TFolderTreeList.FindFolderOf", path, [&]() -> TFolder* {
    const std::string real = ResolvedPath(path);
    TDriveInfoRec info;
    if (!platform::Volumes().DriveInfoOf(real, info)) return nullptr;
    return FolderOfDriveImpl(info, real, false);
  });
}

TFolder* TFolderTreeList::FolderOfDriveImpl(const TDriveInfoRec& info, const std::string& path, bool create) {
  std::vector<std::string> components;
  if (!RelativeComponents(info.Drive, path, components)) return nullptr;
  TFolder* folder = FindOrAddRoot(info);
  for (const auto& name : components) {
    folder = create ? folder->FindOrCreateSubFolder(name) : folder->FindSubFolder(name);
    if (!folder) return nullptr;
  }
  return folder;
}

int32_t TFolderTreeList::TotalItems() const {
  std::vector<TFolder*> roots;
  GetRoots(roots);
  int32_t total = 0;
  for (TFolder* root : roots) {
    std::vector<TFolder*> stack{root};
    while (!stack.empty()) {
      TFolder* f = stack.back();
      stack.pop_back();
      total += f->ItemCount();
      for (TFolder* child : f->SubFolders()) stack.push_back(child);
    }
  }
  return total;
}

std::vector<TCatalogItem*> TFolderTreeList::BuildItemIndex() const {
  const int32_t n = TotalItems();
  std::vector<TCatalogItem*> index(static_cast<size_t>(n), nullptr);
  std::vector<TFolder*> roots;
  GetRoots(roots);
  const auto visit = [&](auto&& self, TFolder* folder) -> void {
    std::vector<TCatalogItem*> items;
    folder->GetItems(items);
    for (TCatalogItem* item : items) {
      const int32_t record = item->RecordNumber();
      // A record number from a damaged or earlier file may be anything.
      if (record >= 0 && record < n) index[static_cast<size_t>(record)] = item;
    }
    for (TFolder* child : folder->SubFolders()) self(self, child);
  };
  for (TFolder* root : roots) visit(visit, root);
  return index;
}

void TFolderTreeList::PruneAll(bool recurse, bool purgeDeleted) {
  std::vector<TFolder*> roots;
  GetRoots(roots);
  for (TFolder* root : roots) root->Prune(recurse, purgeDeleted);
}

void TFolderTreeList::SetUpdateHandler(const TFolderUpdateHandler& handler) {
  TFolderUpdateHandler routed = RouteFolderEvents("(Folder)", handler);
  {
    std::lock_guard guard(handlerLock_);
    handler_ = std::move(routed);
  }
  std::vector<TFolder*> roots;
  GetRoots(roots);
  for (TFolder* root : roots) root->SetUpdateHandler(Forwarder());
}

void TFolderTreeList::Forward(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
  auto* folder = dynamic_cast<TFolder*>(node);
  if (folder && folder->IsTreeRoot()) {
    std::lock_guard guard(rootsLock_);
    auto it = std::find_if(roots_.begin(), roots_.end(), [folder](const auto& r) { return r.get() == folder; });
    if (kind == futRenamed) SortRootsLocked();
    if (kind == futDeleted && it != roots_.end()) {
      retired_.push_back(std::move(*it));
      roots_.erase(it);
    }
    // futCreated: AddRoot listed the root already, and a root is never listed twice.
  }
  std::lock_guard guard(handlerLock_);
  if (handler_) handler_(node, kind, param);
}

void TFolderTreeList::SaveToStream(RecordWriter& out, int32_t& counter) {
  std::vector<TFolder*> roots;
  GetRoots(roots);
  out.U16(kTreeBlockMarker);
  out.U32(static_cast<uint32_t>(roots.size()));
  for (TFolder* root : roots) root->SaveToStream(out, counter);
  out.Flush();
}

void TFolderTreeList::LoadFromStream(RecordReader& in) {
  if (in.Remaining() < 2 || in.U16() != kTreeBlockMarker) return;
  {
    std::lock_guard guard(rootsLock_);
    for (auto& r : roots_) retired_.push_back(std::move(r));
    roots_.clear();
  }
  // A root record is at least its tag, two numbers, a text length and a folder record.
  const uint32_t count = in.Count(16 + 13);
  for (uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<TFolder> root;
    if (in.PeekU32() == kEyeFiRootTag) {
      root = std::make_unique<TEyeFiRootFolder>(TDriveInfoRec{});
    } else {
      root = std::make_unique<TFolderRoot>(TDriveInfoRec{});
    }
    root->LoadFromStream(in);
    std::lock_guard guard(rootsLock_);
    roots_.push_back(std::move(root));
  }
  std::lock_guard guard(rootsLock_);
  SortRootsLocked();
}

TEyeFiRootFolder* TFolderTreeListEyeFi::CurrentEyeFiRoot() const {
  std::lock_guard guard(eyeFiLock_);
  return current_;
}

std::string TFolderTreeListEyeFi::CurrentEyeFiAccount() const {
  TEyeFiRootFolder* root = CurrentEyeFiRoot();
  return root ? root->VolumeName() : std::string();
}

void TFolderTreeListEyeFi::SelectEyeFiRoot(const std::string& account) {
  std::lock_guard guard(eyeFiLock_);
  if (account.empty()) {
    current_ = nullptr;
    return;
  }
  if (current_ && FoldCase(current_->VolumeName()) == FoldCase(account)) return;
  const TDriveInfoRec info = TEyeFiRootFolder::DriveInfoOfAccount(account);
  auto* root = dynamic_cast<TEyeFiRootFolder*>(FindRoot(info));
  if (!root) {
    auto made = std::make_unique<TEyeFiRootFolder>(info);
    root = made.get();
    AddRoot(std::move(made));
  }
  current_ = root;
}

}  // namespace plb

#include "engine/operations/folder_operations.h"

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/history_list.h"
#include "engine/workers/worker_control.h"
#include "host/engine_error.h"
#include "host/file_functions.h"
#include "host/format.h"
#include "platform/trash.h"

namespace plb {
namespace {

constexpr uint8_t kKindAlbum = 3;        // albums and tags
constexpr uint8_t kKindSearchAlbum = 4;  // albums of similar-photo searches
constexpr char kRenameFailed[] = "フォルダ名の変更に失敗しました。";

bool IsFileFolder(const TCustomFolder* node) {
  return node->Kind() == kKindFolder;
}
bool IsFolderOrRoot(const TCustomFolder* node) {
  return node->Kind() == kKindFolder || node->Kind() == kKindRoot;
}
bool IsAlbum(const TCustomFolder* node) {
  return node->Kind() == kKindAlbum || node->Kind() == kKindSearchAlbum;
}
bool IsChildAlbum(const TCustomFolder* node) {
  return IsAlbum(node) && node->GetParent() != nullptr;
}

// Runs body; whatever it raises comes back wrapped in label, logged.
template <class F>
auto Labeled(const char* label, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::exception& e) {
    RaiseEngineOperationError(e, label);
  }
}

// A foreground operation: the background workers wait at their gate while it changes files and
// folders, so that no updater pass judges a folder half-way through the change.
template <class F>
auto Foreground(const char* label, F&& body) -> decltype(body()) {
  TWorkerPause pause;
  return Labeled(label, std::forward<F>(body));
}

void RequireArgument(const TCustomFolder* node, const std::string& role) {
  if (!node) RaiseEngineRefusal(Format("%s が指定されていません。", role));
}

std::string CopyWord(bool copy) {
  return copy ? "コピー" : "移動";
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::canonical(path, ec);
  return ec ? std::string() : p.string();
}

std::string ParentPath(const std::string& path) {
  const std::string trimmed = ExcludeTrailingSeparators(path);
  const auto slash = trimmed.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : trimmed.substr(0, slash);
}

// Whether a folder on disk may go into target: the permission of the folder, and neither the
// folder itself, its own parent (the copy would land on the folder) nor anything below it.
bool FileFolderMayGoInto(const std::string& source, const std::string& target, bool copy) {
  if (!(copy ? CanCopyInto(source, target) : CanMoveInto(source, target))) return false;
  const std::string parent = Canonical(ParentPath(source));
  return !parent.empty() && parent != Canonical(target);
}

TFolder* AsFolder(TCustomFolder* node) {
  return static_cast<TFolder*>(node);
}
TAlbum* AsAlbum(TCustomFolder* node) {
  return static_cast<TAlbum*>(node);
}

TFolderTreeList& FoldersOf(const TFolderOperationModel& model) {
  if (!model.folders) throw EOstraEngineError("フォルダツリーがありません。");
  return *model.folders;
}

TAlbumList& AlbumsOf(const TFolderOperationModel& model) {
  if (!model.albums) throw EOstraEngineError("アルバムリストがありません。");
  return *model.albums;
}

std::string DestinationOf(TCustomFolder* source, TCustomFolder* target) {
  return JoinPath(target->GetFullName(), AsFolder(source)->Name());
}

void RefuseExisting(const std::string& destination) {
  struct stat st {};
  if (::lstat(destination.c_str(), &st) == 0) RaiseEngineRefusal(Format("%s は既に存在します。", destination));
}

// The album copy keeps what each entry says about its photo and the captions of the albums.
void CopyAlbumDetails(TAlbum* source, TAlbum* copy) {
  copy->SetCaption(source->Caption());
  std::vector<TAlbumItem*> entries;
  source->GetEntries(kCatalogKinds, entries);
  for (TAlbumItem* entry : entries) {
    TAlbumItem values;
    {
      std::lock_guard guard(source->Lock());
      values = *entry;
    }
    std::lock_guard guard(copy->Lock());
    if (TAlbumItem* target = copy->FindEntry(values.Item)) {
      target->OrderNumber = values.OrderNumber;
      target->ResourceUuid = values.ResourceUuid;
      target->Orientation = values.Orientation;
      target->ColorAdjustment = values.ColorAdjustment;
      target->Comment = values.Comment;
    }
  }
  const std::vector<TAlbum*> from = source->Children();
  const std::vector<TAlbum*> to = copy->Children();
  for (size_t i = 0; i < from.size() && i < to.size(); ++i) CopyAlbumDetails(from[i], to[i]);
}

// The item of a fresh scan that is the same file as item: the same name and, when sameContents is
// asked for, the same file date and size.
TCatalogItem* MatchingItem(TFolder* folder, const TCatalogItem* item, bool sameContents) {
  TCatalogItem* match = folder->FindItem(item->FileName());
  if (!match || match == item) return nullptr;
  if (sameContents && (match->FileDate() != item->FileDate() || match->FileSize() != item->FileSize())) return nullptr;
  return match;
}

// The old item object takes the place of the fresh one the scan of the moved folder made.
void MoveItemObject(TFolder* from, TFolder* to, TCatalogItem* item, TCatalogItem* fresh) {
  to->TakeItemOut(fresh);
  fresh->SetState(cisDeleted);
  std::unique_ptr<TCatalogItem> owned = from->DropItem(item);
  if (!owned) return;
  if (to->AddItem(owned) >= 0) {
    from->AddItem(owned);  // the name was taken meanwhile: it stays where it was
    return;
  }
  item->SetState(cisPresent);
}

TFolder* CopyFileFolder(const TFolderOperationModel& model, TFolder* source, TFolder* target) {
  TFolderTreeList& folders = FoldersOf(model);
  const std::string destination = DestinationOf(source, target);
  Labeled("CopyFolder", [&] {
    RefuseExisting(destination);
    platform::CopyTree(source->GetFullName(), destination, model.progress);
  });
  Labeled("CopiedFolder", [&] { CopiedFolder(folders, source, target); });
  return folders.FindFolderOf(destination);
}

TFolder* MoveFileFolder(const TFolderOperationModel& model, TFolder* source, TFolder* target) {
  TFolderTreeList& folders = FoldersOf(model);
  const std::string destination = DestinationOf(source, target);
  std::exception_ptr sourceLeft;
  Labeled("MoveFolder", [&] {
    RefuseExisting(destination);
    try {
      platform::MovePath(source->GetFullName(), destination, false, model.progress);
    } catch (const platform::EMoveSourceLeftError&) {
      // The copy is whole and on disk: the catalog follows it, and the failure is still reported.
      sourceLeft = std::current_exception();
    }
  });
  Labeled("MovedFolder", [&] { MovedFolder(folders, model.history, source, target, sourceLeft != nullptr); });
  if (sourceLeft) Labeled("MoveFolder", [&] { std::rethrow_exception(sourceLeft); });
  return folders.FindFolderOf(destination);
}

TFolder* CreateSubFolder(TFolder* parent, std::string& name) {
  const std::string base = parent->GetFullName();
  std::string wanted = name;
  for (int n = 2;; ++n) {
    const std::string path = JoinPath(base, wanted);
    if (::mkdir(path.c_str(), 0777) == 0) break;
    if (errno != EEXIST) RaiseEngineRefusal(Format("%s を作成できません。( %s )", path, std::strerror(errno)));
    wanted = Format("%s(%d)", name, n);
  }
  name = wanted;
  parent->ScanSubFolders(nullptr);
  TFolder* child = parent->FindSubFolder(name);
  if (!child) RaiseEngineRefusal(Format("%s のフォルダオブジェクトの取得に失敗しました。", JoinPath(base, name)));
  return child;
}

void RenameFileFolder(TFolder* folder, std::string& name) {
  if (name == "." || name == "..") RaiseEngineRefusal(kRenameFailed);
  const std::string from = folder->GetFullName();
  try {
    platform::RenameNoReplace(from, JoinPath(ParentPath(from), name));
  } catch (const std::exception&) {
    RaiseEngineRefusal(kRenameFailed);
  }
  folder->Rename(name);
  name = folder->Name();
}

}  // namespace

void CheckCopyMoveToFolder(TCustomFolder* source, TCustomFolder* target, bool copy) {
  Labeled("CheckCopyMoveToFolder", [&] {
    RequireArgument(source, CopyWord(copy) + "もと");
    RequireArgument(target, CopyWord(copy) + "さき");
    bool allowed = false;
    if (IsFileFolder(source) && IsFolderOrRoot(target)) {
      allowed = FileFolderMayGoInto(source->GetFullName(), target->GetFullName(), copy);
    } else if (IsChildAlbum(source) && IsAlbum(target)) {
      allowed = target != source && !target->IsDescendantOf(source);
    }
    if (!allowed) {
      RaiseEngineRefusal(Format("%s を\r\n%s に%sすることはできません。", source->GetFullName(), target->GetFullName(),
                                CopyWord(copy)));
    }
  });
}

void CheckDeleteFolder(TCustomFolder* folder) {
  Labeled("CheckDeleteFolder", [&] {
    RequireArgument(folder, "削除対象");
    bool allowed = false;
    if (IsChildAlbum(folder)) {
      allowed = !AsAlbum(folder)->InWork();
    } else if (IsFileFolder(folder)) {
      allowed = CanDeletePath(folder->GetFullName());
    }
    if (!allowed) RaiseEngineRefusal(Format("%s を削除することはできません。", folder->GetFullName()));
  });
}

void CheckRenameFolder(TCustomFolder* folder) {
  Labeled("CheckRenameFolder", [&] {
    RequireArgument(folder, "リネーム対象");
    bool allowed = false;
    if (IsChildAlbum(folder)) {
      allowed = true;
    } else if (IsFileFolder(folder)) {
      allowed = CanRenamePath(folder->GetFullName());
    }
    if (!allowed) RaiseEngineRefusal(Format("%s をリネームすることはできません。", folder->GetFullName()));
  });
}

void CheckCreateFolder(TCustomFolder* parent) {
  Labeled("CheckCreateFolder", [&] {
    RequireArgument(parent, "親フォルダ");
    bool allowed = false;
    if (IsFolderOrRoot(parent)) {
      allowed = !AsFolder(parent)->IsRemoved() && !AsFolder(parent)->Missing();
    } else if (IsAlbum(parent)) {
      allowed = true;
    }
    if (!allowed) RaiseEngineRefusal(Format("%s に新しいフォルダは作成できません。", parent->GetFullName()));
  });
}

TCustomFolder* OstraEngineCopyFolder(const TFolderOperationModel& model, TCustomFolder* source, TCustomFolder* target) {
  return Foreground("OstraEngineCopyFolder", [&]() -> TCustomFolder* {
    CheckCopyMoveToFolder(source, target, true);
    if (IsFileFolder(source)) return CopyFileFolder(model, AsFolder(source), AsFolder(target));
    TAlbum* copy = AlbumsOf(model).CopyAlbum(AsAlbum(target), AsAlbum(source), true);
    if (!copy) throw EOstraEngineError(Format("%s をコピーできませんでした。", source->GetFullName()));
    CopyAlbumDetails(AsAlbum(source), copy);
    return copy;
  });
}

TCustomFolder* OstraEngineMoveFolder(const TFolderOperationModel& model, TCustomFolder* source, TCustomFolder* target) {
  return Foreground("OstraEngineMoveFolder", [&]() -> TCustomFolder* {
    CheckCopyMoveToFolder(source, target, false);
    if (IsFileFolder(source)) return MoveFileFolder(model, AsFolder(source), AsFolder(target));
    AsAlbum(source)->SetParent(AsAlbum(target));
    return source;
  });
}

void OstraEngineDeleteFolder(const TFolderOperationModel& /*model*/, TCustomFolder* folder) {
  Foreground("OstraEngineDeleteFolder", [&] {
    CheckDeleteFolder(folder);
    if (IsAlbum(folder)) {
      AsAlbum(folder)->Delete();
      return;
    }
    TFolder* node = AsFolder(folder);
    const std::string path = node->GetFullName();
    platform::MoveToTrash(path);  // raises and leaves everything as it was when the trash refuses
    if (FolderExistsQuietly(path)) {
      node->CheckDrive(true, true);
    } else {
      node->RemoveFolder();
    }
  });
}

void OstraEngineRenameFolder(TCustomFolder* folder, std::string& name) {
  Foreground("OstraEngineRenameFolder", [&] {
    CheckRenameFolder(folder);
    if (name.empty()) RaiseEngineRefusal("空白のフォルダ名は無効です。");
    std::string safe = SafeFileName(name);
    if (IsAlbum(folder)) {
      AsAlbum(folder)->Rename(safe);
      name = AsAlbum(folder)->GetName();
      return;
    }
    RenameFileFolder(AsFolder(folder), safe);
    name = safe;
  });
}

TCustomFolder* OstraEngineCreateChild(const TFolderOperationModel& model, TCustomFolder* parent, std::string& name) {
  return Labeled("OstraEngineCreateChild", [&]() -> TCustomFolder* {
    CheckCreateFolder(parent);
    std::string safe = SafeFileName(name);
    if (safe.empty() || safe == "." || safe == "..") RaiseEngineRefusal("空白のフォルダ名は無効です。");
    if (IsAlbum(parent)) {
      TAlbum* album = AsAlbum(parent);
      TAlbum* child = AlbumsOf(model).CreateAlbum(album, album->AlbumType(), "", safe);
      name = child->GetName();
      return child;
    }
    TFolder* child = CreateSubFolder(AsFolder(parent), safe);
    name = safe;
    return child;
  });
}

TFolder* GetFolderByPath(TFolderTreeList& folders, const std::string& path) {
  if (!FolderExistsQuietly(path)) RaiseEngineRefusal(Format("セットされたFolderPath( %s )は存在しません。", path));
  const std::string clean = ExcludeTrailingSeparators(path);
  TFolder* folder = folders.FolderOf(clean.empty() ? std::string(1, '/') : clean);
  if (!folder) RaiseEngineRefusal(Format("%s のフォルダオブジェクトの取得に失敗しました。", path));
  return folder;
}

void CopiedFolder(TFolderTreeList& folders, TFolder* source, TFolder* target) {
  TFolder* copy = folders.FolderOf(DestinationOf(source, target));
  if (!copy) return;
  copy->CheckDrive(false, false);  // a node the catalog kept from an earlier folder of that name is present again
  std::vector<TCatalogItem*> items;
  source->GetItems(items);
  if (!items.empty()) {
    TExtItems table;  // made for each scan: the movie kinds come with the configuration
    table.Build(kCatalogKinds);
    copy->SearchFiles(&table, nullptr);
    for (TCatalogItem* item : items) {
      if (TCatalogItem* match = MatchingItem(copy, item, true)) match->CopyAttributes(*item);
    }
    copy->NotifyContentsChanged();
  }
  for (TFolder* child : source->SubFolders()) CopiedFolder(folders, child, copy);
}

void MovedFolder(TFolderTreeList& folders, THistoryList* history, TFolder* source, TFolder* target, bool wholeCopy) {
  TFolder* moved = folders.FolderOf(DestinationOf(source, target));
  if (!moved) {
    // Not in the copy: the folder had left the moved tree on disk before (moved outside the
    // program); its photos stay, missing, for the next pass to find where they went.
    source->CheckDrive(true, true);
    return;
  }
  moved->CheckDrive(false, false);  // a node the catalog kept from an earlier folder of that name is present again
  source->CheckDrive(true, true);
  std::vector<TCatalogItem*> items;
  source->GetItems(items);
  if (!items.empty()) {
    TExtItems table;  // made for each scan: the movie kinds come with the configuration
    table.Build(kCatalogKinds);
    moved->SearchFiles(&table, nullptr);
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      if (!(*it)->Unavailable() && !wholeCopy) continue;
      // The moved folder was made by this move, so a file of the item's name is the item's file,
      // also when it changed since the catalog last looked (its tags and albums must not stay behind).
      if (TCatalogItem* fresh = MatchingItem(moved, *it, false)) MoveItemObject(source, moved, *it, fresh);
    }
    moved->NotifyContentsChanged();
  }
  const std::vector<TFolder*> children = source->SubFolders();
  for (auto it = children.rbegin(); it != children.rend(); ++it) MovedFolder(folders, history, *it, moved, wholeCopy);
  if (source->Missing() || wholeCopy) {
    if (source->Pinned()) moved->SetPinned(true);
    if (history) history->ReplaceNode(source, moved);
    // What is left of a source whose delete failed part-way stays in its tree, without the
    // photos: their catalog data went with the copy. A source gone from disk that still holds
    // items lost none of them: their files had left the folder before the move (moved outside the
    // program), and the next whole pass pairs them with where the files went.
    if (source->Missing() && source->TotalItemCount() == 0) source->RemoveFolder();
  }
  if (moved->GetCalendarMode() == 0) moved->SetCalendarMode(source->GetCalendarMode());
}

void OstraEngineRenameFile(TCatalogItem* item, std::string& name) {
  Foreground("OstraEngineRenameFile", [&] {
    if (!item || !item->Owner()) RaiseEngineRefusal("リネーム対象 が指定されていません。");
    if (name.empty()) RaiseEngineRefusal("空白のファイル名は無効です。");
    std::string safe = SafeFileName(name);
    if (safe == "." || safe == "..") RaiseEngineRefusal("ファイル名の変更に失敗しました。");
    const std::string from = item->FullPath();
    const std::string to = item->FolderPath() + safe;
    try {
      platform::RenameNoReplace(from, to);
    } catch (const std::exception&) {
      RaiseEngineRefusal("ファイル名の変更に失敗しました。");
    }
    if (!item->SetFileName(safe)) {
      // Another item of the catalog still holds the name (its file was gone): it gives way.
      TFolder* owner = item->Owner();
      if (TCatalogItem* stale = owner->FindItem(safe)) {
        owner->TakeItemOut(stale);
        stale->SetState(cisDeleted);
      }
      item->SetFileName(safe);
    }
    name = safe;
    if (TFolder* owner = item->Owner()) owner->NotifyContentsChanged();
  });
}

void OstraEngineTrashFile(TCatalogItem* item) {
  Foreground("OstraEngineTrashFile", [&] {
    if (!item || !item->Owner()) RaiseEngineRefusal("削除対象 が指定されていません。");
    platform::MoveToTrash(item->FullPath());
    TFolder* owner = item->Owner();
    owner->TakeItemOut(item);
    item->SetState(cisDeleted);
    owner->NotifyContentsChanged();
  });
}

}  // namespace plb

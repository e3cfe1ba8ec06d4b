#pragma once
// File-system folders: one node per directory, owning the catalog items of the files found
// directly in it and the nodes of its sub-folders. Nothing is freed while the engine runs: items
// and sub-folders that leave go to the removed lists, so references held elsewhere stay valid.
//
// Names are identified exactly and kept in the order of CompareNames, so lookups are binary
// searches. Scans never follow a symbolic link to a directory and never descend into another
// volume (a mount point is a tree of its own), and a directory that cannot be listed is an error
// of that pass, never a reason to delete what the catalog knows about it.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/file_kinds.h"
#include "platform/volumes.h"

namespace plb {

PLB_DECLARE_ERROR(EFolderError, Error);
// A directory exists but could not be listed (no permission, an I/O error): the scan changed
// nothing.
PLB_DECLARE_ERROR(EFolderScanError, EFolderError);

// The silent abort of a load (EAbort with this message); the loader's caller decides what survives.
inline EAbort LoadAbort() { return EAbort("Operation aborted"); }

// Deepest folder nesting a record may describe.
constexpr int kMaxFolderDepth = 2048;

class TFolder : public TCustomFolder {
 public:
  explicit TFolder(std::string name);
  ~TFolder() override;

  const char* ClassName() const override { return "TFolder"; }
  uint8_t Kind() const override { return kKindFolder; }
  std::string GetName() const override;
  // The directory's own name (a root's: its drive), whatever GetName displays.
  std::string Name() const;
  std::string GetFullName() const override;
  bool HasChildren() const override;
  TCustomFolder* GetParent() const override;
  int32_t ItemCount() const override;
  int32_t ItemCountOf(TKindSet kinds) const override;
  int32_t MarkedCount() const override;
  bool IsDescendantOf(const TCustomFolder* node) const override;
  void GetChildFolders(std::vector<TCustomFolder*>& out) const override;
  void GetOtherChildren(std::vector<TCustomFolder*>& out) const override;
  void GetItems(std::vector<TCatalogItem*>& out) const override;
  void GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const override;
  void SearchFilesEx(std::vector<TCatalogItem*>* found) override;
  void SearchFilesEx(TKindSet kinds, std::vector<TCatalogItem*>* found) override;

  virtual std::unique_ptr<TCatalogItem> NewItem() const;
  virtual std::unique_ptr<TFolder> NewSubFolder(const std::string& name) const;
  // The volume of the tree; folders ask their parent, the root answers.
  virtual int32_t DriveType() const;
  virtual bool IsCdRom() const;
  virtual int32_t VolumeSerial() const;
  virtual std::string RootPath() const;
  virtual std::string VolumeName() const;
  void GetDriveInfo(TDriveInfoRec& info) const;
  // True for the root of a tree.
  virtual bool IsTreeRoot() const { return false; }

  // The folder record and its items and sub-folders; counter numbers the items as written.
  virtual void SaveToStream(RecordWriter& out, int32_t& counter);
  virtual void LoadFromStream(RecordReader& in);
  // The flags byte; an ordinary folder refuses the extended-options bit (LoadAbort).
  void LoadOptionsFromStream(RecordReader& in) override;
  virtual bool IsRemoved() const;
  // Deletes every item of the subtree and detaches the folder; answers the items deleted.
  virtual int RemoveFolder();
  virtual void CheckDrive(bool recurse, bool checkItems);
  // Drops empty folders bottom-up; answers whether this folder stays.
  virtual bool Prune(bool recurse, bool purgeDeleted);
  // Scans the directory's files of the table's kinds; found receives the items seen. Items whose
  // files are gone are set aside within a whole pass (see TGoneItems) and otherwise stay, missing.
  virtual void SearchFiles(const TExtItems* table, std::vector<TCatalogItem*>* found);
  // Scans the directory's sub-directories; found receives the sub-folders seen.
  virtual void ScanSubFolders(std::vector<TFolder*>* found);

  // Renames (an unchanged name does nothing); raises futRenamed.
  void Rename(const std::string& name);
  // Moves under another parent when CanMoveTo allows it; false otherwise.
  bool SetParent(TFolder* parent);
  bool CanMoveTo(const TFolder* parent) const;
  TFolder* Parent() const;

  TCatalogItem* FindItem(std::string_view name) const;
  // The item of that name, made (and listed) when there is none; created tells which.
  TCatalogItem* FindOrCreateItem(std::string_view name, bool* created = nullptr);
  // Lists an item at its sorted position and makes this folder its owner; answers the position
  // of an item of that name already listed (nothing inserted) or -1. The folder takes ownership
  // unless an item of that name is listed (then the caller keeps it).
  int AddItem(std::unique_ptr<TCatalogItem>& item);
  // Takes a listed item out of the index without keeping it; the caller gets ownership.
  std::unique_ptr<TCatalogItem> DropItem(TCatalogItem* item);
  // Moves an item to the removed items; answers its former position or -1.
  int TakeItemOut(TCatalogItem* item);
  // Renames a listed item in the index; false when another item holds the name.
  bool RenameItem(TCatalogItem* item, const std::string& name);
  // Moves every item to the removed items and deletes it; answers how many.
  int DeleteAllItems();
  std::vector<TCatalogItem*> RemovedItems() const;
  // Takes an item back from the removed items; the caller gets ownership (null when it is not
  // among them).
  std::unique_ptr<TCatalogItem> ReclaimRemovedItem(TCatalogItem* item);

  TFolder* FindSubFolder(std::string_view name) const;
  TFolder* FindOrCreateSubFolder(const std::string& name, bool* created = nullptr);
  std::vector<TFolder*> SubFolders() const;
  std::vector<TFolder*> RemovedSubFolders() const;
  void SortSubFolders();
  // Moves items that are missing or deleted (or only deleted) to the removed items and drops
  // empty folders, calendar mode not considered.
  bool PurgeMissing(bool recurse, bool purge);

  bool Missing() const;
  // True marks the whole subtree; false only this folder.
  void SetMissing(bool missing);

 protected:
  // Root classes override the drive answers; an ordinary folder asks its parent.
  void RecomputeFullPaths();
  // Reads name, options, items and sub-folders.
  void LoadFolderRecord(RecordReader& in, int depth);
  void SaveFolderRecord(RecordWriter& out, int32_t& counter);
  // Appends a loaded sub-folder (file order is name order; an unsorted file is sorted after).
  void AttachLoadedSubFolder(std::unique_ptr<TFolder> child);
  // The items or sub-folders read from a file that is not in name order are sorted.
  void RestoreNameOrder();

 private:
  size_t ItemLowerBound(std::string_view name) const;
  size_t SubFolderLowerBound(std::string_view name) const;
  bool PruneStep(bool recurse, bool purgeDeleted, bool purgeMissing, bool keepCalendarMode);
  // Detaches a sub-folder into the removed sub-folders.
  void RetireSubFolder(TFolder* child);
  // Deletes the given items (outside every folder lock).
  static void DeleteItems(const std::vector<TCatalogItem*>& items);
  bool ListDirectory(std::vector<TCatalogItem*>& seen, const TExtItems& table, std::vector<TCatalogItem*>* found,
                     std::vector<TCatalogItem*>& created, int& error);

  std::string name_;
  std::string fullPath_;
  bool missing_ = false;
  TFolder* parent_ = nullptr;
  std::vector<std::unique_ptr<TCatalogItem>> items_;
  std::vector<std::unique_ptr<TCatalogItem>> removedItems_;
  std::vector<std::unique_ptr<TFolder>> subFolders_;
  std::vector<std::unique_ptr<TFolder>> removedSubFolders_;

  friend class TFolderRoot;
};

// While one lives on a thread, the items that folders find gone on that thread (a scan that no
// longer lists their file, a folder removed from the tree) are set aside as missing instead of
// deleted, so that its owner can give them to the same files found elsewhere. What is still held
// when it ends is deleted. One at a time on a thread.
class TGoneItems {
 public:
  TGoneItems();
  ~TGoneItems();
  TGoneItems(const TGoneItems&) = delete;
  TGoneItems& operator=(const TGoneItems&) = delete;

  // The items set aside so far; they are no longer held.
  std::vector<TCatalogItem*> Take();
  // The one of the calling thread, or null.
  static TGoneItems* Current();
  void Hold(TCatalogItem* item) { held_.push_back(item); }

 private:
  std::vector<TCatalogItem*> held_;
  TGoneItems* previous_;
};

// The root of one tree: a volume's mount point together with the identity of the medium.
class TFolderRoot : public TFolder {
 public:
  static constexpr uint32_t kRecordVersion = 10;

  explicit TFolderRoot(const TDriveInfoRec& info);

  const char* ClassName() const override { return "TFolderRoot"; }
  uint8_t Kind() const override { return kKindRoot; }
  // The volume name and the drive, as "%s (%s)".
  std::string GetName() const override;
  int32_t DriveType() const override;
  bool IsCdRom() const override;
  int32_t VolumeSerial() const override;
  std::string RootPath() const override;
  std::string VolumeName() const override;
  bool IsTreeRoot() const override { return true; }
  bool IsRemoved() const override;
  int RemoveFolder() override;
  void SaveToStream(RecordWriter& out, int32_t& counter) override;
  void LoadFromStream(RecordReader& in) override;

 private:
  int32_t serial_;
  int32_t driveType_;
  std::string volumeName_;
  bool removed_ = false;
};

// Joins a folder path and a name with exactly one "/".
std::string JoinPath(const std::string& folder, std::string_view name);

}  // namespace plb

#pragma once
// The list of folder trees: one tree per volume that holds catalogued folders. A root stands for
// a mount point together with the identity of the medium in it, so two cards that take turns in
// one reader are two trees, and an unplugged card is a missing root, never a deleted folder.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/folder.h"
#include "engine/events/folder_events.h"

namespace plb {

class TEyeFiRootFolder;

constexpr uint16_t kTreeBlockMarker = 0xF0F0;

class TFolderTreeList {
 public:
  TFolderTreeList();
  virtual ~TFolderTreeList();
  TFolderTreeList(const TFolderTreeList&) = delete;
  TFolderTreeList& operator=(const TFolderTreeList&) = delete;

  int RootCount() const;
  TFolder* RootAt(int index) const;
  void GetRoots(std::vector<TFolder*>& out) const;
  std::vector<TFolder*> RetiredRoots() const;

  // Takes the root, keeps the roots sorted and installs the forwarder on it.
  TFolder* AddRoot(std::unique_ptr<TFolder> root);
  TFolder* NewRoot(const TDriveInfoRec& info);
  TFolder* FindRoot(const TDriveInfoRec& info) const;
  TFolder* FindOrAddRoot(const TDriveInfoRec& info);

  // The folder of a path, made with its root and every missing sub-folder; null on any failure
  // (no volume, a path not below its drive, a "." or ".." component). The path's symbolic links
  // are resolved first, so a link to another volume gives that volume's folder.
  TFolder* FolderOf(const std::string& path);
  TFolder* FolderOfDrive(const TDriveInfoRec& info, const std::string& path);
  // The same, but sub-folders are only looked up (the root is still made).
  TFolder* FindFolderOf(const std::string& path);

  int32_t TotalItems() const;
  // Items by record number; positions with no item are null.
  std::vector<TCatalogItem*> BuildItemIndex() const;
  void PruneAll(bool recurse, bool purgeDeleted);

  // Routes the handler through the "(Folder)" master and installs the forwarder on every root.
  void SetUpdateHandler(const TFolderUpdateHandler& handler);

  // The tree block: marker, root count, root records. counter numbers the items as written.
  void SaveToStream(RecordWriter& out, int32_t& counter);
  // A block without the marker loads nothing and leaves the trees as they are.
  void LoadFromStream(RecordReader& in);

 protected:
  // Receives every event of the trees, keeps the roots in step and passes the event on.
  void Forward(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param);
  TFolderUpdateHandler Forwarder();
  void SortRootsLocked();

  mutable std::recursive_mutex rootsLock_;

 private:
  TFolder* FolderOfDriveImpl(const TDriveInfoRec& info, const std::string& path, bool create);

  std::vector<std::unique_ptr<TFolder>> roots_;
  std::vector<std::unique_ptr<TFolder>> retired_;
  mutable std::mutex handlerLock_;
  TFolderUpdateHandler handler_;
};

// The list the engine makes: it also keeps the current Eye-Fi account's root.
class TFolderTreeListEyeFi : public TFolderTreeList {
 public:
  TEyeFiRootFolder* CurrentEyeFiRoot() const;
  std::string CurrentEyeFiAccount() const;
  // Empty: no current root; the current account (letter case ignored): nothing changes; else the
  // account's root, made when there is none, becomes current.
  void SelectEyeFiRoot(const std::string& account);

 private:
  mutable std::mutex eyeFiLock_;
  TEyeFiRootFolder* current_ = nullptr;
};

}  // namespace plb

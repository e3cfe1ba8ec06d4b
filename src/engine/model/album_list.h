#pragma once
// The album list: the fourteen fixed root albums (one per album type) with every album below
// them, the routing of their events through the "(Album)" master, album paths, copies, clean-up,
// the album block of the engine data and the resolution of loaded entries to catalog items.
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/events/folder_master.h"

namespace plb {

inline constexpr uint32_t kAlbumBlockVersion = 50;

class TAlbumList {
 public:
  // Creates the "(Album)" master and the roots.
  TAlbumList();
  ~TAlbumList();
  TAlbumList(const TAlbumList&) = delete;
  TAlbumList& operator=(const TAlbumList&) = delete;

  static const char* ClassName() { return "TAlbumList"; }

  // The root of a type 0-13; null otherwise.
  TAlbum* Root(int type) const;
  bool IsRoot(const TCustomFolder* album) const;
  // The roots shown in the album tree: types 0, 2 and 6.
  void ListupRootAlbums(std::vector<TAlbum*>& out) const;
  // Routes handler through the "(Album)" master; the shown roots then forward to it.
  void SetAlbumUpdatedProc(const TFolderUpdateHandler& handler);

  // The components of an album path: "\\" separates, empty components are skipped.
  static void SeparateAlbumPathLines(const std::string& text, std::vector<std::string>& out);
  // The first component names a root, the others children (case ignored); null when missing.
  TAlbum* GetAlbumFromPath(const std::string& path) const;
  // From the root of type, each component found or, when create is set, made.
  TAlbum* GetAlbumFromPathEx(int type, const std::string& path, bool create);
  static TAlbum* FindChildAlbumFromName(const TAlbum* album, const std::string& name);

  TAlbum* CreateAlbum(TAlbum* parent, int type, const std::string& sourceText, const std::string& name);
  // A copy of source under target (with its children when recursive); null on any failure.
  TAlbum* CopyAlbum(TAlbum* target, TAlbum* source, bool recursive);
  // Deletes album unless it is a root or has children; true when deleted.
  bool CleanUpChilds(TAlbum* album);
  // Deletes, bottom-up, the albums below and including album whose type is type (13: any) and
  // that have no children left; answers how many.
  int DeleteAlbumEx(TAlbum* album, int type);

  // The album block: header, then the fourteen roots with their subtrees.
  void SaveToStream(RecordWriter& out);
  void LoadFromStream(RecordReader& in);
  // Points loaded entries at the items of index (by record number) and fills the items' tags.
  void SetupFromIDList(const std::vector<TCatalogItem*>& index);

  TFolderMaster& Master() { return *master_; }

 private:
  TFolderUpdateHandler Forwarder();
  void Forward(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param);

  std::unique_ptr<TFolderMaster> master_;
  std::array<std::unique_ptr<TAlbum>, kAlbumTypeCount> roots_;
  std::recursive_mutex listLock_;
  std::mutex handlerLock_;
  TFolderUpdateHandler handler_;
};

// A new work tray below the tray root: "OstraTray", made unique. EOstraEngineError on failure.
TAlbum* CreateNewTrayAlbum(TAlbumList& list);

}  // namespace plb

#pragma once
// Albums: the catalog's virtual folders. An album refers to catalog items without owning them;
// user albums, tags, search results, the upload tray and the photo books on the service are all
// albums below one of fourteen fixed roots (album_list.h). Every item keeps the list of albums
// that hold it (its tag list) and the album keeps the two in step: the album changes its own
// lists under its lock and tells the items after releasing it.
//
// Nothing is freed while the album lives: removed entries and removed child albums are kept, so
// references held by views stay valid.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "platform/error.h"

namespace plb {

class TFolder;

PLB_DECLARE_ERROR(EAlbumListError, Error);

enum TAlbumType : uint8_t {
  atAlbum = 0,
  atSimilarSearch = 1,
  atFileInfoSearch = 2,
  atSamePositionSearch = 3,
  atIndexSearch = 4,
  atExifSearch = 5,
  atTray = 6,
  atZenmoa = 7,
  atTag = 8,
  atZenmoaBackup = 9,
  atWork4 = 10,
  atWork5 = 11,
  atWork6 = 12,
  atUnknown = 13,  // also "any type" where a type selects albums
};
constexpr int kAlbumTypeCount = 14;

// The root name of a type; "Error" for a value outside 0-13.
std::string AlbumTypeName(int type);
// The source text of a type's root.
std::string AlbumRootSourceText(int type);

// One catalog item in an album.
struct TAlbumItem {
  int16_t OrderNumber = -1;  // the position in the tray's order
  std::string ResourceUuid;  // the service's identifier of the uploaded photo
  int32_t Orientation = 1;
  TColorAdjustment ColorAdjustment;
  std::string Comment;
  int32_t RecordNumber = -1;  // the item's record number in the folder-tree file
  int32_t GroupNumber = 0;
  TCatalogItem* Item = nullptr;  // null until resolved after loading
};

class TAlbum : public TCustomFolder {
 public:
  // Albums are made by the album list or by their parent; handler is installed before the album
  // tells anyone about itself.
  TAlbum(uint8_t type, std::string name, std::string sourceText, const TFolderUpdateHandler& handler);
  ~TAlbum() override;

  // TCustomFolder.
  const char* ClassName() const override { return "TAlbum"; }
  uint8_t Kind() const override;
  std::string GetName() const override;
  std::string GetFullName() const override;
  bool HasChildren() const override;
  TCustomFolder* GetParent() const override;
  uint8_t AlbumType() const override;
  std::string KindName() const override { return AlbumTypeName(AlbumType()); }
  int32_t ItemCount() const override;
  int32_t ItemCountOf(TKindSet kinds) const override;
  int32_t MarkedCount() const override;
  bool IsDescendantOf(const TCustomFolder* node) const override;
  void GetChildFolders(std::vector<TCustomFolder*>& out) const override;
  void GetOtherChildren(std::vector<TCustomFolder*>& out) const override;
  // The items of the entries (after Purge); each item takes its entry's group and order number.
  void GetItems(std::vector<TCatalogItem*>& out) const override;
  void GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const override;
  void ForgetItem(TCatalogItem* item) override { RemoveItem(item); }

  TAlbum* Parent() const;
  std::string Name() const { return GetName(); }
  std::string Caption() const;
  std::string SourceText() const;
  std::string HostName() const;
  TFolder* LinkedFolder() const;
  void SetLinkedFolder(TFolder* folder);
  // Marked while a folder operation works on the album.
  bool InWork() const;
  void SetInWork(bool on);

  // Names: "\\" becomes "-", and a name a sibling holds (case ignored) gets "(1)", "(2)", ...
  std::string UniqueName(const std::string& wanted) const;
  void Rename(const std::string& name);
  // Moves the album under parent. A root stays where it is, and an album cannot go below itself:
  // both raise EAlbumListError.
  void SetParent(TAlbum* parent);
  void SetCaption(const std::string& text);
  void SetSourceText(const std::string& text);
  void SetHostName(const std::string& text);

  TAlbum* FindChild(const std::string& name) const;
  TAlbum* FindOrAddChild(const std::string& name, bool create);
  TAlbum* FirstChild() const;
  TAlbum* NextChild(const TAlbum* child) const;
  std::vector<TAlbum*> Children() const;
  // Takes a new child (raising futCreated) and answers it.
  TAlbum* AddChild(std::unique_ptr<TAlbum> child);

  // Entries. The returned entry belongs to the album and stays valid while the album lives;
  // read and change it under Lock(). A deleted item is not added (null).
  TAlbumItem* AddItem(TCatalogItem* item, int32_t group);
  TAlbumItem* AppendItem(TCatalogItem* item, int32_t group);
  int RemoveItem(TCatalogItem* item);
  void ClearItems();
  TAlbumItem* FindEntry(TCatalogItem* item) const;
  void GetEntries(TKindSet kinds, std::vector<TAlbumItem*>& out);
  int EntryCount() const;
  int RemovedEntryCount() const;
  void SortItems(bool recursive);
  // Entries of no or deleted items go to the removed entries.
  void Purge();
  // Deletes the children, drops the album from its items' tags and moves it to its parent's
  // removed children.
  void Delete();

  // The album record with its children; depth limits the nesting a damaged file can ask for.
  // A root passes its own type as rootType: a record of another type is damaged.
  void SaveToStream(RecordWriter& out);
  void LoadFromStream(RecordReader& in, int depth = 0, int rootType = -1);
  // Entries of a loaded album pointing at the items of index (by record number); duplicates and
  // entries without an item go to the removed entries. The children follow.
  void ResolveEntries(const std::vector<TCatalogItem*>& index);
  // Appends an entry read from a file (its item is resolved later).
  void AppendLoadedEntry(std::unique_ptr<TAlbumItem> entry);

 private:
  void SortEntriesLocked();
  // Inserts a new entry for item at its place; the lock is held.
  TAlbumItem* InsertEntryLocked(TCatalogItem* item, size_t place);
  void LoadEntries(RecordReader& in, uint32_t version);
  std::unique_ptr<TAlbum> TakeChild(TAlbum* child);

  uint8_t type_;
  std::string name_;
  std::string caption_;
  std::string sourceText_;
  std::string hostName_;
  TAlbum* parent_ = nullptr;
  TFolder* linkedFolder_ = nullptr;
  bool inWork_ = false;
  std::vector<std::unique_ptr<TAlbumItem>> entries_;
  std::vector<std::unique_ptr<TAlbumItem>> removedEntries_;
  std::vector<std::unique_ptr<TAlbum>> children_;
  std::vector<std::unique_ptr<TAlbum>> removedChildren_;
};

constexpr uint32_t kAlbumRecordVersion = 0x1100;
constexpr int kMaxAlbumDepth = 64;

// Reads an album record of the oldest form (versions 10 to 12); EReadError otherwise.
std::unique_ptr<TAlbum> LoadOldAlbumRecord(RecordReader& in, const TFolderUpdateHandler& handler);

}  // namespace plb

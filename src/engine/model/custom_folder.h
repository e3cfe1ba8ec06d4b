#pragma once
// The one interface of every folder-like node: file-system folders, albums and calendar nodes.
// Views, tree panels and the event routing treat all three alike through it.
//
// Every node has one re-entrant lock; every read or change of its fields takes it. Events are
// raised after the lock is released, and operations that visit other nodes walk a copy of the
// list they visit.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/events/folder_events.h"
#include "engine/model/file_kinds.h"
#include "platform/error.h"
#include "platform/record_stream.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(ECustomFolderError, Error);

// Bits of the option flags.
enum TFolderOption : uint8_t {
  foPinned = 1 << 0,
  foCalendarRegistered = 1 << 1,  // calendar mode 1
  foCalendarRemoved = 1 << 2,     // calendar mode 2
  foExtended = 1 << 3,            // a class-specific options block follows the flags
  foHidden = 1 << 4,
};

// Node kinds.
constexpr uint8_t kKindFolder = 0;
constexpr uint8_t kKindRoot = 1;
constexpr uint8_t kKindCalendarDay = 6;
constexpr uint8_t kKindCalendarMonth = 7;
constexpr uint8_t kKindCalendarYear = 8;
constexpr uint8_t kKindCalendarRoot = 9;

// The folder class of a node kind: 1 folders, 2 albums, 3 calendar, 0 otherwise.
uint8_t FolderClassOfKind(uint8_t kind);
constexpr uint8_t kFolderClassFolder = 1;
constexpr uint8_t kFolderClassAlbum = 2;
constexpr uint8_t kFolderClassCalendar = 3;

class TCustomFolder {
 public:
  TCustomFolder() = default;
  virtual ~TCustomFolder() = default;
  TCustomFolder(const TCustomFolder&) = delete;
  TCustomFolder& operator=(const TCustomFolder&) = delete;

  // The class name, as messages print it.
  virtual const char* ClassName() const = 0;

  virtual uint8_t Kind() const = 0;
  virtual std::string GetName() const = 0;
  virtual std::string GetFullName() const = 0;
  virtual bool HasChildren() const = 0;
  virtual TCustomFolder* GetParent() const = 0;
  // 13: not an album.
  virtual uint8_t AlbumType() const { return 13; }
  virtual std::string KindName() const { return "未対応"; }
  virtual int32_t ItemCount() const = 0;
  virtual int32_t ItemCountOf(TKindSet kinds) const = 0;
  virtual int32_t MarkedCount() const = 0;
  virtual int32_t TotalItemCount() const;
  virtual int32_t TotalItemCountOf(TKindSet kinds) const;
  virtual int32_t TotalMarkedCount() const;
  // 1 registered in the calendar, 2 removed from it, 0 inherited from the parent.
  virtual int GetCalendarMode() const;
  virtual void SetCalendarMode(int mode);
  // Stores the handler and installs it on every child and other child, recursively.
  virtual void SetUpdateHandler(const TFolderUpdateHandler& handler);
  // Calls the handler, when one is installed, with this node. Never call it holding a lock.
  virtual void Notify(TFolderUpdatedType kind, TFolderEventParam param);
  virtual void LoadOptionsFromStream(RecordReader& in);
  virtual void SaveOptionsToStream(RecordWriter& out);
  virtual bool IsDescendantOf(const TCustomFolder* node) const = 0;
  virtual void GetChildFolders(std::vector<TCustomFolder*>& out) const = 0;
  virtual void GetOtherChildren(std::vector<TCustomFolder*>& out) const = 0;
  virtual void GetItems(std::vector<TCatalogItem*>& out) const = 0;
  virtual void GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const = 0;
  // Scans the node's files; nodes that cannot scan raise ECustomFolderError.
  virtual void SearchFilesEx(std::vector<TCatalogItem*>* found);
  virtual void SearchFilesEx(TKindSet kinds, std::vector<TCatalogItem*>* found);
  // Called on every node of a deleted item's tags; albums drop the item.
  virtual void ForgetItem(TCatalogItem* /*item*/) {}

  std::recursive_mutex& Lock() const { return lock_; }
  bool Pinned() const { return Option(foPinned); }
  void SetPinned(bool on) { SetOption(foPinned, on); }
  bool ExtendedOptions() const { return Option(foExtended); }
  void SetExtendedOptions(bool on) { SetOption(foExtended, on); }
  bool Hidden() const { return Option(foHidden); }
  void SetHidden(bool on) { SetOption(foHidden, on); }
  uint8_t Options() const;
  int32_t AlbumValue() const;
  void SetAlbumValue(int32_t v);
  TFolderUpdateHandler UpdateHandler() const;
  void NotifyContentsChanged() { Notify(futContentsChanged, 0); }

  // Cached counts, refreshed on idle; views read these.
  int32_t CachedItemCount() const;
  int32_t CachedMarkedCount() const;
  int32_t CachedTotalItemCount() const;
  int32_t CachedTotalMarkedCount() const;
  // Refresh the cached counts; true (and futCountsChanged when notify) when a value changed.
  bool RefreshCounts(bool notify);
  bool RefreshTotalCounts(bool notify);

 protected:
  bool Option(uint8_t bit) const;
  void SetOption(uint8_t bit, bool on);
  // Stores the handler on this node only.
  void StoreHandler(const TFolderUpdateHandler& handler);

  mutable std::recursive_mutex lock_;

 private:
  bool IsCalendarTotalKind() const;

  TFolderUpdateHandler handler_;
  uint8_t options_ = 0;
  int32_t albumValue_ = 0;
  int32_t itemCount_ = 0, markedCount_ = 0;
  int32_t totalItemCount_ = 0, totalMarkedCount_ = 0;
};

}  // namespace plb

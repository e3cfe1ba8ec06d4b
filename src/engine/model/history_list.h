#pragma once
// The nodes the user visited (folders, albums, calendar nodes), for back and forward navigation.
// Saved with the engine data by the nodes' full names and found again after the load.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/record_stream.h"

namespace plb {

class TCustomFolder;
class TFolderTreeList;
class TCalendar;
class TAlbumList;

inline constexpr uint32_t kHistoryMarker = 0x1001;
inline constexpr int kEngineHistoryCapacity = 50;

enum THistoryKind : uint8_t { hkUnknown = 0, hkFolder = 1, hkAlbum = 2, hkCalendar = 3 };

struct THistoryItem {
  uint8_t Kind = hkUnknown;
  int32_t DriveType = -1;
  int32_t VolumeSerial = -1;
  std::string VolumeName = "Unknown";
  std::string FullName = "Unknown";
  TCustomFolder* Node = nullptr;
};

class THistoryList {
 public:
  // 0 or less: unlimited.
  explicit THistoryList(int capacity = 0);

  // Adds node after the current entry (dropping the forward entries); nothing for null or the
  // current node.
  void Push(TCustomFolder* node);
  bool CanGoBack() const;
  TCustomFolder* Back();
  bool CanGoForward() const;
  TCustomFolder* Forward();
  TCustomFolder* Current() const;
  TCustomFolder* Last() const;
  TCustomFolder* NodeAt(int index) const;
  THistoryItem ItemAt(int index) const;
  int Count() const;
  int CurrentIndex() const;
  int Capacity() const;

  void Delete(int index);
  void SetCapacity(int capacity);
  // Deletes every entry of node (null: entries without a node), then collapses neighbours.
  void RemoveNode(TCustomFolder* node);
  void RemoveEmpty() { RemoveNode(nullptr); }
  // Every entry of oldNode refers to newNode (null: an unknown entry); neighbours collapse.
  void ReplaceNode(TCustomFolder* oldNode, TCustomFolder* newNode);
  void Clear();

  void SaveToStream(RecordWriter& out);
  // Never raises: a wrong marker or a short stream gives an empty list.
  void LoadFromStream(RecordReader& in);
  // Loads, then finds every entry's node; entries without one go. A failure empties the list.
  void Resolve(RecordReader& in, TFolderTreeList* folders, TCalendar* calendar, const TAlbumList* albums);
  // Pins the calendar nodes of the entries that resolved to exactly the node they name.
  void PinCalendarNodes() const;

 private:
  static THistoryItem EntryFor(TCustomFolder* node);
  void TrimLocked();
  void CollapseLocked();
  void DeleteLocked(int index);
  TCustomFolder* FindNode(const THistoryItem& item, TFolderTreeList* folders, TCalendar* calendar,
                          const TAlbumList* albums) const;

  mutable std::recursive_mutex lock_;
  std::vector<THistoryItem> items_;
  int capacity_;
  int current_ = -1;
};

}  // namespace plb

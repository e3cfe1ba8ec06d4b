#pragma once
// The item lists of the views: items in an order chosen by the user (name, file date, shooting
// date or sequence), optionally grouped by shooting day or by group number, searched by binary
// search.
//
// Other threads change item dates, groups and sequences at any time. A list therefore compares
// the keys it copied from each item when the item was added or the list was re-sorted, never the
// live fields: the order stays consistent, and an item is found again under the key it was filed
// by. Refresh (one item) or Resort (all) takes new copies.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/views/query_info.h"

namespace plb {

class TCatalogItem;

enum TSortKey : uint8_t { skFileName = 0, skFileDate = 1, skShootingDate = 2, skSequence = 3 };

// The values an item is ordered by, as copied from it.
struct TSortKeys {
  std::string name;
  double fileDate = 0;
  double shootingDate = 0;
  int32_t group = 0;
  uint16_t sequence = 0;

  static TSortKeys Of(const TCatalogItem& item);
};

// Compares two items by their keys under a chosen order; never 0 for two different items.
class TItemOrder {
 public:
  TItemOrder() = default;
  TItemOrder(uint8_t key, bool ascending, bool groupByNumber, bool groupByDay)
      : key_(key), ascending_(ascending), byNumber_(groupByNumber), byDay_(groupByDay) {}
  int Compare(const TCatalogItem* a, const TSortKeys& ka, const TCatalogItem* b, const TSortKeys& kb) const;

 private:
  int CompareAscending(const TCatalogItem* a, const TSortKeys& ka, const TCatalogItem* b, const TSortKeys& kb) const;
  uint8_t key_ = skFileName;
  bool ascending_ = true;
  bool byNumber_ = false;
  bool byDay_ = false;
};

class TOstraSortList {
 public:
  // Stores the selectors and sorts at once.
  void SetOrder(uint8_t key, bool ascending, bool groupByNumber, bool groupByDay);
  uint8_t SortKey() const { return key_; }
  bool Ascending() const { return ascending_; }
  bool Sorted() const { return sorted_; }

  // Appends without sorting (the list is sorted before its next search).
  void Add(TCatalogItem* item);
  // The same with the group and sequence of the album entry being listed.
  void Add(TCatalogItem* item, int32_t group, uint16_t sequence);
  void Clear();
  int Count() const { return static_cast<int>(entries_.size()); }
  TCatalogItem* At(int index) const { return entries_[static_cast<size_t>(index)].item; }
  std::vector<TCatalogItem*> Items() const;

  void Sort();
  // Copies every item's keys anew and sorts.
  void Resort();
  // Copies one item's keys anew and moves it to its place.
  void Refresh(TCatalogItem* item);

  // The position of an item, or -1.
  int Find(TCatalogItem* item);
  // The position of an item, inserted where the search ended when it was not listed.
  int FindOrInsert(TCatalogItem* item);

  // Removes every item that does not pass the query; the rest keep their order.
  void Filter(const TQueryInfoRecord& query);

 private:
  struct Entry {
    TCatalogItem* item;
    TSortKeys keys;
  };
  // Position of the first entry not before (item, keys).
  size_t LowerBound(TCatalogItem* item, const TSortKeys& keys) const;
  void Insert(TCatalogItem* item, TSortKeys keys);

  std::vector<Entry> entries_;
  // Each listed item's keys, to find it again under the key it was filed by.
  std::unordered_map<TCatalogItem*, TSortKeys> filed_;
  uint8_t key_ = skFileName;
  bool ascending_ = true;
  bool byNumber_ = false;
  bool byDay_ = false;
  bool sorted_ = false;
  TItemOrder order_;
};

}  // namespace plb

#include "engine/views/sorted_item_list.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "engine/model/catalog_item.h"
#include "engine/views/name_order.h"

namespace plb {

namespace {

// A damaged file can hold a NaN date, which would break any order.
double SaneDate(double d) {
  return std::isnan(d) ? 0 : d;
}

int Sign(double d) {
  return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

int CompareInt(int64_t a, int64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

TSortKeys TSortKeys::Of(const TCatalogItem& item) {
  TSortKeys k;
  const TCatalogItemBlock b = item.Block();
  k.name = item.FileName();
  k.fileDate = SaneDate(b.fileDate);
  k.shootingDate = SaneDate(b.shootingDate);
  k.group = item.GroupNumber();
  k.sequence = item.Sequence();
  return k;
}

int TItemOrder::CompareAscending(const TCatalogItem* a, const TSortKeys& ka, const TCatalogItem* b,
                                 const TSortKeys& kb) const {
  // Names end every tie, and identities end equal names, so two items never compare equal.
  const auto byName = [&] {
    if (int c = CompareNames(ka.name, kb.name)) return c;
    return a == b ? 0 : (std::less<const TCatalogItem*>()(a, b) ? -1 : 1);
  };
  const auto byKey = [&]() -> int {
    switch (key_) {
      case skFileDate:
        if (int c = Sign(ka.fileDate - kb.fileDate)) return c;
        return byName();
      case skShootingDate:
        if (int c = Sign(ka.shootingDate - kb.shootingDate)) return c;
        return byName();
      case skSequence:
        if (int c = CompareInt(ka.sequence, kb.sequence)) return c;
        return byName();
      default:
        return byName();
    }
  };
  if (byNumber_) {
    if (int c = CompareInt(ka.group, kb.group)) return c;
    return byKey();
  }
  if (byDay_ && key_ != skShootingDate) {
    if (int c = Sign(std::trunc(ka.shootingDate) - std::trunc(kb.shootingDate))) return c;
  }
  return byKey();
}

int TItemOrder::Compare(const TCatalogItem* a, const TSortKeys& ka, const TCatalogItem* b, const TSortKeys& kb) const {
  const int c = CompareAscending(a, ka, b, kb);
  return ascending_ ? c : -c;
}

void TOstraSortList::SetOrder(uint8_t key, bool ascending, bool groupByNumber, bool groupByDay) {
  key_ = key <= skSequence ? key : static_cast<uint8_t>(skFileName);
  ascending_ = ascending;
  byNumber_ = groupByNumber;
  byDay_ = groupByDay;
  order_ = TItemOrder(key_, ascending_, byNumber_, byDay_);
  sorted_ = false;
  Sort();
}

void TOstraSortList::Add(TCatalogItem* item) {
  if (!item || filed_.count(item)) return;
  TSortKeys keys = TSortKeys::Of(*item);
  filed_.emplace(item, keys);
  entries_.push_back({item, std::move(keys)});
  sorted_ = false;
}

void TOstraSortList::Add(TCatalogItem* item, int32_t group, uint16_t sequence) {
  if (!item || filed_.count(item)) return;
  TSortKeys keys = TSortKeys::Of(*item);
  keys.group = group;
  keys.sequence = sequence;
  filed_.emplace(item, keys);
  entries_.push_back({item, std::move(keys)});
  sorted_ = false;
}

void TOstraSortList::Clear() {
  entries_.clear();
  filed_.clear();
  sorted_ = false;
}

std::vector<TCatalogItem*> TOstraSortList::Items() const {
  std::vector<TCatalogItem*> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.item);
  return out;
}

void TOstraSortList::Sort() {
  std::sort(entries_.begin(), entries_.end(),
            [this](const Entry& a, const Entry& b) { return order_.Compare(a.item, a.keys, b.item, b.keys) < 0; });
  sorted_ = true;
}

void TOstraSortList::Resort() {
  for (auto& e : entries_) {
    const TSortKeys fresh = TSortKeys::Of(*e.item);
    // An album's group and sequence stay as the album listed them.
    e.keys.name = fresh.name;
    e.keys.fileDate = fresh.fileDate;
    e.keys.shootingDate = fresh.shootingDate;
    filed_[e.item] = e.keys;
  }
  Sort();
}

size_t TOstraSortList::LowerBound(TCatalogItem* item, const TSortKeys& keys) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), 0,
                             [&](const Entry& e, int) { return order_.Compare(e.item, e.keys, item, keys) < 0; });
  return static_cast<size_t>(it - entries_.begin());
}

void TOstraSortList::Insert(TCatalogItem* item, TSortKeys keys) {
  const size_t at = LowerBound(item, keys);
  filed_[item] = keys;
  entries_.insert(entries_.begin() + static_cast<ptrdiff_t>(at), Entry{item, std::move(keys)});
}

void TOstraSortList::Refresh(TCatalogItem* item) {
  auto it = filed_.find(item);
  if (it == filed_.end()) return;
  if (!sorted_) Sort();
  TSortKeys keys = it->second;
  const size_t at = LowerBound(item, keys);
  if (at < entries_.size() && entries_[at].item == item) entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(at));
  const TSortKeys fresh = TSortKeys::Of(*item);
  keys.name = fresh.name;
  keys.fileDate = fresh.fileDate;
  keys.shootingDate = fresh.shootingDate;
  Insert(item, std::move(keys));
}

int TOstraSortList::Find(TCatalogItem* item) {
  auto it = filed_.find(item);
  if (it == filed_.end()) return -1;
  if (!sorted_) Sort();
  const size_t at = LowerBound(item, it->second);
  return (at < entries_.size() && entries_[at].item == item) ? static_cast<int>(at) : -1;
}

int TOstraSortList::FindOrInsert(TCatalogItem* item) {
  if (!item) return -1;
  if (!sorted_) Sort();
  const int found = Find(item);
  if (found >= 0) return found;
  TSortKeys keys = TSortKeys::Of(*item);
  const size_t at = LowerBound(item, keys);
  Insert(item, std::move(keys));
  return static_cast<int>(at);
}

void TOstraSortList::Filter(const TQueryInfoRecord& query) {
  std::vector<Entry> kept;
  for (auto& e : entries_) {
    if (PassesQuery(query, *e.item)) {
      kept.push_back(std::move(e));
    } else {
      filed_.erase(e.item);
    }
  }
  entries_ = std::move(kept);
}

}  // namespace plb

#include "engine/model/calendar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "engine/model/catalog_item.h"
#include "host/date_time.h"

namespace plb {

namespace {

constexpr uint8_t kSoundKind = 7;
// Entries of the first block of a day.
constexpr size_t kFirstEntryBlock = 4;
// Date-time values of 0001-01-01 and the day after 9999-12-31.
constexpr double kFirstDecodable = -693593;
constexpr double kPastDecodable = 2958466;

bool DecodeCalendarDate(double date, DateTimeFields& out) {
  if (!std::isfinite(date) || date < kFirstDecodable || date >= kPastDecodable) return false;
  out = DecodeDateTime(date);
  return true;
}

std::string Padded(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

std::string WeekdayName(double date) {
  return std::string(JapaneseDateWords().short_days[DayOfWeek(date) - 1]);
}

// Entries are ordered by the identity of their item.
bool Before(const TCatalogItem* a, const TCatalogItem* b) {
  return std::less<const TCatalogItem*>()(a, b);
}

}  // namespace

TCalendar::TCalendar(TCalendar* parent, double date, int32_t slotCount, const TFolderUpdateHandler& handler)
    : parent_(parent), date_(date), slotCount_(slotCount) {
  children_.resize(static_cast<size_t>(slotCount));
  StoreHandler(handler);
}

TCalendar::~TCalendar() {
  Notify(futDeleted, 0);
}

int TCalendar::Year() const {
  DateTimeFields f;
  return DecodeCalendarDate(date_, f) ? f.year : 0;
}
int TCalendar::Month() const {
  DateTimeFields f;
  return DecodeCalendarDate(date_, f) ? f.month : 0;
}
int TCalendar::Day() const {
  DateTimeFields f;
  return DecodeCalendarDate(date_, f) ? f.day : 0;
}

bool TCalendar::HasChildren() const {
  std::lock_guard guard(lock_);
  for (const auto& child : children_) {
    if (child) return true;
  }
  return false;
}

int32_t TCalendar::ItemCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int32_t>(entries_.size());
}

int32_t TCalendar::ItemCountOf(TKindSet kinds) const {
  if ((kinds & 0xFF) == 0) return 0;
  std::lock_guard guard(lock_);
  int32_t count = 0;
  for (const auto& e : entries_) {
    if (KindInSet(e->Item->Kind(), kinds & 0xFF)) ++count;
  }
  return count;
}

int32_t TCalendar::MarkedCount() const {
  std::lock_guard guard(lock_);
  int32_t count = 0;
  for (const auto& e : entries_) {
    if (e->Item->Mark()) ++count;
  }
  return count;
}

bool TCalendar::IsDescendantOf(const TCustomFolder* node) const {
  for (const TCalendar* p = parent_; p; p = p->parent_) {
    if (p == node) return true;
  }
  return false;
}

void TCalendar::GetChildFolders(std::vector<TCustomFolder*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& child : children_) {
    if (child) out.push_back(child.get());
  }
}

void TCalendar::GetItems(std::vector<TCatalogItem*>& out) const {
  std::lock_guard guard(lock_);
  for (const auto& e : entries_) out.push_back(e->Item);
}

void TCalendar::GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const {
  if ((kinds & 0xFF) == 0) return;
  std::lock_guard guard(lock_);
  for (const auto& e : entries_) {
    if (KindInSet(e->Item->Kind(), kinds & 0xFF)) out.push_back(e->Item);
  }
}

TCalendar* TCalendar::ChildAt(int n) const {
  if (n < 1 || n > slotCount_) return nullptr;
  std::lock_guard guard(lock_);
  return children_[static_cast<size_t>(n - 1)].get();
}

int32_t TCalendar::ActiveChildCount() const {
  std::lock_guard guard(lock_);
  return activeChildCount_;
}

TCalendar* TCalendar::GetOrCreateChild(double date) {
  if (IsLeaf()) return nullptr;
  const int slot = SlotOf(date);
  if (slot < 1 || slot > slotCount_) return nullptr;
  std::lock_guard guard(lock_);
  auto& child = children_[static_cast<size_t>(slot - 1)];
  if (!child) child = CreateChildFor(date);
  return child.get();
}

TCalendar* TCalendar::FindChild(double date) const {
  if (IsLeaf()) return nullptr;
  const int slot = SlotOf(date);
  if (slot < 1 || slot > slotCount_) return nullptr;
  std::lock_guard guard(lock_);
  return children_[static_cast<size_t>(slot - 1)].get();
}

TCalendar* TCalendar::LeafFor(bool create, double date) {
  if (IsLeaf()) return this;
  TCalendar* child = create ? GetOrCreateChild(date) : FindChild(date);
  return child ? child->LeafFor(create, date) : this;
}

long TCalendar::SearchLocked(const TCatalogItem* item) const {
  // Items placed in bulk come in the order they were made, which is mostly address order: such
  // an item goes at the end without a search through the entries.
  if (entries_.empty() || Before(entries_.back()->Item, item)) return -(static_cast<long>(entries_.size()) + 1);
  long low = 0, high = static_cast<long>(entries_.size()) - 1;
  while (low <= high) {
    const long middle = (low + high) / 2;
    const TCatalogItem* probe = entries_[static_cast<size_t>(middle)]->Item;
    if (probe == item) return middle;
    if (Before(probe, item)) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -(low + 1);
}

const TCalendarItem* TCalendar::AddItem(TCatalogItem* item, double date) {
  if (!IsLeaf() || !item) return nullptr;
  const TCalendarItem* entry;
  bool first;
  {
    std::lock_guard guard(lock_);
    first = entries_.empty();
    entry = AddItemLocked(item, date);
  }
  if (first) SetActive(true);
  return entry;
}

const TCalendarItem* TCalendar::AddItemLocked(TCatalogItem* item, double date) {
  const long found = SearchLocked(item);
  if (found >= 0) return entries_[static_cast<size_t>(found)];
  TCalendarItem* created = store_.Make(item, date);
  entries_.insert(entries_.begin() + (-found - 1), created);
  item->SetCalendarDay(this);
  return created;
}

void TCalendar::AddRun(std::span<const TDatedItem> run) {
  if (!IsLeaf() || run.empty()) return;
  bool first;
  {
    std::lock_guard guard(lock_);
    const bool wasEmpty = entries_.empty();
    // The list grows as it would item by item (by half at least), the store by exactly the run.
    const size_t needed = entries_.size() + run.size();
    if (entries_.capacity() < needed) entries_.reserve(std::max(needed, entries_.capacity() + entries_.capacity() / 2));
    store_.Reserve(run.size());
    for (const TDatedItem& d : run) AddItemLocked(d.item, d.date);
    first = wasEmpty && !entries_.empty();
  }
  if (first) SetActive(true);
}

const TCalendarItem* TCalendar::RemoveItem(TCatalogItem* item) {
  if (!IsLeaf() || !item) return nullptr;
  const TCalendarItem* entry;
  bool empty;
  {
    std::lock_guard guard(lock_);
    const long found = SearchLocked(item);
    if (found < 0) return nullptr;
    // The entry stays in the store: entries are never freed while the calendar lives, readers
    // may still hold them.
    entry = entries_[static_cast<size_t>(found)];
    entries_.erase(entries_.begin() + found);
    empty = entries_.empty();
    if (item->CalendarDay() == this) item->SetCalendarDay(nullptr);
  }
  if (empty) SetActive(false);
  return entry;
}

const TCalendarItem* TCalendar::DiscardItem(TCatalogItem* item) {
  return RemoveItem(item);
}

const TCalendarItem* TCalendar::FindEntry(TCatalogItem* item) const {
  if (!IsLeaf()) return nullptr;
  std::lock_guard guard(lock_);
  const long found = SearchLocked(item);
  return found >= 0 ? entries_[static_cast<size_t>(found)] : nullptr;
}

void TCalendar::AddItems(const std::vector<TCatalogItem*>& items) {
  // Items are placed a run of one day at a time: the day is locked once for the run and makes
  // room for all of it at once. Neighbouring items mostly share a day, so its node is looked up
  // once for the run. A run is bounded, so that its items are still cached when they are placed.
  constexpr size_t kMaxRun = 1024;
  std::vector<TDatedItem> run;
  run.reserve(std::min(items.size(), kMaxRun));
  TCalendar* leaf = nullptr;
  double leafDay = -1;
  for (TCatalogItem* item : items) {
    if (!item) continue;
    const TCatalogItemBlock block = item->Block();
    if (block.kind == kSoundKind || !block.dateKnown) continue;
    const double date = block.shootingDate;
    if (!(date > 0)) continue;
    if (!leaf || std::floor(date) != leafDay) {
      TCalendar* next = LeafFor(true, date);
      leafDay = std::floor(date);
      if (next != leaf && leaf) {
        leaf->AddRun(run);
        run.clear();
      }
      leaf = next;
    }
    if (run.size() == kMaxRun) {
      leaf->AddRun(run);
      run.clear();
    }
    run.push_back({item, date});
  }
  if (leaf) leaf->AddRun(run);
}

TCalendarItem* TCalendarEntryStore::Make(TCatalogItem* item, double date) {
  // Blocks grow by half of what is held, so that the unused tail stays a small part.
  if (used_ == capacity_) NewBlock(std::max<size_t>(kFirstEntryBlock, total_ / 2));
  TCalendarItem* entry = &blocks_.back()[used_++];
  *entry = TCalendarItem{item, date};
  return entry;
}

void TCalendarEntryStore::Reserve(size_t n) {
  if (capacity_ - used_ < n) NewBlock(n);
}

void TCalendarEntryStore::NewBlock(size_t capacity) {
  blocks_.push_back(std::make_unique_for_overwrite<TCalendarItem[]>(capacity));
  used_ = 0;
  capacity_ = capacity;
  total_ += capacity;
}

bool TCalendar::IsActive() const {
  std::lock_guard guard(lock_);
  return active_;
}

void TCalendar::SetActive(bool active) {
  {
    std::lock_guard guard(lock_);
    if (active_ == active) return;
    active_ = active;
  }
  // The parent counts us before we tell: activation reaches listeners top-down, deactivation
  // bottom-up.
  if (active) {
    if (parent_) parent_->CountActiveChild(+1);
    Notify(futActived, 0);
  } else {
    Notify(futDeActived, 0);
    if (parent_) parent_->CountActiveChild(-1);
  }
}

void TCalendar::CountActiveChild(int delta) {
  bool any;
  {
    std::lock_guard guard(lock_);
    activeChildCount_ += delta;
    any = activeChildCount_ > 0;
  }
  SetActive(any);
}

TCalendar* TCalendar::FindByPath(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && !(text[i] >= '0' && text[i] <= '9')) ++i;
  if (i == text.size()) return this;
  int64_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > INT32_MAX) return nullptr;
  }
  TCalendar* child = ChildAt(static_cast<int>(number));
  return child ? child->FindByPath(text.substr(i)) : this;
}

TCalendar* TCalendar::FirstChild(bool activeOnly) const {
  std::lock_guard guard(lock_);
  for (const auto& child : children_) {
    if (child && (!activeOnly || child->IsActive())) return child.get();
  }
  return nullptr;
}

TCalendar* TCalendar::LastChild(bool activeOnly) const {
  std::lock_guard guard(lock_);
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (*it && (!activeOnly || (*it)->IsActive())) return it->get();
  }
  return nullptr;
}

TCalendar* TCalendar::PreviousNode(bool activeOnly) {
  if (!parent_) return nullptr;
  const int n = parent_->SlotOf(date_);
  {
    std::lock_guard guard(parent_->lock_);
    for (int slot = std::min(n - 1, parent_->slotCount_); slot >= 1; --slot) {
      TCalendar* c = parent_->children_[static_cast<size_t>(slot - 1)].get();
      if (c && (!activeOnly || c->IsActive())) return c;
    }
  }
  TCalendar* q = parent_->PreviousNode(activeOnly);
  return q ? q->LastChild(activeOnly) : nullptr;
}

TCalendar* TCalendar::NextNode(bool activeOnly) {
  if (!parent_) return nullptr;
  const int n = parent_->SlotOf(date_);
  {
    std::lock_guard guard(parent_->lock_);
    for (int slot = std::max(n + 1, 1); slot <= parent_->slotCount_; ++slot) {
      TCalendar* c = parent_->children_[static_cast<size_t>(slot - 1)].get();
      if (c && (!activeOnly || c->IsActive())) return c;
    }
  }
  TCalendar* q = parent_->NextNode(activeOnly);
  return q ? q->FirstChild(activeOnly) : nullptr;
}

void TCalendar::CollectPinned(std::vector<TCalendar*>& out) {
  if (Pinned() && IsActive()) out.push_back(this);
  if (IsLeaf()) return;
  std::vector<TCustomFolder*> children;
  GetChildFolders(children);
  for (TCustomFolder* child : children) static_cast<TCalendar*>(child)->CollectPinned(out);
}

// Root.

TCalendarRoot::TCalendarRoot(TCalendar* parent, const TFolderUpdateHandler& handler, double date)
    : TCalendar(parent, date, kLastCalendarYear - kFirstCalendarYear + 1, handler) {
  Created();
}

std::string TCalendarRoot::GetName() const {
  return "カレンダー";
}

int TCalendarRoot::SlotOf(double date) const {
  DateTimeFields f;
  if (!DecodeCalendarDate(date, f)) return -1;
  return f.year - (kFirstCalendarYear - 1);
}

TCalendar* TCalendarRoot::ChildAt(int year) const {
  if (year < kFirstCalendarYear || year > kLastCalendarYear) return nullptr;
  return TCalendar::ChildAt(year - (kFirstCalendarYear - 1));
}

void TCalendarRoot::SetUpdateHandler(const TFolderUpdateHandler& handler) {
  TCalendar::SetUpdateHandler(RouteCalendarEvents(this, handler));
}

std::unique_ptr<TCalendar> TCalendarRoot::CreateChildFor(double date) {
  return std::make_unique<TCalendarYear>(this, date, UpdateHandler());
}

// Year.

TCalendarYear::TCalendarYear(TCalendar* parent, double date, const TFolderUpdateHandler& handler)
    : TCalendar(parent, date, 12, handler) {
  Created();
}

std::string TCalendarYear::GetName() const {
  return Padded(Year(), 4) + "年";
}

int TCalendarYear::SlotOf(double date) const {
  DateTimeFields f;
  return DecodeCalendarDate(date, f) ? f.month : -1;
}

std::unique_ptr<TCalendar> TCalendarYear::CreateChildFor(double date) {
  return std::make_unique<TCalendarMonth>(this, date, UpdateHandler());
}

// Month.

TCalendarMonth::TCalendarMonth(TCalendar* parent, double date, const TFolderUpdateHandler& handler)
    : TCalendar(parent, date, 31, handler) {
  Created();
}

std::string TCalendarMonth::GetName() const {
  return Padded(Month(), 2) + "月";
}

std::string TCalendarMonth::GetFullName() const {
  return Padded(Year(), 4) + "年" + GetName();
}

int TCalendarMonth::SlotOf(double date) const {
  DateTimeFields f;
  return DecodeCalendarDate(date, f) ? f.day : -1;
}

std::unique_ptr<TCalendar> TCalendarMonth::CreateChildFor(double date) {
  return std::make_unique<TCalendarDay>(this, date, UpdateHandler());
}

// Day.

TCalendarDay::TCalendarDay(TCalendar* parent, double date, const TFolderUpdateHandler& handler)
    : TCalendar(parent, date, 0, handler) {
  Created();
}

std::string TCalendarDay::GetName() const {
  return Padded(Day(), 2) + "日(" + WeekdayName(Date()) + ")";
}

std::string TCalendarDay::GetFullName() const {
  return Padded(Year(), 4) + "年" + Padded(Month(), 2) + "月" + GetName();
}

}  // namespace plb

#pragma once
// The shooting-date calendar: a tree of a root, years, months and days whose day nodes hold the
// catalog items shot on that day. Nodes are made on demand, top-down, and are never removed while
// the root lives; a node whose items are all gone stays in the tree, merely inactive. After the
// load, all placement changes are made by the calendar watcher (events/calendar_date_queue.h).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/model/custom_folder.h"

namespace plb {

class TCatalogItem;

// One entry of a day: an item and the date under which it was placed.
struct TCalendarItem {
  TCatalogItem* Item;
  double Date;
};

// The entries of a day live in blocks that are neither moved nor freed while the day lives, so
// an entry handed out stays valid after it leaves the day; a block holds many entries, so a
// catalog of a million photos does not make a million small allocations.
class TCalendarEntryStore {
 public:
  TCalendarItem* Make(TCatalogItem* item, double date);
  // The next n entries come from one block.
  void Reserve(size_t n);

 private:
  void NewBlock(size_t capacity);

  std::vector<std::unique_ptr<TCalendarItem[]>> blocks_;
  size_t used_ = 0;      // entries taken from the last block
  size_t capacity_ = 0;  // entries of the last block
  size_t total_ = 0;     // entries of all blocks
};

// An item with the date it is placed under.
struct TDatedItem {
  TCatalogItem* item;
  double date;
};

// Years the calendar can hold.
constexpr int kFirstCalendarYear = 1899;
constexpr int kLastCalendarYear = 2098;

class TCalendar : public TCustomFolder {
 public:
  ~TCalendar() override;

  // TCustomFolder.
  TCustomFolder* GetParent() const override { return parent_; }
  bool HasChildren() const override;
  int32_t ItemCount() const override;
  int32_t ItemCountOf(TKindSet kinds) const override;
  int32_t MarkedCount() const override;
  bool IsDescendantOf(const TCustomFolder* node) const override;
  void GetChildFolders(std::vector<TCustomFolder*>& out) const override;
  void GetOtherChildren(std::vector<TCustomFolder*>&) const override {}
  void GetItems(std::vector<TCatalogItem*>& out) const override;
  void GetItemsOf(TKindSet kinds, std::vector<TCatalogItem*>& out) const override;

  TCalendar* Parent() const { return parent_; }
  double Date() const { return date_; }
  int32_t SlotCount() const { return slotCount_; }
  bool IsLeaf() const { return slotCount_ == 0; }
  // The slot (1-based) a date takes among this node's children; -1 when it cannot be decoded.
  virtual int SlotOf(double date) const = 0;
  // The child in slot n; on the root n is the full year.
  virtual TCalendar* ChildAt(int n) const;
  int32_t ActiveChildCount() const;

  TCalendar* GetOrCreateChild(double date);
  TCalendar* FindChild(double date) const;
  // The deepest node reached on the way to date's day (made on the way when create is set).
  TCalendar* LeafFor(bool create, double date);

  // Day operations (null on other nodes).
  const TCalendarItem* AddItem(TCatalogItem* item, double date);
  const TCalendarItem* RemoveItem(TCatalogItem* item);
  const TCalendarItem* DiscardItem(TCatalogItem* item);
  const TCalendarItem* FindEntry(TCatalogItem* item) const;

  // Bulk placement of loaded items: those with a known date > 0 that are not sound files.
  void AddItems(const std::vector<TCatalogItem*>& items);
  // Places items of this day under one lock (AddItem for each; nothing on other nodes).
  void AddRun(std::span<const TDatedItem> run);

  bool IsActive() const;
  void SetActive(bool active);

  // The node named by the digit runs of text (years, months, days in turn); the deepest node
  // found; null on a failure.
  TCalendar* FindByPath(const std::string& text);
  TCalendar* PreviousNode(bool activeOnly);
  TCalendar* NextNode(bool activeOnly);
  TCalendar* FirstChild(bool activeOnly) const;
  TCalendar* LastChild(bool activeOnly) const;
  // Appends the active pinned nodes of the subtree.
  void CollectPinned(std::vector<TCalendar*>& out);

 protected:
  TCalendar(TCalendar* parent, double date, int32_t slotCount, const TFolderUpdateHandler& handler);
  // Raises futCreated; the last step of every constructor.
  void Created() { Notify(futCreated, 0); }
  virtual std::unique_ptr<TCalendar> CreateChildFor(double date) = 0;
  // The year, month and day of the node's own date.
  int Year() const;
  int Month() const;
  int Day() const;

 private:
  void CountActiveChild(int delta);
  // Index of item in entries_, or the insertion place as -(place + 1); the lock is held.
  long SearchLocked(const TCatalogItem* item) const;
  const TCalendarItem* AddItemLocked(TCatalogItem* item, double date);

  TCalendar* const parent_;
  const double date_;
  const int32_t slotCount_;
  int32_t activeChildCount_ = 0;
  bool active_ = false;
  std::vector<std::unique_ptr<TCalendar>> children_;  // slotCount_ slots
  std::vector<TCalendarItem*> entries_;               // days only, in store_
  TCalendarEntryStore store_;                         // days only; entries that left stay here
};

class TCalendarRoot : public TCalendar {
 public:
  explicit TCalendarRoot(TCalendar* parent = nullptr, const TFolderUpdateHandler& handler = nullptr, double date = 0);
  const char* ClassName() const override { return "TCalendarRoot"; }
  uint8_t Kind() const override { return kKindCalendarRoot; }
  std::string GetName() const override;
  std::string GetFullName() const override { return GetName(); }
  int SlotOf(double date) const override;
  TCalendar* ChildAt(int year) const override;
  // Through the calendar's master when the root has one (calendar_date_queue.h): the nodes then post
  // to its queue and handler becomes the watcher's delivery target.
  void SetUpdateHandler(const TFolderUpdateHandler& handler) override;

 protected:
  std::unique_ptr<TCalendar> CreateChildFor(double date) override;
};

// The handler the nodes of root get for target: the master's post when root has a master,
// target itself otherwise. Defined with the master.
TFolderUpdateHandler RouteCalendarEvents(const TCalendarRoot* root, const TFolderUpdateHandler& target);

class TCalendarYear : public TCalendar {
 public:
  TCalendarYear(TCalendar* parent, double date, const TFolderUpdateHandler& handler);
  const char* ClassName() const override { return "TCalendarYear"; }
  uint8_t Kind() const override { return kKindCalendarYear; }
  std::string GetName() const override;
  std::string GetFullName() const override { return GetName(); }
  int SlotOf(double date) const override;

 protected:
  std::unique_ptr<TCalendar> CreateChildFor(double date) override;
};

class TCalendarMonth : public TCalendar {
 public:
  TCalendarMonth(TCalendar* parent, double date, const TFolderUpdateHandler& handler);
  const char* ClassName() const override { return "TCalendarMonth"; }
  uint8_t Kind() const override { return kKindCalendarMonth; }
  std::string GetName() const override;
  std::string GetFullName() const override;
  int SlotOf(double date) const override;

 protected:
  std::unique_ptr<TCalendar> CreateChildFor(double date) override;
};

class TCalendarDay : public TCalendar {
 public:
  TCalendarDay(TCalendar* parent, double date, const TFolderUpdateHandler& handler);
  const char* ClassName() const override { return "TCalendarDay"; }
  uint8_t Kind() const override { return kKindCalendarDay; }
  std::string GetName() const override;
  std::string GetFullName() const override;
  int SlotOf(double) const override { return 0; }

 protected:
  std::unique_ptr<TCalendar> CreateChildFor(double) override { return nullptr; }
};

}  // namespace plb

#include "engine/model/calendar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/events/calendar_date_queue.h"
#include "engine/model/catalog_item.h"
#include "host/date_time.h"
#include "platform/named_event.h"

namespace plb {
namespace {

std::unique_ptr<TCatalogItem> NewItem(double date, bool known = true, uint8_t kind = 1, bool mark = false) {
  auto item = std::make_unique<TCatalogItem>();
  TCatalogItemBlock block = item->Block();
  block.kind = kind;
  block.shootingDate = date;
  block.dateKnown = known ? 1 : 0;
  if (mark) block.flags |= cifMark;
  item->SetBlock(block);
  return item;
}

double Day(int y, int m, int d, int h = 0, int n = 0) {
  return EncodeDateTime({y, m, d, h, n, 0, 0});
}

struct Event {
  std::string node;
  TFolderUpdatedType kind;
  bool operator==(const Event&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << e.node << ":" << int(e.kind);
}

// The shared root with its master; the watcher is stopped so that each test drives the cycles.
class CalendarFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    owner = AcquireCalendarRoot();
    root = owner.get();
    CurrentCalendarMaster()->StopWatcher();
    root->SetUpdateHandler([this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam) {
      events.push_back({node->GetFullName(), kind});
    });
  }
  void TearDown() override { owner.reset(); }
  void Cycle() { CurrentCalendarMaster()->RunCycle(); }
  TCatalogItem* Add(double date, bool known = true, uint8_t kind = 1, bool mark = false) {
    items.push_back(NewItem(date, known, kind, mark));
    return items.back().get();
  }
  // Places directly, as the load does.
  TCatalogItem* Place(double date, uint8_t kind = 1, bool mark = false) {
    TCatalogItem* item = Add(date, true, kind, mark);
    root->AddItems({item});
    return item;
  }
  TCalendar* Node(const std::string& path) { return root->FindByPath(path); }

  std::shared_ptr<TCalendarRoot> owner;
  TCalendarRoot* root = nullptr;
  std::vector<Event> events;
  std::vector<std::unique_ptr<TCatalogItem>> items;
};

TEST_F(CalendarFixture, NodesAreNamedAfterTheDateOfTheirFirstItem) {
  const double date = Day(2008, 5, 17, 14, 2);
  Place(date);
  TCalendar* day = root->LeafFor(false, date);
  TCalendar* month = day->Parent();
  TCalendar* year = month->Parent();
  struct {
    TCalendar* node;
    uint8_t kind;
    const char* name;
    const char* fullName;
  } cases[] = {
      {root, kKindCalendarRoot, "カレンダー", "カレンダー"},
      {year, kKindCalendarYear, "2008年", "2008年"},
      {month, kKindCalendarMonth, "05月", "2008年05月"},
      {day, kKindCalendarDay, "17日(土)", "2008年05月17日(土)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.node->Kind(), c.kind);
    EXPECT_EQ(c.node->GetName(), c.name);
    EXPECT_EQ(c.node->GetFullName(), c.fullName);
  }
  EXPECT_EQ(month->Date(), date) << "a node keeps the full date-time that made it";
  EXPECT_EQ(year->GetParent(), root);
  EXPECT_TRUE(day->IsDescendantOf(root));
  EXPECT_FALSE(year->IsDescendantOf(day));
  EXPECT_TRUE(day->IsLeaf());
}

TEST_F(CalendarFixture, OnlyYearsFrom1899To2098AreHeld) {
  struct {
    double date;
    bool placed;
  } cases[] = {
      {Day(1899, 12, 31), true},
      {Day(2098, 12, 31, 23, 59), true},
      {Day(2099, 1, 1), false},
      {Day(1898, 12, 31), false},
      {1e300, false},
      {std::nan(""), false},
  };
  for (const auto& c : cases) {
    TCalendar* leaf = root->LeafFor(true, c.date);
    EXPECT_EQ(leaf->IsLeaf(), c.placed) << c.date;
    if (!c.placed) {
      EXPECT_EQ(leaf, root);
    }
  }
}

TEST_F(CalendarFixture, BulkPlacementTakesOnlyDatedPicturesAndMovies) {
  TCatalogItem* photo = Place(Day(2010, 1, 2));
  TCatalogItem* movie = Place(Day(2010, 1, 2, 10), 6, true);
  Place(Day(2010, 1, 2), 7);  // sound
  TCatalogItem* undated = Add(Day(2010, 1, 2), false);
  TCatalogItem* noDate = Add(0);
  root->AddItems({undated, noDate, nullptr});
  TCalendar* day = Node("2010年01月02日");
  ASSERT_TRUE(day && day->IsLeaf());
  EXPECT_EQ(day->ItemCount(), 2);
  EXPECT_EQ(photo->CalendarDay(), day);
  EXPECT_EQ(undated->CalendarDay(), nullptr);
  EXPECT_EQ(day->ItemCountOf(0), 0);
  EXPECT_EQ(day->ItemCountOf(KindBit(6)), 1);
  EXPECT_EQ(day->ItemCountOf(kCatalogKinds), 2);
  EXPECT_EQ(day->MarkedCount(), 1);
  std::vector<TCatalogItem*> movies;
  day->GetItemsOf(KindBit(6), movies);
  EXPECT_EQ(movies, std::vector<TCatalogItem*>{movie});
  // Placing again finds the entry it has.
  const TCalendarItem* entry = day->FindEntry(photo);
  EXPECT_EQ(day->AddItem(photo, Day(2010, 1, 2, 5)), entry);
  EXPECT_EQ(day->ItemCount(), 2);
  EXPECT_EQ(root->AddItem(photo, 1), nullptr) << "only days hold items";
}

// A day keeps its entries in item order and places a bulk run at its end when the run comes in
// that order: items arriving in any other order, in bulk or one by one, must still each be found
// once, and a second placement must find the entry already there.
TEST_F(CalendarFixture, ItemsPlacedInAnyOrderAreEachFoundOnce) {
  struct Case {
    const char* order;
    bool bulk;
  };
  const Case cases[] = {{"ascending", true},   {"descending", true},   {"interleaved", true},
                        {"descending", false}, {"interleaved", false}};
  for (int n = 0; n < 5; ++n) {
    const Case& c = cases[n];
    SCOPED_TRACE(std::string(c.order) + (c.bulk ? " in bulk" : " one by one"));
    const double date = Day(2014, 6, 1 + n, 9);
    std::vector<TCatalogItem*> made;
    for (int i = 0; i < 64; ++i) made.push_back(Add(date));
    std::sort(made.begin(), made.end());
    std::vector<TCatalogItem*> order = made;
    if (std::string(c.order) == "descending") std::reverse(order.begin(), order.end());
    if (std::string(c.order) == "interleaved") {
      order.clear();
      for (size_t i = 0; i < made.size() / 2; ++i) {
        order.push_back(made[made.size() / 2 + i]);
        order.push_back(made[i]);
      }
    }
    if (c.bulk) {
      root->AddItems(order);
      root->AddItems(order);  // the same items again: nothing new
    } else {
      TCalendar* day = root->LeafFor(true, date);
      for (TCatalogItem* item : order) day->AddItem(item, date);
    }
    TCalendar* day = root->LeafFor(false, date);
    ASSERT_TRUE(day && day->IsLeaf());
    std::vector<TCatalogItem*> listed;
    day->GetItems(listed);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, made);
    for (TCatalogItem* item : made) {
      const TCalendarItem* entry = day->FindEntry(item);
      ASSERT_NE(entry, nullptr);
      EXPECT_EQ(entry->Item, item);
      EXPECT_EQ(day->AddItem(item, date), entry);
    }
    for (TCatalogItem* item : made) EXPECT_NE(day->RemoveItem(item), nullptr);
    EXPECT_EQ(day->ItemCount(), 0);
  }
}

// Entries are handed out by pointer: they must stay put while their day grows by bulk placement
// (runs of one day broken by another) and one by one, and stay readable after they left it.
TEST_F(CalendarFixture, EntriesStayPutWhileTheirDayGrowsAndAfterTheyLeaveIt) {
  std::vector<TCatalogItem*> bulk;
  for (int i = 0; i < 300; ++i) bulk.push_back(Add(Day(2012, 3, (i / 7) % 2 == 0 ? 4 : 5, i % 24)));
  root->AddItems(bulk);
  TCalendar* day4 = Node("2012年03月04日");
  TCalendar* day5 = Node("2012年03月05日");
  ASSERT_TRUE(day4 && day5);
  struct Seen {
    TCatalogItem* item;
    const TCalendarItem* entry;
    double date;
  };
  std::vector<Seen> seen;
  for (TCatalogItem* item : bulk) {
    TCalendar* day = item->CalendarDay() == day4 ? day4 : day5;
    ASSERT_EQ(item->CalendarDay(), day);
    seen.push_back({item, day->FindEntry(item), item->ShootingDate()});
  }
  for (int i = 0; i < 500; ++i) {
    TCatalogItem* item = Add(Day(2012, 3, 4, i % 24));
    day4->AddItem(item, item->ShootingDate());
    seen.push_back({item, day4->FindEntry(item), item->ShootingDate()});
  }
  EXPECT_EQ(day4->ItemCount() + day5->ItemCount(), 800);
  for (const Seen& s : seen) {
    ASSERT_NE(s.entry, nullptr);
    EXPECT_EQ(s.entry->Item, s.item);
    EXPECT_EQ(s.entry->Date, s.date);
    EXPECT_EQ(static_cast<TCalendar*>(s.item->CalendarDay())->FindEntry(s.item), s.entry);
  }
  // Every third leaves and comes back: the old entry still reads, the day lists each item once.
  for (size_t i = 0; i < seen.size(); i += 3) {
    TCalendar* day = static_cast<TCalendar*>(seen[i].item->CalendarDay());
    EXPECT_EQ(day->RemoveItem(seen[i].item), seen[i].entry);
    EXPECT_EQ(day->FindEntry(seen[i].item), nullptr);
    EXPECT_EQ(seen[i].entry->Item, seen[i].item);
    day->AddItem(seen[i].item, seen[i].date + 0.01);
  }
  std::vector<TCatalogItem*> listed;
  day4->GetItems(listed);
  day5->GetItems(listed);
  std::vector<TCatalogItem*> expected;
  for (const Seen& s : seen) expected.push_back(s.item);
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
}

TEST_F(CalendarFixture, TheFirstPhotoOfAYearCreatesTopDownAndItsRemovalDeactivatesBottomUp) {
  TCatalogItem* item = Add(Day(2008, 5, 17));
  item->SetDateKnown(false);
  item->SetDateKnown(true);  // queues (0 -> date)
  events.clear();
  Cycle();
  const std::string y = "2008年", m = "2008年05月", d = "2008年05月17日(土)";
  EXPECT_EQ(events, (std::vector<Event>{{y, futCreated},
                                        {m, futCreated},
                                        {d, futCreated},
                                        {"カレンダー", futActived},
                                        {y, futActived},
                                        {m, futActived},
                                        {d, futActived}}));
  events.clear();
  item->SetDateKnown(false);
  Cycle();
  EXPECT_EQ(events, (std::vector<Event>{
                        {d, futDeActived}, {m, futDeActived}, {y, futDeActived}, {"カレンダー", futDeActived}}));
  TCalendar* day = Node(d);
  ASSERT_TRUE(day && day->IsLeaf()) << "empty nodes stay";
  EXPECT_EQ(day->ItemCount(), 0);
  EXPECT_FALSE(day->IsActive());
  EXPECT_EQ(item->CalendarDay(), nullptr);
}

TEST_F(CalendarFixture, AMoveLeavesTheOldDayFirstAndTheEventClearsOneCycleLater) {
  std::shared_ptr<platform::NamedEvent> changing = platform::OpenNamedEvent(kExifDateChangingEventName);
  TCatalogItem* item = Place(Day(2008, 5, 17));
  Cycle();
  Cycle();
  EXPECT_FALSE(changing->IsSet());
  item->SetShootingDate(Day(2008, 5, 20, 9));
  EXPECT_TRUE(changing->IsSet());
  events.clear();
  Cycle();
  const std::string y = "2008年", m = "2008年05月", d17 = "2008年05月17日(土)", d20 = "2008年05月20日(火)";
  EXPECT_EQ(events, (std::vector<Event>{{d17, futDeActived},
                                        {m, futDeActived},
                                        {y, futDeActived},
                                        {"カレンダー", futDeActived},
                                        {d20, futCreated},
                                        {"カレンダー", futActived},
                                        {y, futActived},
                                        {m, futActived},
                                        {d20, futActived}}));
  EXPECT_EQ(item->CalendarDay(), Node(d20));
  EXPECT_EQ(Node(d17)->ItemCount(), 0);
  EXPECT_EQ(Node(d20)->FindEntry(item)->Date, Day(2008, 5, 20, 9));
  EXPECT_TRUE(changing->IsSet()) << "waiters see the change applied only a cycle later";
  Cycle();
  EXPECT_FALSE(changing->IsSet());
}

TEST_F(CalendarFixture, QueuedChangesFollowTheItemsFlagsAndState) {
  TCatalogItem* sound = Add(Day(2011, 3, 4), false, 7);
  sound->SetDateKnown(true);
  TCatalogItem* dated = Add(Day(2011, 3, 4), false);
  dated->SetDateKnown(true);
  Cycle();
  EXPECT_EQ(sound->CalendarDay(), nullptr) << "sound files never enter the calendar";
  ASSERT_NE(dated->CalendarDay(), nullptr);
  // A deleted item leaves its day, whatever its flag says.
  dated->SetState(cisDeleted);
  Cycle();
  EXPECT_EQ(dated->CalendarDay(), nullptr);
  EXPECT_EQ(Node("2011年03月04日")->ItemCount(), 0);
  QueueDateChange(nullptr, 0, Day(2011, 3, 4));  // ignored
  Cycle();
}

TEST_F(CalendarFixture, FindByPathReadsTheDigitRuns) {
  Place(Day(2008, 5, 17));
  TCalendar* month = Node("2008年05月");
  ASSERT_NE(month, nullptr);
  struct {
    const char* path;
    TCalendar* expected;
  } cases[] = {
      {"2008年05月", month},
      {"2008年05月17日(土)", month->ChildAt(17)},
      {"2008年05月18日(日)", month},
      {"2009年01月", root},
      {"カレンダー", root},
      {"", root},
      {"12345678901234567890年", nullptr},
  };
  for (const auto& c : cases) EXPECT_EQ(root->FindByPath(c.path), c.expected) << c.path;
  EXPECT_EQ(root->ChildAt(2008), month->Parent());
  EXPECT_EQ(root->ChildAt(110), nullptr);
}

TEST_F(CalendarFixture, NeighboursSkipInactiveNodesAcrossYears) {
  TCatalogItem* gone = Place(Day(2006, 7, 1));
  Place(Day(2005, 3, 1));
  Place(Day(2005, 11, 1));
  Place(Day(2008, 1, 5));
  Place(Day(2008, 2, 5));
  // 2006 empties again but stays in the tree.
  Node("2006年07月01日")->RemoveItem(gone);
  TCalendar* jan2008 = Node("2008年01月");
  TCalendar* nov2005 = Node("2005年11月");
  TCalendar* mar2005 = Node("2005年03月");
  TCalendar* jul2006 = Node("2006年07月");
  ASSERT_TRUE(jan2008 && nov2005 && mar2005 && jul2006);
  EXPECT_EQ(jan2008->PreviousNode(true), nov2005);
  EXPECT_EQ(jan2008->PreviousNode(false), jul2006);
  EXPECT_EQ(mar2005->PreviousNode(true), nullptr);
  EXPECT_EQ(nov2005->NextNode(true), jan2008);
  EXPECT_EQ(jan2008->NextNode(true), Node("2008年02月"));
  EXPECT_EQ(Node("2008年02月")->NextNode(true), nullptr);
  EXPECT_EQ(root->PreviousNode(false), nullptr);
  EXPECT_EQ(root->FirstChild(true), Node("2005年"));
  EXPECT_EQ(root->LastChild(false), Node("2008年"));
}

TEST_F(CalendarFixture, CollectPinnedVisitsEveryActiveNodeFirstChildrenIncluded) {
  Place(Day(2001, 1, 1));
  TCatalogItem* gone = Place(Day(2001, 1, 2));
  Place(Day(2003, 6, 6));
  Node("2001年01月02日")->RemoveItem(gone);
  for (const char* path : {"2001年", "2001年01月01日", "2001年01月02日", "2003年06月"}) Node(path)->SetPinned(true);
  std::vector<TCalendar*> pinned;
  root->CollectPinned(pinned);
  EXPECT_EQ(pinned, (std::vector<TCalendar*>{Node("2001年"), Node("2001年01月01日"), Node("2003年06月")}));
}

TEST_F(CalendarFixture, AFailingListenerCostsOnlyItsOwnEvent) {
  int calls = 0;
  root->SetUpdateHandler([&](TCustomFolder*, TFolderUpdatedType, TFolderEventParam) {
    if (++calls == 1) throw std::runtime_error("broken tree panel");
  });
  TCatalogItem* a = Add(Day(2012, 2, 2), false);
  a->SetDateKnown(true);
  Cycle();
  const int first = calls;
  EXPECT_GT(first, 1) << "the events after the failing one were delivered";
  TCatalogItem* b = Add(Day(2013, 3, 3), false);
  b->SetDateKnown(true);
  Cycle();
  EXPECT_NE(b->CalendarDay(), nullptr) << "the calendar went on after the failure";
  EXPECT_GT(calls, first);
}

TEST(CalendarRootTest, TheRootIsSharedAndTheLastOwnerToLetGoStopsTheWatcher) {
  std::shared_ptr<TCalendarRoot> first = AcquireCalendarRoot();
  std::shared_ptr<TCalendarRoot> second = AcquireCalendarRoot();
  EXPECT_EQ(first, second);
  TCalendarMaster* master = CurrentCalendarMaster();
  ASSERT_NE(master, nullptr);
  EXPECT_TRUE(master->WatcherRunning());
  first.reset();
  EXPECT_EQ(CurrentCalendarMaster(), master) << "the other owner still holds the root";
  second.reset();
  EXPECT_EQ(CurrentCalendarMaster(), nullptr);
  auto item = NewItem(Day(2000, 1, 1), false);
  item->SetDateKnown(true);  // no calendar: nothing to queue into
  EXPECT_EQ(item->CalendarDay(), nullptr);

  // Once every owner has let go, the next one gets a fresh calendar that hears date changes.
  std::shared_ptr<TCalendarRoot> again = AcquireCalendarRoot();
  ASSERT_NE(CurrentCalendarMaster(), nullptr);
  CurrentCalendarMaster()->StopWatcher();
  item->SetDateKnown(false);
  item->SetDateKnown(true);
  CurrentCalendarMaster()->RunCycle();
  EXPECT_EQ(item->CalendarDay(), again->LeafFor(false, Day(2000, 1, 1)));
}

}  // namespace
}  // namespace plb

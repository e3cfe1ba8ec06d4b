#include "engine/views/sorted_item_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/views/query_info.h"

namespace plb {
namespace {

struct Spec {
  const char* name;
  double fileDate;
  double shootingDate;
  int32_t group;
  uint16_t sequence;
};

class SortList : public ::testing::Test {
 protected:
  TCatalogItem* Make(const Spec& s) {
    auto item = std::make_unique<TCatalogItem>();
    item->SetFileNameRaw(s.name);
    TCatalogItemBlock b = item->Block();
    b.fileDate = s.fileDate;
    b.shootingDate = s.shootingDate;
    item->SetBlock(b);
    item->SetGroupNumber(s.group);
    item->SetSequence(s.sequence);
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  static std::vector<std::string> Names(const TOstraSortList& list) {
    std::vector<std::string> names;
    for (TCatalogItem* item : list.Items()) names.push_back(item->FileName());
    return names;
  }
  std::vector<std::unique_ptr<TCatalogItem>> items_;
};

TEST_F(SortList, EveryKeyAndGroupingOrdersAsSelected) {
  // Days 100 and 101; groups 1 and 2; names that differ in case and in digits.
  const Spec specs[] = {
      {"b.jpg", 3.0, 101.75, 1, 2},     {"A.jpg", 2.0, 100.50, 2, 1},    {"a.jpg", 5.0, 100.25, 1, 3},
      {"IMG10.jpg", 1.0, 101.10, 2, 0}, {"IMG2.jpg", 4.0, 100.90, 1, 1},
  };
  TOstraSortList list;
  for (const auto& s : specs) list.Add(Make(s));
  struct Case {
    uint8_t key;
    bool byNumber, byDay;
    std::vector<std::string> ascending;
  };
  const std::vector<Case> cases = {
      {skFileName, false, false, {"A.jpg", "a.jpg", "b.jpg", "IMG10.jpg", "IMG2.jpg"}},
      {skFileDate, false, false, {"IMG10.jpg", "A.jpg", "b.jpg", "IMG2.jpg", "a.jpg"}},
      {skShootingDate, false, false, {"a.jpg", "A.jpg", "IMG2.jpg", "IMG10.jpg", "b.jpg"}},
      {skSequence, false, false, {"IMG10.jpg", "A.jpg", "IMG2.jpg", "b.jpg", "a.jpg"}},
      {skFileName, false, true, {"A.jpg", "a.jpg", "IMG2.jpg", "b.jpg", "IMG10.jpg"}},
      {skFileDate, false, true, {"A.jpg", "IMG2.jpg", "a.jpg", "IMG10.jpg", "b.jpg"}},
      {skShootingDate, false, true, {"a.jpg", "A.jpg", "IMG2.jpg", "IMG10.jpg", "b.jpg"}},
      {skSequence, false, true, {"A.jpg", "IMG2.jpg", "a.jpg", "IMG10.jpg", "b.jpg"}},
      {skFileName, true, false, {"a.jpg", "b.jpg", "IMG2.jpg", "A.jpg", "IMG10.jpg"}},
      {skFileDate, true, false, {"b.jpg", "IMG2.jpg", "a.jpg", "IMG10.jpg", "A.jpg"}},
      {skShootingDate, true, false, {"a.jpg", "IMG2.jpg", "b.jpg", "A.jpg", "IMG10.jpg"}},
      {skSequence, true, true, {"IMG2.jpg", "b.jpg", "a.jpg", "IMG10.jpg", "A.jpg"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "key " << int(c.key) << " number " << c.byNumber << " day " << c.byDay);
    list.SetOrder(c.key, true, c.byNumber, c.byDay);
    EXPECT_EQ(Names(list), c.ascending);
    list.SetOrder(c.key, false, c.byNumber, c.byDay);
    EXPECT_EQ(Names(list), std::vector<std::string>(c.ascending.rbegin(), c.ascending.rend()));
  }
}

TEST_F(SortList, DatesSecondsApartAndEqualNamesHaveAFixedOrder) {
  const double second = 1.0 / 86400;
  TCatalogItem* later = Make({"x.jpg", 0, 100 + 2 * second, 0, 0});
  TCatalogItem* earlier = Make({"y.jpg", 0, 100 + second, 0, 0});
  TCatalogItem* twin1 = Make({"same.jpg", 0, 0, 0, 0});
  TCatalogItem* twin2 = Make({"same.jpg", 0, 0, 0, 0});
  TOstraSortList list;
  for (TCatalogItem* item : {later, earlier, twin1, twin2}) list.Add(item);
  list.SetOrder(skShootingDate, true, false, false);
  EXPECT_EQ(list.Items()[2], earlier);
  EXPECT_EQ(list.Items()[3], later);
  list.SetOrder(skFileName, true, false, false);
  const auto first = list.Items();
  for (int i = 0; i < 5; ++i) {
    TOstraSortList again;
    for (TCatalogItem* item : {twin2, later, twin1, earlier}) again.Add(item);
    again.SetOrder(skFileName, true, false, false);
    EXPECT_EQ(again.Items(), first);
  }
}

TEST_F(SortList, FindAndFindOrInsert) {
  TOstraSortList list;
  TCatalogItem* b = Make({"b.jpg", 0, 0, 0, 0});
  TCatalogItem* d = Make({"d.jpg", 0, 0, 0, 0});
  TCatalogItem* c = Make({"c.jpg", 0, 0, 0, 0});
  TCatalogItem* a = Make({"a.jpg", 0, 0, 0, 0});
  list.Add(d);
  list.Add(b);
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(list.Find(d), 1) << "sorted before the search";
  EXPECT_EQ(list.Find(c), -1);
  EXPECT_EQ(list.FindOrInsert(c), 1);
  EXPECT_EQ(list.FindOrInsert(a), 0);
  EXPECT_EQ(list.FindOrInsert(c), 2);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
  EXPECT_EQ(list.Count(), 4);
}

TEST_F(SortList, OrderHoldsWhileAnotherThreadChangesDates) {
  TOstraSortList list;
  std::vector<TCatalogItem*> all;
  for (int i = 0; i < 3000; ++i) {
    std::string name = std::to_string(i % 50);
    name.append(".jpg");
    all.push_back(Make({name.c_str(), double(i % 7), double(i % 13), i % 3, 0}));
  }
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::mt19937 random(7);
    while (!stop) {
      TCatalogItem* item = all[random() % all.size()];
      item->SetShootingDate(double(random() % 1000));
      TCatalogItemBlock b = item->Block();
      b.fileDate = double(random() % 1000);
      item->SetBlock(b);
    }
  });
  for (TCatalogItem* item : all) list.Add(item);
  for (int round = 0; round < 20; ++round) {
    list.SetOrder(static_cast<uint8_t>(round % 3), round % 2 == 0, round % 5 == 0, round % 4 == 0);
    list.Resort();
    ASSERT_EQ(list.Count(), 3000);
    for (TCatalogItem* item : {all[0], all[1234], all[2999]}) {
      const int at = list.Find(item);
      ASSERT_GE(at, 0);
      EXPECT_EQ(list.At(at), item);
    }
    EXPECT_EQ(list.FindOrInsert(all[17]), list.Find(all[17]));
    EXPECT_EQ(list.Count(), 3000) << "an item filed earlier is found, never added twice";
  }
  stop = true;
  writer.join();
}

TEST_F(SortList, FilterKeepsTheOrderOfWhatPasses) {
  TFolder folder("/pics");
  const char* names[] = {"Sea and Sun.jpg", "sea.jpg", "sun.jpg", "clip.mov", "other.jpg"};
  for (const char* name : names) folder.FindOrCreateItem(name);
  folder.FindItem("clip.mov")->UpdateFromEntry({"clip.mov", 1, 10.0, false}, fkMovie, false);
  folder.FindItem("sea.jpg")->SetMark(true);
  folder.FindItem("sea.jpg")->SetShootingDate(5.0);
  folder.FindItem("sun.jpg")->SetShootingDate(6.0);
  std::vector<TCatalogItem*> items;
  folder.GetItems(items);
  struct Case {
    const char* what;
    TQueryInfoRecord query;
    std::vector<std::string> kept;
  };
  const auto nameQuery = [](const char* pattern) {
    TQueryInfoRecord q = TQueryInfoRecord::Fresh();
    q.textOn[TQueryInfoRecord::qtFileName] = true;
    q.pattern[TQueryInfoRecord::qtFileName] = pattern;
    return q;
  };
  TQueryInfoRecord marked = TQueryInfoRecord::Fresh();
  marked.markOnly = true;
  TQueryInfoRecord movies = TQueryInfoRecord::Fresh();
  movies.moviesOnly = true;
  TQueryInfoRecord dates = TQueryInfoRecord::Fresh();
  dates.shootingDateOn = true;
  dates.shootingFrom = 5.0;
  dates.shootingTo = 6.0;
  TQueryInfoRecord folderPath = TQueryInfoRecord::Fresh();
  folderPath.textOn[TQueryInfoRecord::qtFolderPath] = true;
  folderPath.pattern[TQueryInfoRecord::qtFolderPath] = "/PICS/";
  TQueryInfoRecord eyeFi = TQueryInfoRecord::Fresh();
  eyeFi.eyeFiOnly = true;
  const std::vector<std::string> all = {"clip.mov", "other.jpg", "Sea and Sun.jpg", "sea.jpg", "sun.jpg"};
  const std::vector<Case> cases = {
      {"two words joined by ';'", nameQuery("SEA;sun"), {"Sea and Sun.jpg"}},
      {"a pattern that begins with ';'", nameQuery(";sea"), {}},
      {"an empty pattern keeps all", nameQuery(""), all},
      {"a ';' at the end adds no piece", nameQuery("sea;"), {"Sea and Sun.jpg", "sea.jpg"}},
      {"marked only", marked, {"sea.jpg"}},
      {"movies only", movies, {"clip.mov"}},
      {"both ends of a range count", dates, {"sea.jpg", "sun.jpg"}},
      {"folder path with its separator", folderPath, all},
      {"Eye-Fi items only", eyeFi, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TOstraSortList list;
    for (TCatalogItem* item : items) list.Add(item);
    list.SetOrder(skFileName, true, false, false);
    list.Filter(c.query);
    EXPECT_EQ(Names(list), c.kept);
  }
}

TEST(QueryInfo, FreshRecordCoversYesterday) {
  const TQueryInfoRecord q = TQueryInfoRecord::Fresh();
  EXPECT_FALSE(q.shootingDateOn || q.fileDateOn || q.markOnly || q.moviesOnly);
  EXPECT_EQ(q.shootingTo - q.shootingFrom, 1.0);
  EXPECT_EQ(q.shootingTo, double(int64_t(q.shootingTo)));
  EXPECT_EQ(PatternPieces("A;b;"), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace plb

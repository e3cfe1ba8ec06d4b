#include "engine/model/history_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/model/album_list.h"
#include "engine/model/calendar.h"
#include "engine/model/folder_tree_list.h"
#include "host/date_time.h"
#include "platform/volumes.h"

namespace plb {
namespace {

// Nodes of the three kinds, as the engine holds them after a load.
class HistoryFixture : public ::testing::Test {
 protected:
  HistoryFixture() : installed(volumes) {
    volumes.Mount(card);
    a = albums.GetAlbumFromPathEx(atAlbum, "A", true);
    b = albums.GetAlbumFromPathEx(atAlbum, "B", true);
    c = albums.GetAlbumFromPathEx(atAlbum, "C", true);
    auto item = std::make_unique<TCatalogItem>();
    TCatalogItemBlock block = item->Block();
    block.kind = 1;
    block.shootingDate = EncodeDate(2008, 5, 17);
    block.dateKnown = 1;
    item->SetBlock(block);
    calendar.AddItems({item.get()});
    items.push_back(std::move(item));
    day = calendar.FindByPath("2008年05月17日");
  }
  std::string Saved(THistoryList& list) {
    std::string bytes;
    RecordWriter w(bytes);
    list.SaveToStream(w);
    w.Flush();
    return bytes;
  }
  std::vector<TCustomFolder*> Nodes(const THistoryList& list) {
    std::vector<TCustomFolder*> nodes;
    for (int i = 0; i < list.Count(); ++i) nodes.push_back(list.NodeAt(i));
    return nodes;
  }

  platform::FakeVolumeSource volumes;
  platform::ScopedVolumeSource installed;
  const TDriveInfoRec card{platform::kDriveRemovable, 0x1234, "CARD", "/media/card"};
  TFolderTreeList folders;
  TAlbumList albums;
  TCalendarRoot calendar;
  std::vector<std::unique_ptr<TCatalogItem>> items;
  TAlbum *a, *b, *c;
  TCalendar* day;
};

TEST_F(HistoryFixture, NavigationPushesBacksAndForgetsTheForwardEntries) {
  THistoryList list(kEngineHistoryCapacity);
  EXPECT_EQ(list.Back(), nullptr);
  list.Push(a);
  list.Push(b);
  list.Push(b);  // the current node again: nothing
  list.Push(nullptr);
  list.Push(c);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{a, b, c}));
  EXPECT_TRUE(list.CanGoBack());
  EXPECT_EQ(list.Back(), b);
  EXPECT_TRUE(list.CanGoForward());
  EXPECT_EQ(list.Forward(), c);
  EXPECT_EQ(list.Forward(), nullptr);
  list.Back();
  list.Back();
  EXPECT_EQ(list.Current(), a);
  list.Push(day);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{a, day}));
  EXPECT_FALSE(list.CanGoForward());
  EXPECT_EQ(list.Last(), day);
  EXPECT_EQ(list.NodeAt(5), nullptr);
}

TEST_F(HistoryFixture, TheCapacityKeepsTheNewestEntries) {
  std::vector<std::unique_ptr<TAlbum>> nodes;
  THistoryList list(kEngineHistoryCapacity);
  for (int i = 0; i < 60; ++i) {
    std::string name = "n";
    name += std::to_string(i);
    nodes.push_back(std::make_unique<TAlbum>(0, name, "", nullptr));
    list.Push(nodes.back().get());
  }
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.NodeAt(0), nodes[10].get());
  EXPECT_EQ(list.Current(), nodes[59].get());
  list.SetCapacity(3);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{nodes[57].get(), nodes[58].get(), nodes[59].get()}));
  list.Back();
  list.Delete(0);
  EXPECT_EQ(list.Current(), nodes[58].get()) << "the current entry stays the current one";
  list.Delete(0);
  EXPECT_EQ(list.Current(), nodes[59].get());
  list.SetCapacity(0);
  for (int i = 0; i < 60; ++i) list.Push(nodes[static_cast<size_t>(i)].get());
  EXPECT_EQ(list.Count(), 61) << "no capacity: nothing is dropped";
}

TEST_F(HistoryFixture, RemovingAndReplacingNodesCollapsesNeighbours) {
  THistoryList list;
  for (TCustomFolder* n : std::vector<TCustomFolder*>{a, b, c, b, a}) list.Push(n);
  list.RemoveNode(c);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{a, b, a}));
  list.ReplaceNode(b, a);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{a}));
  list.Push(b);
  list.ReplaceNode(b, nullptr);
  EXPECT_EQ(Nodes(list), (std::vector<TCustomFolder*>{a})) << "a trailing entry without a node goes";
}

TEST_F(HistoryFixture, EntriesAreSavedByKindAndFullNameAndResolvedAgain) {
  TFolder* dcim = folders.FolderOfDrive(card, "/media/card/DCIM");
  ASSERT_NE(dcim, nullptr);
  THistoryList list;
  for (TCustomFolder* n : std::vector<TCustomFolder*>{a, b, dcim, day}) list.Push(n);
  const std::string bytes = Saved(list);
  std::string expected;
  RecordWriter w(expected);
  w.U32(0x1001);
  w.U32(4);
  for (const char* name : {"アルバム\\A", "アルバム\\B"}) {
    w.U8(2);
    w.Text(name);
  }
  w.U8(1);
  w.Text("/media/card/DCIM");
  w.I32(platform::kDriveRemovable);
  w.I32(0x1234);
  w.Text("CARD");
  w.U8(3);
  w.Text("2008年05月17日(土)");
  w.Flush();
  EXPECT_EQ(bytes, expected);

  THistoryList again(kEngineHistoryCapacity);
  RecordReader in(bytes);
  again.Resolve(in, &folders, &calendar, &albums);
  EXPECT_EQ(Nodes(again), (std::vector<TCustomFolder*>{a, b, dcim, day}));
  EXPECT_EQ(again.Current(), day);
}

TEST_F(HistoryFixture, ResolvingCollapsesRepeatsAndDropsWhatIsGone) {
  folders.FolderOfDrive(card, "/media/card");
  volumes.Unmount("/media/card");  // the card is out; its tree was saved
  std::string bytes;
  RecordWriter w(bytes);
  w.U32(0x1001);
  w.U32(7);
  for (const char* name : {"アルバム\\A", "アルバム\\B", "アルバム\\B", "アルバム\\C", "アルバム\\gone"}) {
    w.U8(2);
    w.Text(name);
  }
  w.U8(1);
  w.Text("/media/card/DCIM/100");
  w.I32(platform::kDriveRemovable);
  w.I32(0x1234);
  w.Text("CARD");
  w.U8(1);
  w.Text("/media/other/x");  // a volume neither saved nor mounted
  w.I32(platform::kDriveRemovable);
  w.I32(99);
  w.Text("OTHER");
  w.Flush();
  THistoryList list;
  RecordReader in(bytes);
  list.Resolve(in, &folders, &calendar, &albums);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(Nodes(list)[0], a);
  EXPECT_EQ(Nodes(list)[1], b);
  EXPECT_EQ(Nodes(list)[2], c);
  ASSERT_NE(list.NodeAt(3), nullptr);
  EXPECT_EQ(list.NodeAt(3)->GetFullName(), "/media/card/DCIM/100") << "a new folder under the card's tree";
}

TEST_F(HistoryFixture, DamagedHistoriesLoadEmptyWithoutError) {
  const std::string good = [&] {
    THistoryList list;
    list.Push(a);
    list.Push(b);
    return Saved(list);
  }();
  std::string wrongMarker = good;
  wrongMarker[0] = 0x02;
  for (const std::string& bytes : {std::string(), good.substr(0, 4), wrongMarker, good.substr(0, good.size() - 1)}) {
    THistoryList list;
    list.Push(c);
    RecordReader in(bytes);
    list.LoadFromStream(in);
    EXPECT_EQ(list.Count(), 0);
  }
  THistoryList list;
  RecordReader in(good);
  list.LoadFromStream(in);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.ItemAt(1).FullName, "アルバム\\B");
  EXPECT_EQ(list.Current(), nullptr) << "loaded entries have no node until resolved";
}

TEST_F(HistoryFixture, OnlyCalendarNodesThatStillExistArePinnedAgain) {
  std::string bytes;
  RecordWriter w(bytes);
  w.U32(0x1001);
  w.U32(2);
  w.U8(3);
  w.Text("2008年05月17日(土)");
  w.U8(3);
  w.Text("2008年05月18日(日)");  // that day is gone: its month must not be pinned instead
  w.Flush();
  THistoryList pinned;
  RecordReader in(bytes);
  pinned.Resolve(in, &folders, &calendar, &albums);
  pinned.PinCalendarNodes();
  EXPECT_TRUE(day->Pinned());
  EXPECT_FALSE(day->Parent()->Pinned());
}

}  // namespace
}  // namespace plb

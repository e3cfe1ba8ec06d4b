#include "engine/model/album.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/album_list.h"
#include "engine/events/folder_update_master.h"
#include "host/engine_error.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

std::unique_ptr<TCatalogItem> NewItem(uint8_t kind = 1, int32_t recordNumber = 0) {
  auto item = std::make_unique<TCatalogItem>();
  TCatalogItemBlock block = item->Block();
  block.kind = kind;
  block.recordNumber = recordNumber;
  item->SetBlock(block);
  return item;
}

struct Event {
  TCustomFolder* node;
  TFolderUpdatedType kind;
  TFolderEventParam param;
  bool operator==(const Event&) const = default;
};

// An album list whose events come to the test's UI thread.
class AlbumFixture : public ::testing::Test {
 protected:
  AlbumFixture() : installed(ui) {
    list.SetAlbumUpdatedProc([this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam p) {
      delivered.push_back({node, kind, p});
    });
  }
  // The events delivered since the last call.
  std::vector<Event> Events() {
    for (int quiet = 0; quiet < 3;) quiet = ui.PumpFor(100) == 0 ? quiet + 1 : 0;
    return std::exchange(delivered, {});
  }
  TAlbum* Album(const std::string& name, TAlbum* parent = nullptr) {
    return list.CreateAlbum(parent ? parent : list.Root(atAlbum), atAlbum, "", name);
  }
  std::vector<std::string> Names(TAlbum* parent) {
    std::vector<std::string> names;
    for (TAlbum* child : parent->Children()) names.push_back(child->GetName());
    return names;
  }

  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed;
  TAlbumList list;
  std::vector<Event> delivered;
};

TEST_F(AlbumFixture, TheFourteenRootsKnowTheirTypes) {
  const char* names[] = {"アルバム",     "類似画像検索", "File情報検索", "同位置検索", "インデックス検索",
                         "Exif情報検索", "トレイ",       "ゼンモア",     "タグ",       "ゼンモアbackup",
                         "WORK4",        "WORK5",        "WORK6",        "不明"};
  for (int type = 0; type < kAlbumTypeCount; ++type) {
    TAlbum* root = list.Root(type);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), names[type]);
    EXPECT_EQ(root->GetFullName(), names[type]);
    EXPECT_EQ(root->KindName(), names[type]);
    EXPECT_EQ(root->SourceText(), std::string(names[type]) + "を格納します。");
    EXPECT_EQ(root->AlbumType(), type);
    EXPECT_EQ(root->Kind(), (type == 1 || type == 3) ? 4 : 3);
    EXPECT_EQ(FolderClassOfKind(root->Kind()), 2);
    EXPECT_TRUE(list.IsRoot(root));
  }
  EXPECT_EQ(list.Root(14), nullptr);
  EXPECT_EQ(AlbumTypeName(14), "Error");
  std::vector<TAlbum*> shown;
  list.ListupRootAlbums(shown);
  EXPECT_EQ(shown, (std::vector<TAlbum*>{list.Root(0), list.Root(2), list.Root(6)}));
}

TEST_F(AlbumFixture, AnItemIsInAnAlbumOnceAndItsTagsFollow) {
  auto item = NewItem(1, 7);
  auto movie = NewItem(6, 8);
  TAlbum* album = Album("Trip");
  TAlbumItem* entry = album->AddItem(item.get(), 0);
  EXPECT_EQ(entry->OrderNumber, -1);
  EXPECT_EQ(entry->RecordNumber, 7);
  item->SetRecordNumber(9);
  EXPECT_EQ(album->AddItem(item.get(), 5), entry);
  EXPECT_EQ(entry->RecordNumber, 9);
  EXPECT_EQ(entry->GroupNumber, 5);
  album->AddItem(movie.get(), 0);
  EXPECT_EQ(album->ItemCount(), 2);
  EXPECT_EQ(album->ItemCountOf(KindBit(6)), 1);
  EXPECT_EQ(item->Tags(), std::vector<TCustomFolder*>{album});

  std::vector<TCatalogItem*> listed;
  album->GetItems(listed);
  EXPECT_EQ(listed.size(), 2u);
  EXPECT_EQ(item->GroupNumber(), 5) << "listing hands the entry's group to the item";

  EXPECT_GE(album->RemoveItem(item.get()), 0);
  EXPECT_EQ(album->RemoveItem(item.get()), -1);
  EXPECT_TRUE(item->Tags().empty());
  EXPECT_EQ(album->RemovedEntryCount(), 1);

  // A deleted item leaves every album that holds it.
  movie->SetState(cisDeleted);
  EXPECT_EQ(album->ItemCount(), 0);
  EXPECT_TRUE(movie->Tags().empty());
}

TEST_F(AlbumFixture, NamesStayUniqueAmongSiblingsWhateverTheCase) {
  TAlbum* a = Album("Trip");
  TAlbum* b = Album("trip");
  TAlbum* c = Album("TRIP");
  TAlbum* slash = Album("2010\\Summer");
  EXPECT_EQ(Names(list.Root(atAlbum)), (std::vector<std::string>{"Trip", "trip(1)", "TRIP(2)", "2010-Summer"}));
  EXPECT_EQ(slash->GetFullName(), "アルバム\\2010-Summer");

  Events();
  a->Rename("TRIP");
  EXPECT_EQ(a->GetName(), "Trip") << "another letter case of the own name changes nothing";
  c->Rename("Trip");
  EXPECT_EQ(c->GetName(), "TRIP(2)") << "Trip and Trip(1) are taken; Trip(2) is its own name";
  EXPECT_TRUE(Events().empty());
  b->Rename("2010-summer");
  EXPECT_EQ(b->GetName(), "2010-summer(1)");
  EXPECT_EQ(Events(), (std::vector<Event>{{b, futRenamed, 0}}));
}

TEST_F(AlbumFixture, MovingAnAlbumRenamesItAmongItsNewSiblingsAndNeverBelowItself) {
  TAlbum* year = Album("2010");
  TAlbum* trip = Album("Trip", year);
  TAlbum* other = Album("Trip");
  TAlbum* deep = Album("Day1", trip);
  Events();
  other->SetParent(year);
  EXPECT_EQ(other->GetName(), "Trip(1)");
  EXPECT_EQ(other->Parent(), year);
  EXPECT_EQ(Events(),
            (std::vector<Event>{{other, futParentChanged,
                                 reinterpret_cast<TFolderEventParam>(static_cast<TCustomFolder*>(list.Root(0)))},
                                {other, futRenamed, 0}}));
  EXPECT_EQ(deep->GetFullName(), "アルバム\\2010\\Trip\\Day1");
  for (TAlbum* target : {trip, deep}) EXPECT_THROW(year->SetParent(target), EAlbumListError);
  EXPECT_THROW(list.Root(0)->SetParent(year), EAlbumListError);
  EXPECT_EQ(year->Parent(), list.Root(0));
  EXPECT_EQ(Names(year), (std::vector<std::string>{"Trip", "Trip(1)"}));
}

TEST_F(AlbumFixture, CaptionAndSourceChangesAreAnnouncedHostNamesAreNot) {
  TAlbum* book = Album("B001");
  Events();
  book->SetCaption("夏の旅");
  book->SetCaption("夏の旅");
  book->SetSourceText("key");
  book->SetHostName("host.example");
  EXPECT_EQ(Events(), (std::vector<Event>{{book, futCaptionChanged, 0}, {book, futSourceChanged, 0}}));
  EXPECT_EQ(book->HostName(), "host.example");
}

TEST_F(AlbumFixture, DeleteAlbumExDeletesBottomUpAndKeepsRootsAndParents) {
  TAlbum* tags = list.Root(atTag);
  TAlbum* a = list.GetAlbumFromPathEx(atTag, "a\\b\\c", true);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(list.GetAlbumFromPath("タグ\\A\\B\\c"), a) << "paths ignore letter case";
  EXPECT_EQ(list.GetAlbumFromPath("タグ\\a\\x"), nullptr);
  EXPECT_EQ(list.GetAlbumFromPathEx(atTag, "\\\\a\\\\b", false), a->Parent());
  TAlbum* other = list.CreateAlbum(tags->FirstChild(), atWork4, "", "work");
  auto item = NewItem();
  a->AddItem(item.get(), 0);

  // Only albums of the type that have no children left.
  EXPECT_EQ(list.DeleteAlbumEx(tags, atWork4), 1);
  EXPECT_EQ(other->Parent(), tags->FirstChild());
  EXPECT_EQ(Names(tags->FirstChild()), (std::vector<std::string>{"b"}));
  EXPECT_EQ(list.DeleteAlbumEx(tags, atUnknown), 3);
  EXPECT_FALSE(tags->HasChildren());
  EXPECT_TRUE(item->Tags().empty());
  std::vector<TCustomFolder*> removed;
  tags->GetOtherChildren(removed);
  EXPECT_EQ(removed.size(), 1u) << "deleted albums are kept, not freed";
  EXPECT_FALSE(list.CleanUpChilds(tags));
}

TEST_F(AlbumFixture, CopiesTakeCatalogKindsWithTheirGroupsSortedAndRecursively) {
  auto photo = NewItem(1), metafile = NewItem(3), sound = NewItem(7), thumbnail = NewItem(4);
  TAlbum* source = Album("source");
  source->AddItem(photo.get(), 3);
  source->AddItem(metafile.get(), 4);
  source->AddItem(sound.get(), 5);
  source->AddItem(thumbnail.get(), 6);
  TAlbum* child = Album("child", source);
  child->AddItem(photo.get(), 9);
  TAlbum* target = list.Root(atWork5);
  TAlbum* copy = list.CopyAlbum(target, source, true);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetName(), "source");
  EXPECT_EQ(copy->ItemCount(), 2) << "only the catalogued kinds 0, 1, 5, 6 and 7";
  EXPECT_EQ(copy->FindEntry(photo.get())->GroupNumber, 3);
  EXPECT_EQ(copy->FindEntry(sound.get())->GroupNumber, 5);
  EXPECT_EQ(copy->FindEntry(metafile.get()), nullptr);
  ASSERT_NE(copy->FirstChild(), nullptr);
  EXPECT_EQ(copy->FirstChild()->FindEntry(photo.get())->GroupNumber, 9);
  EXPECT_EQ(list.CopyAlbum(target, nullptr, true), nullptr);
  EXPECT_EQ(list.CopyAlbum(nullptr, source, false), nullptr);
}

TEST_F(AlbumFixture, NewTraysAreNumberedUnderTheTrayRoot) {
  TAlbum* first = CreateNewTrayAlbum(list);
  TAlbum* second = CreateNewTrayAlbum(list);
  EXPECT_EQ(first->GetName(), "OstraTray");
  EXPECT_EQ(second->GetName(), "OstraTray(1)");
  EXPECT_EQ(first->AlbumType(), atTray);
  EXPECT_EQ(first->SourceText(), "作業用トレイ");
  EXPECT_EQ(first->Parent(), list.Root(atTray));
  EXPECT_THROW(list.CreateAlbum(nullptr, atAlbum, "", "x"), EAlbumListError);
}

TEST_F(AlbumFixture, TheTraysOrderReachesItsItemsWhenListed) {
  TAlbum* tray = CreateNewTrayAlbum(list);
  std::vector<std::unique_ptr<TCatalogItem>> items;
  const int16_t order[] = {2, 0, -1, 1};
  for (int16_t position : order) {
    items.push_back(NewItem());
    TAlbumItem* entry = tray->AddItem(items.back().get(), 0);
    std::lock_guard guard(tray->Lock());
    entry->OrderNumber = position;
  }
  std::vector<TCatalogItem*> listed;
  tray->GetItems(listed);
  ASSERT_EQ(listed.size(), 4u);
  std::stable_sort(listed.begin(), listed.end(),
                   [](TCatalogItem* x, TCatalogItem* y) { return x->Sequence() < y->Sequence(); });
  EXPECT_EQ(listed, (std::vector<TCatalogItem*>{items[1].get(), items[3].get(), items[0].get(), items[2].get()}))
      << "a new entry (-1) comes last";
}

TEST(AlbumListTest, AlbumEventsReachTheListenersOnTheUiThread) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  TAlbumList list;
  TFolderUpdateMaster updates;
  std::vector<std::pair<TFolderUpdatedType, bool>> received;
  int owner = 0;
  updates.RegisterListener(&owner, "TFrameAlbumTree", "OnAlbumUpdated",
                           [&](TCustomFolder*, TFolderUpdatedType kind, TFolderEventParam) {
                             received.emplace_back(kind, ui.IsUiThread());
                           });
  list.SetAlbumUpdatedProc(updates.Handler());
  std::thread([&] {
    TAlbum* album = list.CreateAlbum(list.Root(atAlbum), atAlbum, "", "Trip");
    album->Rename("Journey");
    album->Delete();
  }).join();
  for (int i = 0; i < 300 && received.size() < 3; ++i) ui.PumpFor(10);
  EXPECT_EQ(received, (std::vector<std::pair<TFolderUpdatedType, bool>>{
                          {futCreated, true}, {futRenamed, true}, {futDeleted, true}}));
}

}  // namespace
}  // namespace plb

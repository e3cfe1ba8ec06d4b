#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "platform/record_stream.h"

namespace plb {
namespace {

std::unique_ptr<TCatalogItem> NewItem(int32_t recordNumber, uint8_t kind = 1) {
  auto item = std::make_unique<TCatalogItem>();
  TCatalogItemBlock block = item->Block();
  block.kind = kind;
  block.recordNumber = recordNumber;
  item->SetBlock(block);
  return item;
}

// Writes album records of any version the way earlier writers did.
struct RecordSpec {
  uint32_t version = kAlbumRecordVersion;
  uint8_t type = 0;
  std::string name, source, caption, host;
  uint8_t options = 0;
  int32_t value = 0;
  uint32_t entries = 0;         // entries with record numbers 0, 1, ...
  uint32_t claimedEntries = 0;  // a count to write instead, without the entries
  uint16_t adjustmentSize = 28;
  std::vector<RecordSpec> children;
};

void WriteRecord(RecordWriter& w, const RecordSpec& r) {
  w.U32(r.version);
  if (r.version < 12) {
    w.U8(r.type);
    w.U32(r.entries);
    w.Text(r.name);
    w.Text(r.source);
    for (uint32_t i = 0; i < r.entries; ++i) {
      w.I32(static_cast<int32_t>(i));
      w.I32(40 + static_cast<int32_t>(i));
      if (r.version != 10) w.I16(static_cast<int16_t>(i + 1));
    }
    return;
  }
  w.U8(r.type);
  w.Text(r.name);
  w.Text(r.source);
  if (r.version >= 0x700) w.Text(r.caption);
  if (r.version >= 0x1000) w.Text(r.host);
  w.U8(r.options);
  if (r.version >= 13) w.I32(r.value);
  w.U32(r.claimedEntries ? r.claimedEntries : r.entries);
  for (uint32_t i = 0; i < r.entries; ++i) {
    w.I32(static_cast<int32_t>(i));
    w.I32(40 + static_cast<int32_t>(i));
    w.I16(static_cast<int16_t>(i + 1));
    if (r.version >= 0x800) {
      w.Text("uuid" + std::to_string(i));
      w.I32(6);
    }
    if (r.version >= 0x900) {
      w.U16(r.adjustmentSize);
      for (uint16_t b = 0; b < r.adjustmentSize; ++b) w.U8(static_cast<uint8_t>(b + 1));
      w.Text("comment");
    }
  }
  w.U32(static_cast<uint32_t>(r.children.size()));
  for (const RecordSpec& child : r.children) WriteRecord(w, child);
}

std::string Block(const std::function<void(RecordWriter&, int type)>& root, uint32_t blockVersion = 50) {
  std::string bytes;
  RecordWriter w(bytes);
  w.U32(blockVersion);
  w.U32(0);
  w.F64(45000.5);
  for (int type = 0; type < kAlbumTypeCount; ++type) root(w, type);
  w.Flush();
  return bytes;
}

RecordSpec PlainRoot(int type) {
  RecordSpec r;
  r.type = static_cast<uint8_t>(type);
  r.name = AlbumTypeName(type);
  r.source = AlbumRootSourceText(type);
  return r;
}

void Load(TAlbumList& list, const std::string& bytes) {
  RecordReader in(bytes);
  list.LoadFromStream(in);
}

std::string Save(TAlbumList& list) {
  std::string bytes;
  RecordWriter w(bytes);
  list.SaveToStream(w);
  w.Flush();
  std::memset(bytes.data() + 8, 0, 8);  // the time of saving
  return bytes;
}

TEST(AlbumRecordTest, TheAlbumBlockRoundTripsByteForByte) {
  std::vector<std::unique_ptr<TCatalogItem>> items;
  for (int i = 0; i < 4; ++i) items.push_back(NewItem(i));
  TAlbumList first;
  TAlbum* book = first.CreateAlbum(first.Root(atAlbum), atAlbum, "PB-1", "B0001");
  book->SetCaption("夏の旅");
  book->SetHostName("books.example");
  book->SetPinned(true);
  book->SetAlbumValue(-7);
  for (int i = 0; i < 3; ++i) {
    TAlbumItem* e = book->AddItem(items[static_cast<size_t>(i)].get(), i);
    std::lock_guard guard(book->Lock());
    e->OrderNumber = static_cast<int16_t>(10 - i);
    e->ResourceUuid = "uuid-" + std::to_string(i);
    e->Orientation = 6;
    e->ColorAdjustment.gamma = 120 + i;
    e->Comment = "写真 " + std::to_string(i);
  }
  TAlbum* page = first.CreateAlbum(book, atAlbum, "", "page");
  page->AddItem(items[3].get(), 2);
  first.GetAlbumFromPathEx(atTag, "family\\kids", true)->AddItem(items[1].get(), 0);
  const std::string bytes = Save(first);

  TAlbumList second;
  Load(second, bytes);
  std::vector<TCatalogItem*> index;
  for (auto& item : items) index.push_back(item.get());
  second.SetupFromIDList(index);
  EXPECT_EQ(Save(second), bytes);

  TAlbum* loaded = second.GetAlbumFromPath("アルバム\\B0001");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Caption(), "夏の旅");
  EXPECT_EQ(loaded->HostName(), "books.example");
  EXPECT_TRUE(loaded->Pinned());
  EXPECT_EQ(loaded->AlbumValue(), -7);
  const TAlbumItem* e = loaded->FindEntry(items[2].get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->ResourceUuid, "uuid-2");
  const int32_t gamma = e->ColorAdjustment.gamma;  // a packed field: no reference to it
  EXPECT_EQ(gamma, 122);
  EXPECT_EQ(e->Comment, "写真 2");
  EXPECT_EQ(items[1]->Tags().size(), 4u) << "both lists and both albums of each hold it";
}

TEST(AlbumRecordTest, EveryRecordVersionReadsItsOwnFields) {
  enum Form { kShort, kMedium, kFull, kOld10, kOld11 };
  struct Case {
    uint32_t version;
    bool caption, host, value;
    Form form;
  } cases[] = {
      {0x1100, true, true, true, kFull},   {0x1000, true, true, true, kFull},    {0x0FFF, true, false, true, kFull},
      {0x0900, true, false, true, kFull},  {0x08FF, true, false, true, kMedium}, {0x0800, true, false, true, kMedium},
      {0x07FF, true, false, true, kShort}, {0x0700, true, false, true, kShort},  {0x06FF, false, false, true, kShort},
      {13, false, false, true, kShort},    {12, false, false, false, kShort},    {11, false, false, false, kOld11},
      {10, false, false, false, kOld10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    RecordSpec child;
    child.version = c.version;
    child.type = atTag;
    child.name = "child";
    child.source = "src";
    child.caption = "cap";
    child.host = "host";
    child.value = 99;
    child.entries = 2;
    TAlbumList list;
    Load(list, Block([&](RecordWriter& w, int type) {
           RecordSpec root = PlainRoot(type);
           if (type == atTag) root.children = {child};
           WriteRecord(w, root);
         }));
    std::vector<std::unique_ptr<TCatalogItem>> items;
    items.push_back(NewItem(0));
    items.push_back(NewItem(1));
    list.SetupFromIDList({items[0].get(), items[1].get()});
    TAlbum* album = list.Root(atTag)->FirstChild();
    ASSERT_NE(album, nullptr);
    EXPECT_EQ(album->GetName(), "child");
    EXPECT_EQ(album->SourceText(), "src");
    EXPECT_EQ(album->Caption(), c.caption ? "cap" : "");
    EXPECT_EQ(album->HostName(), c.host ? "host" : "");
    EXPECT_EQ(album->AlbumValue(), c.value ? 99 : 0);
    ASSERT_EQ(album->ItemCount(), 2);
    const TAlbumItem* e = album->FindEntry(items[1].get());
    EXPECT_EQ(e->GroupNumber, 41);
    EXPECT_EQ(e->OrderNumber, c.form == kOld10 ? -1 : 2);
    EXPECT_EQ(e->ResourceUuid, c.form == kMedium || c.form == kFull ? "uuid1" : "");
    EXPECT_EQ(e->Comment, c.form == kFull ? "comment" : "");
    EXPECT_EQ(e->ColorAdjustment.enabled, c.form == kFull ? 1 : 0);
  }
}

TEST(AlbumRecordTest, OtherColourAdjustmentSizesKeepTheFirst28Bytes) {
  for (uint16_t size : {0, 10, 28, 40}) {
    SCOPED_TRACE(size);
    RecordSpec child;
    child.name = "c";
    child.entries = 1;
    child.adjustmentSize = size;
    TAlbumList list;
    Load(list, Block([&](RecordWriter& w, int type) {
           RecordSpec root = PlainRoot(type);
           if (type == 0) root.children = {child};
           WriteRecord(w, root);
         }));
    auto item = NewItem(0);
    list.SetupFromIDList({item.get()});
    const TAlbumItem* e = list.Root(0)->FirstChild()->FindEntry(item.get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Comment, "comment") << "the record after the block is read in step";
    EXPECT_EQ(e->ColorAdjustment.enabled, size > 0 ? 1 : 0);
  }
}

TEST(AlbumRecordTest, TheOldestLayoutPlacesFlatAlbumsUnderTheirTypeRoots) {
  std::string bytes;
  RecordWriter w(bytes);
  w.U32(49);
  w.U32(4);  // album count
  w.F64(0);
  RecordSpec tag;
  tag.version = 11;
  tag.type = atTag;
  tag.name = "family";
  tag.entries = 1;
  RecordSpec odd = tag;
  odd.version = 10;
  odd.type = 200;  // no such root
  odd.name = "odd";
  RecordSpec broken = tag;
  broken.version = 7;
  WriteRecord(w, tag);
  WriteRecord(w, odd);
  WriteRecord(w, broken);  // ends the reading quietly
  WriteRecord(w, tag);
  w.Flush();
  TAlbumList list;
  Load(list, bytes);
  ASSERT_NE(list.GetAlbumFromPath("タグ\\family"), nullptr);
  EXPECT_EQ(list.Root(atTag)->Children().size(), 1u);
  EXPECT_NE(list.GetAlbumFromPath("不明\\odd"), nullptr);
  EXPECT_EQ(list.GetAlbumFromPath("不明\\odd")->AlbumType(), atUnknown);
}

std::string LoadError(const std::string& bytes) {
  TAlbumList list;
  try {
    Load(list, bytes);
  } catch (const EAlbumListError& e) {
    return e.Message();
  }
  return "";
}

TEST(AlbumRecordTest, DamagedBlocksFailCleanly) {
  RecordSpec child;
  child.name = "c";
  child.entries = 3;
  child.children = {RecordSpec{}};
  const std::string good = Block([&](RecordWriter& w, int type) {
    RecordSpec root = PlainRoot(type);
    if (type == 0) root.children = {child};
    WriteRecord(w, root);
  });
  EXPECT_EQ(LoadError(good), "");
  for (size_t cut = 0; cut < good.size(); ++cut) {
    const std::string message = LoadError(good.substr(0, cut));
    EXPECT_EQ(message.rfind("EReadError Raised in TAlbumList.LoadFromStream (", 0), 0u) << cut << ": " << message;
  }

  RecordSpec unknown;
  unknown.version = 9;
  const std::string old = Block([&](RecordWriter& w, int type) {
    RecordSpec root = PlainRoot(type);
    if (type == 0) root.children = {unknown};
    WriteRecord(w, root);
  });
  EXPECT_EQ(LoadError(old).rfind("EReadError Raised in TAlbumList.LoadFromStream (", 0), 0u);

  const std::string swapped =
      Block([&](RecordWriter& w, int type) { WriteRecord(w, PlainRoot(type == 3 ? 4 : type)); });
  EXPECT_NE(LoadError(swapped), "") << "a root record of another type";

  RecordSpec counted;
  counted.name = "c";
  counted.claimedEntries = 0xFFFFFFF0u;
  const std::string lying = Block([&](RecordWriter& w, int type) {
    RecordSpec root = PlainRoot(type);
    if (type == 0) root.children = {counted};
    WriteRecord(w, root);
  });
  EXPECT_NE(LoadError(lying), "") << "a count beyond the data";

  // Nesting deeper than any real album tree.
  RecordSpec deep;
  for (int i = 0; i < 200; ++i) {
    RecordSpec parent;
    parent.name = "d";
    parent.children = {deep};
    deep = parent;
  }
  const std::string nested = Block([&](RecordWriter& w, int type) {
    RecordSpec root = PlainRoot(type);
    if (type == 0) root.children = {deep};
    WriteRecord(w, root);
  });
  EXPECT_NE(LoadError(nested), "");
}

TEST(AlbumRecordTest, ResolvingDropsUnknownAndRepeatedRecordNumbers) {
  RecordSpec child;
  child.name = "c";
  child.entries = 5;  // record numbers 0 to 4
  TAlbumList list;
  Load(list, Block([&](RecordWriter& w, int type) {
         RecordSpec root = PlainRoot(type);
         if (type == 0) root.children = {child, child};
         WriteRecord(w, root);
       }));
  TAlbum* album = list.Root(0)->FirstChild();
  // Both children hold the same entries; the second one goes under the first for the test.
  TAlbum* twin = album->Parent()->Children()[1];
  ASSERT_NE(album, twin);
  auto a = NewItem(0), b = NewItem(1);
  // Index 2 is empty, 3 repeats item a, 4 is beyond the index.
  list.SetupFromIDList({a.get(), b.get(), nullptr, a.get()});
  EXPECT_EQ(album->ItemCount(), 2);
  EXPECT_EQ(album->RemovedEntryCount(), 3);
  EXPECT_EQ(a->Tags(), (std::vector<TCustomFolder*>{album, twin}));
  album->RemoveItem(a.get());
  EXPECT_EQ(album->FindEntry(a.get()), nullptr) << "no second entry of the item stayed behind";
  EXPECT_EQ(a->Tags(), std::vector<TCustomFolder*>{twin});
}

}  // namespace
}  // namespace plb

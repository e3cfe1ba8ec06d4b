#include "engine/model/catalog_item.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "platform/record_stream.h"

namespace plb {
namespace {

// Records what the calendar is told.
class CalendarLog : public ICalendarLink {
 public:
  CalendarLog() { SetCalendarLink(this); }
  ~CalendarLog() override { SetCalendarLink(nullptr); }
  void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) override {
    changes.push_back({item, oldDate, newDate});
  }
  struct Change {
    TCatalogItem* item;
    double oldDate, newDate;
  };
  std::vector<Change> changes;
};

// An album that drops items when told to forget them.
class FakeAlbum : public TCustomFolder {
 public:
  explicit FakeAlbum(uint8_t type) : type_(type) {}
  const char* ClassName() const override { return "FakeAlbum"; }
  uint8_t Kind() const override { return 3; }
  uint8_t AlbumType() const override { return type_; }
  std::string GetName() const override { return "album"; }
  std::string GetFullName() const override { return "\\album"; }
  bool HasChildren() const override { return false; }
  TCustomFolder* GetParent() const override { return nullptr; }
  int32_t ItemCount() const override { return 0; }
  int32_t ItemCountOf(TKindSet) const override { return 0; }
  int32_t MarkedCount() const override { return 0; }
  bool IsDescendantOf(const TCustomFolder*) const override { return false; }
  void GetChildFolders(std::vector<TCustomFolder*>&) const override {}
  void GetOtherChildren(std::vector<TCustomFolder*>&) const override {}
  void GetItems(std::vector<TCatalogItem*>&) const override {}
  void GetItemsOf(TKindSet, std::vector<TCatalogItem*>&) const override {}
  void ForgetItem(TCatalogItem* item) override {
    forgotten.push_back(item);
    item->RemoveTag(this);
  }
  std::vector<TCatalogItem*> forgotten;

 private:
  uint8_t type_;
};

std::string Save(TCatalogItem& item) {
  std::string bytes;
  RecordWriter w(bytes);
  item.SaveToStream(w);
  return bytes;
}

void Load(TCatalogItem& item, const std::string& bytes) {
  RecordReader r(bytes);
  item.LoadFromStream(r);
  EXPECT_TRUE(r.AtEnd());
}

// An item with every field set to something other than its default.
void FillItem(TCatalogItem& item) {
  TCatalogItemBlock b;
  b.recordNumber = 12;
  b.kind = fkJpeg;
  b.pixelFormat = 6;
  b.width = 4000;
  b.height = 3000;
  b.fileSize = 123456;
  b.fileDate = 45000.5;
  b.color = {1, 10, -5, 120, 1, 2, 3, 4, 5, 6};
  b.position = 7;
  b.exifState = 1;
  b.counter = 3;
  b.flags = cifMark | cifSecondMark;
  b.orientation = 6;
  b.thumbnailIndex = 99;
  b.previewIndex = 98;
  b.shootingDate = 44000.25;
  b.fourLevelMark = 2;
  b.exifValues[2] = 5.6f;
  b.orientationFixed = 1;
  b.trimmingOn = 1;
  b.trimLeft = 10, b.trimTop = 20, b.trimRight = 310, b.trimBottom = 220;
  b.aspectX = 3, b.aspectY = 2;
  item.SetBlock(b);
  item.SetFileNameRaw("IMG_0001.JPG");
  item.SetTitle("title");
  item.SetSecondTitle("second");
  item.SetComment("コメント\r\nline two");
  item.SetExifText1("exif1");
  item.SetExifText2("exif2");
  item.SetRemoteRef("remote");
}

TEST(CatalogItem, NewItemHasTheDocumentedDefaults) {
  TCatalogItem item;
  const TCatalogItemBlock b = item.Block();
  EXPECT_EQ(+b.spareValue, -1);
  EXPECT_EQ(+b.color.gamma, 100);
  EXPECT_EQ(+b.position, -1);
  EXPECT_EQ(+b.flags, 20);
  EXPECT_EQ(+b.orientation, 1);
  EXPECT_EQ(+b.thumbnailIndex, -1);
  EXPECT_EQ(+b.previewIndex, -1);
  EXPECT_EQ(item.Sequence(), 0xFFFF);
  EXPECT_EQ(item.State(), cisNew);
}

TEST(CatalogItem, CurrentRecordHasTheFixedLayoutAndReadsBackIdentically) {
  TCatalogItem item;
  FillItem(item);
  const std::string bytes = Save(item);
  // Header, then the block at its offsets: record number, kind, width, file date, orientation,
  // shooting date, aspect.
  ASSERT_GE(bytes.size(), 6u + 161u);
  RecordReader r(bytes);
  EXPECT_EQ(r.U32(), 54u);
  EXPECT_EQ(r.U16(), 161u);
  const std::string block = bytes.substr(6, 161);
  const auto at = [&](size_t offset, size_t n) { return block.substr(offset, n); };
  EXPECT_EQ(at(0, 4), std::string("\x0C\0\0\0", 4));
  EXPECT_EQ(at(4, 4), std::string("\0\0\0\0", 4)) << "the spare value is stored as 0";
  EXPECT_EQ(at(8, 1), "\x01");
  EXPECT_EQ(at(10, 4), std::string("\xA0\x0F\0\0", 4));
  double date;
  std::memcpy(&date, block.data() + 22, 8);
  EXPECT_EQ(date, 45000.5);
  EXPECT_EQ(at(94, 2), std::string("\x06\0", 2));
  std::memcpy(&date, block.data() + 104, 8);
  EXPECT_EQ(date, 44000.25);
  EXPECT_EQ(at(157, 4), std::string("\x03\0\x02\0", 4));
  // The strings follow in their order.
  RecordReader texts(std::string_view(bytes).substr(6 + 161));
  for (const char* expected : {"IMG_0001.JPG", "title", "second", "コメント\r\nline two", "exif1", "exif2", "remote"}) {
    EXPECT_EQ(texts.Text(), expected);
  }

  TCatalogItem back;
  Load(back, bytes);
  EXPECT_EQ(Save(back), bytes);
  EXPECT_EQ(back.FileName(), "IMG_0001.JPG");
  EXPECT_EQ(back.Comment(), "コメント\r\nline two");
  EXPECT_EQ(back.RemoteRef(), "remote");
}

// A record of the current form with another version number and block size.
std::string CurrentForm(uint32_t version, uint16_t blockSize, bool withRemote) {
  std::string bytes;
  RecordWriter w(bytes);
  w.U32(version);
  w.U16(blockSize);
  std::string block(blockSize, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(0x40 + i % 7);
  w.Bytes(block.data(), block.size());
  for (const char* t : {"a.jpg", "t", "s", "c", "e1", "e2"}) w.Text(t);
  if (withRemote) w.Text("r");
  return bytes;
}

TEST(CatalogItem, BlockSizesAndVersionsOfTheCurrentForm) {
  {
    SCOPED_TRACE("block size 100 fills only the first 100 bytes");
    TCatalogItem item;
    const TCatalogItemBlock before = item.Block();
    Load(item, CurrentForm(54, 100, true));
    const TCatalogItemBlock after = item.Block();
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(&after)[99], 0x40 + 99 % 7);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&after) + 100,
                          reinterpret_cast<const uint8_t*>(&before) + 100, 61),
              0);
  }
  {
    SCOPED_TRACE("block size 200 skips 39 bytes");
    TCatalogItem item;
    Load(item, CurrentForm(54, 200, true));
    EXPECT_EQ(item.FileName(), "a.jpg");
    EXPECT_EQ(item.RemoteRef(), "r");
  }
  {
    SCOPED_TRACE("version 51 has no remote reference and fixes the orientation");
    TCatalogItem item;
    std::string bytes = CurrentForm(51, 161, false);
    // orientation-fixed at 139 is 0 in this record
    bytes[6 + 139] = 0;
    Load(item, bytes);
    EXPECT_EQ(item.RemoteRef(), "");
    EXPECT_EQ(+item.Block().orientationFixed, 1);
  }
}

// The group G(n) of the earlier layouts.
void WriteGroup(RecordWriter& w, int cacheFlags, uint8_t rotation, uint8_t flipA, uint8_t flipB) {
  w.U8(fkRaw);
  w.U8(6);
  w.I32(640);
  w.I32(480);
  w.I32(1000);
  w.F64(40000.5);
  w.U8(1);  // mark
  TColorAdjustment color{1, 5, 6, 90, 1, 2, 3, 7, 8, 9};
  w.Bytes(&color, 28);
  w.U8(rotation);
  w.U8(flipA);
  w.U8(flipB);
  for (int i = 0; i < cacheFlags; ++i) w.U8(static_cast<uint8_t>(i + 1));
}

TEST(CatalogItem, EarlierLayoutsDecodeToTheirFields) {
  {
    SCOPED_TRACE("version 49");
    std::string bytes;
    RecordWriter w(bytes);
    w.U32(49);
    w.I32(5);
    w.I32(-1);
    w.Text("old.cr2");
    WriteGroup(w, 5, 1, 0, 0);
    for (int i = 0; i < 5; ++i) w.I32(100 + i);
    w.Bytes(std::string(111, '\x55').data(), 111);
    w.U8(4);  // counter
    w.Bytes("\1\2\3\4\5", 5);
    w.U8(2);  // EXIF state
    w.U8(0);
    w.U8(1);  // external player
    w.Text("T");
    w.Text("S");
    w.Text("C");
    w.I16(9);
    TCatalogItem item;
    Load(item, bytes);
    const TCatalogItemBlock b = item.Block();
    EXPECT_EQ(item.FileName(), "old.cr2");
    EXPECT_EQ(+b.recordNumber, 5);
    EXPECT_EQ(+b.kind, fkRaw);
    EXPECT_EQ(+b.width, 640);
    EXPECT_EQ(+b.fileDate, 40000.5);
    EXPECT_TRUE(item.Mark());
    EXPECT_EQ(+b.color.gamma, 90);
    EXPECT_EQ(+b.color.filter3, 9);
    EXPECT_EQ(+b.orientation, 6);
    EXPECT_EQ(+b.orientationFixed, 1);
    EXPECT_EQ(+b.cacheFlags[4], 5);
    EXPECT_EQ(+b.cacheSlots[4], 104);
    EXPECT_EQ(+b.counter, 4);
    EXPECT_EQ(+b.exifState, 2);
    EXPECT_TRUE(b.flags & cifExternalPlayer);
    EXPECT_EQ(item.Comment(), "C");
    EXPECT_EQ(+b.position, 9);
  }
  {
    SCOPED_TRACE("version 26: EXIF text, reserved 218, no stored player flag, no titles");
    std::string bytes;
    RecordWriter w(bytes);
    w.U32(26);
    w.I32(1);
    w.I32(0);
    w.Text("p.jpg");
    WriteGroup(w, 3, 2, 1, 1);
    for (int i = 0; i < 3; ++i) w.I32(i);
    w.Bytes(std::string(218, '\0').data(), 218);
    w.U8(1);
    w.Bytes("\0\0\0", 3);
    w.Text("Make=X");
    w.Text("comment");
    TCatalogItem item;
    Load(item, bytes);
    const TCatalogItemBlock b = item.Block();
    EXPECT_EQ(item.FileName(), "p.jpg");
    EXPECT_EQ(+b.orientation, 1) << "both flips, rotation 2";
    EXPECT_EQ(+b.exifState, 0) << "only a JPEG item takes the EXIF text as EXIF data";
    EXPECT_TRUE(b.flags & cifExternalPlayer);
    EXPECT_EQ(item.Comment(), "comment");
  }
  {
    SCOPED_TRACE("version 13 and version 20");
    for (uint32_t version : {13u, 20u}) {
      std::string bytes;
      RecordWriter w(bytes);
      w.U32(version);
      w.I32(3);
      w.I32(0);  // spare value (from version 12)
      w.Text("v.jpg");
      w.I32(320);
      w.I32(240);
      w.I32(77);
      w.F64(30000.0);
      w.U8(0);
      w.Bytes(std::string(25, '\x01').data(), 25);
      w.U8(7);  // rotation byte out of range: its quarter turn counts
      if (version >= 14) w.Bytes("\0\1", 2);
      w.Bytes("\1\0\1", 3);
      for (int i = 0; i < 3; ++i) w.I32(-1);
      w.Bytes(std::string(434, '\0').data(), 434);
      w.Text("legacy");
      TCatalogItem item;
      Load(item, bytes);
      const TCatalogItemBlock b = item.Block();
      EXPECT_EQ(+b.kind, fkJpeg);
      EXPECT_EQ(+b.pixelFormat, 6);
      EXPECT_EQ(+b.width, 320);
      EXPECT_EQ(+b.color.filter1, 0);
      EXPECT_EQ(+b.orientation, version >= 14 ? 7 : 8) << "rotation 7 counts as 3";
      EXPECT_EQ(+b.counter, 0);
      EXPECT_TRUE(b.flags & cifExternalPlayer);
      EXPECT_EQ(item.Comment(), "legacy");
    }
  }
}

TEST(CatalogItem, DamagedRecordsFailWithReadErrorAndLeaveTheItemAlone) {
  TCatalogItem good;
  FillItem(good);
  const std::string bytes = Save(good);
  std::string hugeName = bytes;
  // The file name's length field follows the block.
  hugeName.replace(6 + 161, 4, std::string("\xFF\xFF\xFF\x7F", 4));
  std::string negativeName = bytes;
  negativeName.replace(6 + 161, 4, std::string("\xFE\xFF\xFF\xFF", 4));
  for (const std::string& damaged :
       {bytes.substr(0, 3), bytes.substr(0, 100), bytes.substr(0, bytes.size() - 1), hugeName, negativeName}) {
    TCatalogItem item;
    item.SetFileNameRaw("keep.jpg");
    RecordReader r(damaged);
    EXPECT_THROW(item.LoadFromStream(r), EReadError);
    EXPECT_EQ(item.FileName(), "keep.jpg");
    EXPECT_EQ(+item.Block().recordNumber, 0);
  }
}

TEST(CatalogItem, ScanKeepsDerivedDataWhileSizeAndTimeStay) {
  TCatalogItem item;
  item.SetFileNameRaw("a.jpg");
  TItemDirEntry entry{"a.jpg", 1000, 45000.5, false};
  item.UpdateFromEntry(entry, fkJpeg, true);
  item.ApplyImageInfo({6, 4000, 3000, true, 6, 44000.0}, true);
  item.SetMark(true);
  item.SetComment("kept");
  item.SetThumbnailIndex(3);
  TCatalogItemBlock b = item.Block();
  b.cacheSlots[0] = 42;
  b.flags &= static_cast<uint8_t>(~(cifChanged | cifPreviewReset | cifMusicChanged));
  b.previewIndex = 5;
  item.SetBlock(b);

  item.UpdateFromEntry(entry, fkJpeg, true);
  b = item.Block();
  EXPECT_EQ(+b.width, 4000);
  EXPECT_EQ(+b.exifState, 1);
  EXPECT_EQ(+b.cacheSlots[0], 42);
  EXPECT_EQ(+b.previewIndex, 5);
  EXPECT_EQ(+b.orientation, 6);
  EXPECT_EQ(item.State(), cisPresent);

  for (const TItemDirEntry& changed :
       {TItemDirEntry{"a.jpg", 1001, 45000.5, true}, TItemDirEntry{"a.jpg", 1000, 45001.0, true}}) {
    item.UpdateFromEntry(changed, fkJpeg, true);
    b = item.Block();
    EXPECT_EQ(+b.width, 0);
    EXPECT_EQ(+b.height, 0);
    EXPECT_EQ(+b.exifState, 0);
    EXPECT_EQ(+b.orientation, 1) << "not fixed: back to 1";
    EXPECT_EQ(+b.cacheSlots[0], -1);
    EXPECT_EQ(+b.previewIndex, -1);
    EXPECT_EQ(b.flags & (cifChanged | cifPreviewReset | cifMusicChanged),
              cifChanged | cifPreviewReset | cifMusicChanged);
    EXPECT_TRUE(b.flags & cifReadOnly);
    EXPECT_TRUE(item.Mark());
    EXPECT_EQ(item.Comment(), "kept");
    EXPECT_EQ(item.ThumbnailIndex(), 3);
  }
  item.SetOrientation(8);
  item.UpdateFromEntry({"a.jpg", 5, 1.0, false}, fkJpeg, false);
  EXPECT_EQ(item.Orientation(), 8) << "a fixed orientation survives a changed file";

  TCatalogItem sound;
  sound.UpdateFromEntry({"s.mp3", 5, 1.0, false}, fkSound, false);
  EXPECT_EQ(sound.ExifState(), 2);
}

TEST(CatalogItem, OrientationTablesAndDisplayedSize) {
  const uint16_t right[] = {6, 7, 8, 5, 2, 3, 4, 1};
  const uint16_t left[] = {8, 5, 6, 7, 4, 1, 2, 3};
  const uint16_t vertical[] = {4, 3, 2, 1, 8, 7, 6, 5};
  const uint16_t horizontal[] = {2, 1, 4, 3, 6, 5, 8, 7};
  for (uint16_t o = 1; o <= 8; ++o) {
    EXPECT_EQ(RotateOrientationRight(o), right[o - 1]);
    EXPECT_EQ(RotateOrientationLeft(o), left[o - 1]);
    EXPECT_EQ(FlipOrientationVertically(o), vertical[o - 1]);
    EXPECT_EQ(FlipOrientationHorizontally(o), horizontal[o - 1]);
    EXPECT_EQ(RotateOrientationLeft(RotateOrientationRight(o)), o);
  }
  const int turns[] = {0, 0, 2, 0, 3, 1, 1, 3};
  for (uint16_t o = 1; o <= 8; ++o) EXPECT_EQ(OrientationQuarterTurns(o), turns[o - 1]) << o;

  TCatalogItem item;
  item.ApplyImageInfo({6, 4000, 3000, true, 6, 0}, false);
  EXPECT_EQ(+item.Block().orientationFixed, 0);
  EXPECT_EQ(item.DisplayWidth(), 3000);
  EXPECT_EQ(item.DisplayHeight(), 4000);
  item.RotateRight();
  EXPECT_EQ(item.Orientation(), 3);
  EXPECT_EQ(+item.Block().orientationFixed, 1);
  item.SetOrientation(9);
  item.SetOrientation(0);
  EXPECT_EQ(item.Orientation(), 3);
  item.ApplyImageInfo({6, 4000, 3000, true, 6, 0}, false);
  EXPECT_EQ(item.Orientation(), 3) << "EXIF no longer applies once fixed";
}

TEST(CatalogItem, TrimmingInForceAndScaled) {
  TCatalogItem item;
  item.ApplyImageInfo({6, 400, 300, false, 1, 0}, false);
  item.SetTrimming(false, {10, 20, 110, 120}, 1, 1);
  EXPECT_FALSE(item.TrimmingInForce());
  item.SetTrimming(true, {10, 20, 10, 120}, 1, 1);
  EXPECT_FALSE(item.TrimmingInForce()) << "zero width";
  item.SetTrimming(true, {10, 20, 110, 120}, 1, 1);
  EXPECT_TRUE(item.TrimmingInForce());
  // 10 * 0.25 = 2.5 rounds up to 3; 20 * 0.5 = 10.
  EXPECT_EQ(item.ScaledTrimRect(100, 150), (TTrimRect{3, 10, 28, 60}));
  // Orientation 6 (a quarter turn right): the displayed picture is 300 x 400.
  item.SetOrientation(6);
  EXPECT_EQ(item.DisplayedTrimRect(300, 400), (TTrimRect{180, 10, 280, 110}));
  item.SetOrientation(2);
  EXPECT_EQ(item.DisplayedTrimRect(400, 300), (TTrimRect{290, 20, 390, 120}));
}

TEST(CatalogItem, StatesDatesAndTheCalendar) {
  CalendarLog calendar;
  FakeAlbum tray(6), tag(8);
  TCatalogItem item;
  item.SetShootingDate(100.0);
  EXPECT_TRUE(calendar.changes.empty()) << "not yet placed in the calendar";
  item.SetDateKnown(true);
  item.SetShootingDate(101.0);
  item.SetShootingDate(101.0);
  ASSERT_EQ(calendar.changes.size(), 2u);
  EXPECT_EQ(calendar.changes[0].newDate, 100.0);
  EXPECT_EQ(calendar.changes[1].oldDate, 100.0);
  EXPECT_EQ(calendar.changes[1].newDate, 101.0);

  EXPECT_TRUE(item.AddTag(&tray));
  EXPECT_FALSE(item.AddTag(&tray));
  EXPECT_TRUE(item.AddTag(&tag));
  EXPECT_EQ(item.TagsOfAlbumTypes(1u << 8), std::vector<TCustomFolder*>{&tag});

  item.SetState(cisMissing);
  item.SetState(cisPresent);
  EXPECT_EQ(calendar.changes.size(), 2u);
  item.SetState(cisDeleted);
  ASSERT_EQ(calendar.changes.size(), 3u);
  EXPECT_EQ(calendar.changes[2].oldDate, 101.0);
  EXPECT_EQ(calendar.changes[2].newDate, 0.0);
  EXPECT_EQ(tray.forgotten, std::vector<TCatalogItem*>{&item});
  EXPECT_EQ(tag.forgotten, std::vector<TCatalogItem*>{&item});
  EXPECT_TRUE(item.Tags().empty());
  item.SetState(cisPresent);
  EXPECT_EQ(item.State(), cisDeleted) << "deleted is final";
  item.SetDateKnown(true);
  EXPECT_EQ(calendar.changes.size(), 3u);
}

// An item moved to no folder leaves the catalog, and its albums let it go; it is never freed while
// anything may still point at it.
TEST(CatalogItem, MovedToNoFolderItLeavesItsAlbumsAndStaysAllocated) {
  CalendarLog calendar;
  FakeAlbum tag(8);
  TFolder folder("/photos");
  TCatalogItem* item = folder.FindOrCreateItem("a.jpg");
  ASSERT_TRUE(item->AddTag(&tag));
  EXPECT_TRUE(item->MoveToFolder(nullptr, false));
  EXPECT_EQ(folder.FindItem("a.jpg"), nullptr);
  EXPECT_EQ(folder.RemovedItems(), std::vector<TCatalogItem*>{item}) << "kept, not freed";
  EXPECT_EQ(tag.forgotten, std::vector<TCatalogItem*>{item});
  EXPECT_EQ(item->State(), cisDeleted);
}

TEST(CatalogItem, CopyAttributesTakesTheEditsButNotTheThumbnail) {
  CalendarLog calendar;
  TCatalogItem from, to;
  FillItem(from);
  from.SetDateKnown(true);
  to.SetThumbnailIndex(55);
  to.SetFileNameRaw("copy.jpg");
  to.SetDateKnown(true);
  calendar.changes.clear();
  to.CopyAttributes(from);
  const TCatalogItemBlock b = to.Block();
  EXPECT_EQ(to.FileName(), "copy.jpg");
  EXPECT_EQ(to.Comment(), from.Comment());
  EXPECT_EQ(to.Title(), "title");
  EXPECT_EQ(+b.thumbnailIndex, 55);
  EXPECT_EQ(b.color, from.Block().color);
  EXPECT_EQ(+b.previewIndex, -1);
  EXPECT_EQ(+b.cacheSlots[0], -1);
  EXPECT_EQ(b.flags & (cifChanged | cifPreviewReset), cifChanged | cifPreviewReset);
  ASSERT_EQ(calendar.changes.size(), 1u);
  EXPECT_EQ(calendar.changes[0].oldDate, 0.0);
  EXPECT_EQ(calendar.changes[0].newDate, 44000.25);
}

class CountedAttachment : public TItemAttachment {
 public:
  explicit CountedAttachment(int& alive) : alive_(alive) { ++alive_; }
  ~CountedAttachment() override { --alive_; }

 private:
  int& alive_;
};

// Sizes beyond 4 GB, the attachment, the texts and the tags are kept together outside the item
// while any of them is set: none may be lost when another comes or goes.
TEST(CatalogItem, RareFieldsSurviveOneAnothersChanges) {
  constexpr uint64_t kBig = (uint64_t{5} << 32) + 1234;
  int alive = 0;
  FakeAlbum tag(1), otherTag(1);
  TCatalogItem item;
  item.UpdateFromEntry({"movie.mp4", kBig, 45000.5, false}, fkMovie, false);
  EXPECT_EQ(item.FileSize(), kBig);
  EXPECT_EQ(item.DisplayText(4), "21,474,837,714");
  item.SetAttachment(std::make_unique<CountedAttachment>(alive));
  item.AddTag(&tag);
  item.SetComment("comment");
  item.SetComment("");
  item.RemoveTag(&otherTag);
  EXPECT_EQ(item.FileSize(), kBig);
  EXPECT_NE(item.Attachment(), nullptr);
  EXPECT_EQ(item.Tags(), std::vector<TCustomFolder*>{&tag});

  // A record read over the item keeps its tags and attachment; records hold the low 32 bits.
  item.SetTitle("title");
  Load(item, Save(item));
  EXPECT_EQ(item.FileSize(), 1234u);
  EXPECT_EQ(item.Title(), "title");
  EXPECT_NE(item.Attachment(), nullptr);
  EXPECT_EQ(item.Tags(), std::vector<TCustomFolder*>{&tag});

  // The same file seen again keeps the attachment; a changed one drops it.
  item.UpdateFromEntry({"movie.mp4", 1234, 45000.5, false}, fkMovie, false);
  EXPECT_EQ(alive, 1);
  item.UpdateFromEntry({"movie.mp4", kBig, 45001.5, false}, fkMovie, false);
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(item.Attachment(), nullptr);
  EXPECT_EQ(item.FileSize(), kBig);
  EXPECT_EQ(item.Title(), "title");

  // A copy takes the other item's size and texts, keeps its own tags and drops its attachment.
  TCatalogItem copy;
  copy.AddTag(&otherTag);
  copy.SetAttachment(std::make_unique<CountedAttachment>(alive));
  copy.CopyAttributes(item);
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(copy.FileSize(), kBig);
  EXPECT_EQ(copy.Title(), "title");
  EXPECT_EQ(copy.Tags(), std::vector<TCustomFolder*>{&otherTag});

  // A block set whole is all there is to know of the size; a null attachment removes one.
  item.SetAttachment(std::make_unique<CountedAttachment>(alive));
  item.SetAttachment(nullptr);
  EXPECT_EQ(alive, 0);
  item.SetBlock(item.Block());
  EXPECT_EQ(item.FileSize(), 1234u);
  item.SetTitle("");
  item.RemoveTag(&tag);
  EXPECT_TRUE(item.Tags().empty());
  EXPECT_EQ(item.Title(), "");
}

TEST(CatalogItem, DisplayTexts) {
  TCatalogItem item;
  FillItem(item);
  item.UpdateFromEntry({"IMG_0001.JPG", 3000000000ull, 45000.5, false}, fkJpeg, false);
  item.ApplyImageInfo({6, 4000, 3000, false, 1, 0}, false);
  EXPECT_EQ(item.DisplayText(0), "IMG_0001.JPG");
  EXPECT_EQ(item.DisplayText(1), ".JPG");
  EXPECT_EQ(item.DisplayText(2), "4,000 x 3,000");
  EXPECT_EQ(item.DisplayText(3), "24bit");
  EXPECT_EQ(item.DisplayText(4), "3,000,000,000") << "a size above 2 GiB is never negative";
  EXPECT_EQ(item.DisplayText(5), "2023/03/15 12:00:00");
  EXPECT_EQ(item.DisplayText(7), "");
  EXPECT_EQ(item.DisplayText(8), "");
  EXPECT_EQ(item.LabeledDisplayText(6), "コメント line two");
  EXPECT_EQ(item.LabeledDisplayText(6, "%s: %s"), "コメント: コメント line two");
  EXPECT_EQ(item.LabeledDisplayText(9, "%s=%s"), "Unknown=");
}

}  // namespace
}  // namespace plb

// The eight-segment thumbnail store and the catalog cache: eviction within the budget, never a
// wrong thumbnail (also while writers recycle segments under readers), the index across a
// restart, damaged segments and indexes, and the memory kind that writes no file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "engine/model/catalog_item.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/image_fixtures.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

// Each item's thumbnail is a solid colour derived from its number, so a thumbnail read for the
// wrong item shows.
Bitmap ColourOf(int n, int32_t w = 40, int32_t h = 30) {
  return test::Solid(w, h, static_cast<uint8_t>(37 * n % 256), static_cast<uint8_t>(91 * n % 256),
                     static_cast<uint8_t>(13 + 59 * n % 200));
}

bool Shows(const Bitmap& read, int n) {
  const Bitmap expected = ColourOf(n, read.Width(), read.Height());
  return !read.Empty() && test::MeanDifference(read, expected) < 4.0;
}

struct Items {
  explicit Items(int n) {
    for (int i = 0; i < n; ++i) owned.push_back(std::make_unique<TCatalogItem>());
    for (auto& p : owned) list.push_back(p.get());
  }
  std::vector<std::unique_ptr<TCatalogItem>> owned;
  std::vector<TCatalogItem*> list;
};

std::string Folder() {
  const std::string f = test::TestRoot() + "/data";
  fs::create_directories(f);
  return f;
}

TEST(ImageCacheMaster, EvictionKeepsWithinTheBudgetAndForgetsWholeSegments) {
  Items items(400);
  TCatalogImageCacheMaster cache;
  const int64_t budget = 8 * 6000;
  cache.InitializeCatalog(ickMemory, "", true, budget);
  EXPECT_EQ(cache.SegmentLimit(), 6000);
  int64_t largest = 0;
  std::vector<int> segmentOf(400, -1);
  for (int i = 0; i < 400; ++i) {
    const Bitmap b = ColourOf(i);
    ASSERT_TRUE(cache.AddCatalogImage(items.list[i], &b, 160));
    EXPECT_EQ(items.list[i]->CacheIndex(), 160);
    segmentOf[i] = cache.GetImgCacheRecord(items.list[i]).segment;
    largest = std::max(largest, cache.SegmentSize(segmentOf[i]));
    // A segment overshoots its eighth by at most the record that filled it.
    EXPECT_LE(cache.TotalSize(), budget + 8 * 1000) << i;
  }
  EXPECT_GT(largest, 6000);
  int present = 0;
  for (int i = 0; i < 400; ++i) {
    Bitmap read;
    int32_t sizeClass = 0;
    const bool found = cache.ReadCacheImage(items.list[i], &read, &sizeClass);
    // Notified items know whether they still have a thumbnail.
    EXPECT_EQ(found, items.list[i]->CacheIndex() == 160) << i;
    if (!found) continue;
    ++present;
    EXPECT_TRUE(Shows(read, i)) << i;
    EXPECT_EQ(sizeClass, 160);
  }
  // Seven full segments and the current one survive; the oldest ones are gone.
  EXPECT_GT(present, 50);
  EXPECT_LT(present, 400);
}

TEST(ImageCacheMaster, SegmentsAreReusedRoundRobin) {
  Items items(200);
  TImageCacheMaster cache;
  cache.Initialize(ickMemory, "", false, 8 * 2000);
  std::vector<int> order;
  for (int i = 0; i < 200; ++i) {
    const Bitmap b = ColourOf(i);
    cache.WriteCacheImage(items.list[i], &b, 80);
    const int s = cache.CurrentSegment();
    if (order.empty() || order.back() != s) order.push_back(s);
  }
  ASSERT_GE(order.size(), 10u);
  for (size_t k = 0; k < order.size(); ++k) EXPECT_EQ(order[k], static_cast<int>(k % 8));
}

TEST(ImageCacheMaster, ReadersNeverGetAnotherPhotosThumbnailWhileSegmentsAreRecycled) {
  // A budget of a few records per segment recycles all the time, as the small private caches do.
  Items items(64);
  TImageCacheMaster cache;
  cache.Initialize(ickMemory, "", false, 8 * 1500);
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0}, reads{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      // Writers go on until the readers have had their turns too, however the threads are scheduled
      // (bounded, so a cache that never answers a read fails the check below instead of hanging).
      for (int round = 0; round < 400 || (reads < 200 && round < 400000); ++round) {
        const int n = (round * 7 + w * 13) % 64;
        const Bitmap b = ColourOf(n, 24, 16);
        cache.WriteCacheImage(items.list[n], &b, 80);
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      for (int round = 0; !stop; ++round) {
        const int n = round % 64;
        Bitmap read;
        if (cache.ReadCacheImage(items.list[n], &read, nullptr)) {
          ++reads;
          if (!Shows(read, n)) ++wrong;
        }
      }
    });
  }
  threads[0].join();
  threads[1].join();
  stop = true;
  threads[2].join();
  threads[3].join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(reads, 0);
  // Every record that is listed reads as its own item's picture.
  for (int n = 0; n < 64; ++n) {
    Bitmap read;
    if (cache.ReadCacheImage(items.list[n], &read, nullptr)) {
      EXPECT_TRUE(Shows(read, n)) << n;
    }
  }
}

// A cache that lets other writes happen at the moments a concurrent writer could: between a
// reader's lookup and its read, and between a writer's append and its listing. Those writes
// fill every segment once, so the record's segment is recycled and another item's thumbnail
// lands at the record's offset.
class RacedCache : public TImageCacheMaster {
 public:
  explicit RacedCache(Items& others) : others_(others) {}
  bool raceReads = false, raceWrites = false;

 protected:
  void AfterRecordLookup(const TImgCacheRecord&) override {
    if (std::exchange(raceReads, false)) Recycle();
  }
  void AfterRecordAppend(const TImgCacheRecord&) override {
    if (std::exchange(raceWrites, false)) Recycle();
  }

 private:
  void Recycle() {
    for (int n = 0; n < static_cast<int>(others_.list.size()); ++n) {
      const Bitmap b = ColourOf(100 + n, 24, 16);
      WriteCacheImage(others_.list[n], &b, 80);
    }
  }
  Items& others_;
};

TEST(ImageCacheMaster, ARecycledSegmentNeverHandsOutAnotherPhotosThumbnail) {
  Items items(1), others(24);
  const Bitmap mine = ColourOf(0, 24, 16);
  {
    // A reader that looked the record up just before its segment was recycled reads "absent".
    RacedCache cache(others);
    cache.Initialize(ickMemory, "", false, 8 * 600);
    cache.WriteCacheImage(items.list[0], &mine, 80);
    cache.raceReads = true;
    Bitmap read;
    EXPECT_FALSE(cache.ReadCacheImage(items.list[0], &read, nullptr));
    EXPECT_TRUE(read.Empty());
  }
  {
    // A writer whose segment was recycled before it listed its record writes it again.
    RacedCache cache(others);
    cache.Initialize(ickMemory, "", false, 8 * 600);
    cache.raceWrites = true;
    ASSERT_TRUE(cache.WriteCacheImage(items.list[0], &mine, 80));
    Bitmap read;
    if (cache.ReadCacheImage(items.list[0], &read, nullptr)) {
      EXPECT_TRUE(Shows(read, 0));
    }
  }
}

TEST(CatalogImageCacheMaster, AFileCacheSurvivesARestartWithItsIndex) {
  Items items(30);
  const std::string folder = Folder();
  {
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder + "/", true, 16 << 20);
    EXPECT_EQ(cache.Folder(), folder);
    for (int i = 0; i < 30; ++i) {
      const Bitmap b = ColourOf(i);
      cache.AddCatalogImage(items.list[i], &b, i % 2 ? 160 : 120);
    }
    items.list[7]->SetState(cisDeleted);
    cache.SaveCacheData(items.list);
  }
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(fs::exists(CacheSegmentFileName(folder, i))) << i;
  for (TCatalogItem* item : items.list) item->SetCacheIndex(0);
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickFile, folder, true, 16 << 20);
  cache.LoadCacheData(items.list);
  for (int i = 0; i < 30; ++i) {
    Bitmap read;
    int32_t sizeClass = 0;
    if (i == 7) {
      EXPECT_FALSE(cache.ReadCacheImage(items.list[i], &read, &sizeClass));
      continue;
    }
    ASSERT_TRUE(cache.ReadCacheImage(items.list[i], &read, &sizeClass)) << i;
    EXPECT_TRUE(Shows(read, i)) << i;
    EXPECT_EQ(sizeClass, i % 2 ? 160 : 120);
    EXPECT_EQ(items.list[i]->CacheIndex(), sizeClass);
  }
}

// The crash after a save: thumbnails are written on, segments that the saved index points into
// are emptied and refilled with other photos, and the process dies without saving again. At the
// next start no item may show another item's thumbnail.
TEST(CatalogImageCacheMaster, AnIndexSavedBeforeSegmentsWereRecycledIsNotTrustedAfterACrash) {
  const int count = 240;
  Items items(count);
  const std::string folder = Folder();
  const int64_t budget = 8 * 3000;
  {
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder, true, budget);
    for (int i = 0; i < 40; ++i) {
      const Bitmap b = ColourOf(i);
      ASSERT_TRUE(cache.AddCatalogImage(items.list[i], &b, 160));
    }
    cache.SaveCacheData(items.list);
    const TImgCacheRecord first = cache.GetImgCacheRecord(items.list[0]);
    bool overwritten = false;
    for (int i = 40; i < count; ++i) {
      const Bitmap b = ColourOf(i);
      ASSERT_TRUE(cache.AddCatalogImage(items.list[i], &b, 160));
      const TImgCacheRecord r = cache.GetImgCacheRecord(items.list[i]);
      overwritten = overwritten || (r.segment == first.segment && r.offset == first.offset);
    }
    ASSERT_TRUE(overwritten) << "the test must refill the first record's place";
    // No SaveCacheData, no clean close: the process is gone here.
  }
  Items reloaded(count);
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickFile, folder, true, budget);
  cache.LoadCacheData(reloaded.list);
  for (int i = 0; i < count; ++i) {
    Bitmap read;
    if (cache.ReadCacheImage(reloaded.list[i], &read, nullptr)) {
      EXPECT_TRUE(Shows(read, i)) << "item " << i << " shows another photo";
    }
  }
  // Saved again after the recycling, the index is trusted again.
  for (int i = 0; i < 3; ++i) {
    const Bitmap b = ColourOf(i);
    cache.AddCatalogImage(reloaded.list[i], &b, 160);
  }
  cache.SaveCacheData(reloaded.list);
  Items again(count);
  TCatalogImageCacheMaster next;
  next.InitializeCatalog(ickFile, folder, true, budget);
  next.LoadCacheData(again.list);
  for (int i = 0; i < 3; ++i) {
    Bitmap read;
    ASSERT_TRUE(next.ReadCacheImage(again.list[i], &read, nullptr)) << i;
    EXPECT_TRUE(Shows(read, i)) << i;
  }
}

TEST(CatalogImageCacheMaster, OnlyItemsOfTheSavedListAreIndexedUnderTheirPositions) {
  // An item that the data files did not write (a removed folder's) must not lend its thumbnail
  // to whichever item gets its old record number at the next start.
  Items items(3);
  const std::string folder = Folder();
  {
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder, false, 16 << 20);
    for (int i = 0; i < 3; ++i) {
      const Bitmap b = ColourOf(i);
      cache.AddCatalogImage(items.list[i], &b, 160);
    }
    cache.SaveCacheData({items.list[2], items.list[0]});
  }
  Items reloaded(3);
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickFile, folder, false, 16 << 20);
  cache.LoadCacheData(reloaded.list);
  Bitmap read;
  ASSERT_TRUE(cache.ReadCacheImage(reloaded.list[0], &read, nullptr));
  EXPECT_TRUE(Shows(read, 2));
  ASSERT_TRUE(cache.ReadCacheImage(reloaded.list[1], &read, nullptr));
  EXPECT_TRUE(Shows(read, 0));
  EXPECT_FALSE(cache.ReadCacheImage(reloaded.list[2], &read, nullptr));
}

std::vector<uint8_t> IndexBytes(uint32_t format, const std::vector<std::array<int64_t, 4>>& records, int extraCount = 0,
                                const char* signature = "CIC_Head") {
  std::vector<uint8_t> out(signature, signature + 8);
  auto put = [&out](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(format, 4);
  put(0, 4);
  put(records.size() + extraCount, 4);
  for (const auto& r : records) {
    put(static_cast<uint64_t>(r[0]), 4);
    put(static_cast<uint64_t>(r[1]), 4);
    put(static_cast<uint64_t>(r[2]), 4);
    put(static_cast<uint64_t>(r[3]), 8);
  }
  return out;
}

TEST(CatalogImageCacheMaster, DamagedIndexesEmptyTheCacheOrDropTheirBadRecords) {
  const std::string folder = Folder();
  const std::string index = folder + "/Cache.qdb";
  // Two thumbnails at known offsets of segment 0.
  Items writer(2);
  int64_t offsets[2];
  {
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder, false, 16 << 20);
    for (int i = 0; i < 2; ++i) {
      const Bitmap b = ColourOf(i);
      cache.AddCatalogImage(writer.list[i], &b, 160);
      offsets[i] = cache.GetImgCacheRecord(writer.list[i]).offset;
    }
  }
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<int> shows;  // per item: the colour it shows, -1 none
    bool indexKept;
  };
  const std::vector<Case> cases = {
      {"good", IndexBytes(4097, {{0, 160, 0, offsets[0]}, {1, 160, 0, offsets[1]}}), {0, 1}, true},
      {"record number beyond the items",
       IndexBytes(4097, {{5, 160, 0, offsets[0]}, {1, 160, 0, offsets[1]}}),
       {-1, 1},
       true},
      {"negative record number", IndexBytes(4097, {{-1, 160, 0, offsets[0]}}), {-1, -1}, true},
      {"same record number twice: the last wins",
       IndexBytes(4097, {{0, 160, 0, offsets[0]}, {0, 160, 0, offsets[1]}}),
       {1, -1},
       true},
      {"segment out of range", IndexBytes(4097, {{0, 160, 9, offsets[0]}}), {-1, -1}, true},
      {"offset that is no record", IndexBytes(4097, {{0, 160, 0, offsets[0] + 3}}), {-1, -1}, true},
      {"wrong signature", IndexBytes(4097, {{0, 160, 0, offsets[0]}}, 0, "CIC_Tail"), {-1, -1}, false},
      {"wrong format", IndexBytes(4096, {{0, 160, 0, offsets[0]}}), {-1, -1}, false},
      {"count beyond the records", IndexBytes(4097, {{0, 160, 0, offsets[0]}}, 100000000), {-1, -1}, false},
      {"shorter than a header", {'C', 'I', 'C'}, {-1, -1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(index, c.bytes);
    Items items(2);
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder, true, 16 << 20);
    cache.LoadCacheData(items.list);
    for (int i = 0; i < 2; ++i) {
      Bitmap read;
      const bool found = cache.ReadCacheImage(items.list[i], &read, nullptr);
      EXPECT_EQ(found, c.shows[i] >= 0) << i;
      if (found) {
        EXPECT_TRUE(Shows(read, c.shows[i])) << i;
      }
    }
    EXPECT_EQ(fs::exists(index), c.indexKept);
    // An emptied cache has emptied its segments too: nothing old can resurface.
    if (!c.indexKept) {
      EXPECT_EQ(cache.TotalSize(), 0);
    }
    if (!c.indexKept) break;  // the segments are gone for the cases that follow
  }
}

TEST(CatalogImageCacheMaster, ADamagedSegmentLosesOnlyItsEntriesWhichAreMadeAgain) {
  Items items(4);
  const std::string folder = Folder();
  {
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickFile, folder, true, 16 << 20);
    for (int i = 0; i < 4; ++i) {
      const Bitmap b = ColourOf(i);
      cache.AddCatalogImage(items.list[i], &b, 160);
    }
    cache.SaveCacheData(items.list);
  }
  // Cut segment 0 in the middle of the third record and scribble over the first one's magic.
  const std::string segment = CacheSegmentFileName(folder, 0);
  std::vector<uint8_t> bytes = test::ReadFile(segment);
  TCatalogImageCacheMaster probe;
  probe.InitializeCatalog(ickFile, folder, false, 16 << 20);
  probe.LoadCacheData(items.list);
  const int64_t third = probe.GetImgCacheRecord(items.list[2]).offset;
  bytes.resize(static_cast<size_t>(third + 20));
  bytes[0] = 0x11;
  test::WriteFile(segment, bytes);

  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickFile, folder, true, 16 << 20);
  cache.LoadCacheData(items.list);
  std::vector<bool> found;
  for (int i = 0; i < 4; ++i) {
    Bitmap read;
    found.push_back(cache.ReadCacheImage(items.list[i], &read, nullptr));
    if (found.back()) {
      EXPECT_TRUE(Shows(read, i));
    }
  }
  EXPECT_EQ(found, (std::vector<bool>{false, true, false, false}));
  // The lost ones are forgotten, so the maker makes them again instead of skipping them.
  for (int i : {0, 2, 3}) {
    EXPECT_EQ(items.list[i]->CacheIndex(), 0) << i;
    EXPECT_EQ(cache.GetImgCacheRecord(items.list[i]).item, nullptr) << i;
  }
  EXPECT_EQ(items.list[1]->CacheIndex(), 160);
  // Made again, the lost ones read back right.
  for (int i : {0, 2, 3}) {
    const Bitmap b = ColourOf(i);
    ASSERT_TRUE(cache.AddCatalogImage(items.list[i], &b, 160));
    Bitmap read;
    ASSERT_TRUE(cache.ReadCacheImage(items.list[i], &read, nullptr));
    EXPECT_TRUE(Shows(read, i)) << i;
  }
}

TEST(CatalogImageCacheMaster, TheMemoryKindWritesNoFile) {
  const std::string folder = Folder();
  // What an earlier file-kind cache left behind goes.
  for (int i = 0; i < 8; ++i) test::WriteFile(CacheSegmentFileName(folder, i), std::string("old"));
  test::WriteFile(folder + "/Cache.qdb", std::string("old"));
  test::WriteFile(folder + "/Other.qdb", std::string("kept"));
  Items items(20);
  for (const std::string& where : {folder, std::string()}) {
    SCOPED_TRACE(where);
    const bool rootHadOne = fs::exists("/Cache-00.che");
    TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(ickMemory, where, true, 8 * 3000);
    for (int i = 0; i < 20; ++i) {
      const Bitmap b = ColourOf(i);
      cache.AddCatalogImage(items.list[i], &b, 160);
    }
    cache.SaveCacheData(items.list);
    Bitmap read;
    ASSERT_TRUE(cache.ReadCacheImage(items.list[19], &read, nullptr));
    EXPECT_TRUE(Shows(read, 19));
    EXPECT_EQ(fs::exists("/Cache-00.che"), rootHadOne);
  }
  std::vector<std::string> left;
  for (const auto& e : fs::recursive_directory_iterator(test::TestRoot())) {
    if (e.path().filename().string().rfind("Cache", 0) == 0) left.push_back(e.path().string());
  }
  EXPECT_TRUE(left.empty()) << left.front();
  EXPECT_TRUE(fs::exists(folder + "/Other.qdb"));
}

TEST(CatalogImageCacheMaster, ThumbnailsAreStoredUprightOnlyWhenRead) {
  TCatalogItem item;
  item.SetOrientation(6);
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", true, 1 << 20);
  const Bitmap wide = ColourOf(3, 40, 20);
  cache.AddCatalogImage(&item, &wide, 160);
  Bitmap stored, shown;
  ASSERT_TRUE(cache.ReadCacheImage(&item, &stored, nullptr));
  EXPECT_EQ(TSize({stored.Width(), stored.Height()}), TSize({40, 20}));
  ASSERT_TRUE(cache.ReadCatalogImage(&item, &shown, nullptr));
  EXPECT_EQ(TSize({shown.Width(), shown.Height()}), TSize({20, 40}));
  // Effects too are applied on reading: the stored picture keeps its colours.
  TColorAdjustment negative;
  negative.enabled = 1;
  negative.filter1 = 3;
  item.SetColor(negative);
  ASSERT_TRUE(cache.ReadCatalogImage(&item, &shown, nullptr));
  EXPECT_NEAR(shown.Pixel(0, 0)[0], 255 - stored.Pixel(0, 0)[0], 3);
}

TEST(CatalogImageCacheMaster, DrawPlacesExactThumbnailsUnscaledAndStretchesOthers) {
  TCatalogItem item;
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", false, 1 << 20);
  struct Case {
    int32_t w, h, sizeClass, cellW, cellH;
    bool stretch;
    TRect image;
  };
  const std::vector<Case> cases = {
      {160, 120, 160, 170, 170, false, {5, 25, 165, 145}},
      {90, 160, 160, 170, 170, false, {40, 5, 130, 165}},
      {120, 90, 160, 170, 170, true, {0, 21, 171, 149}},
      {200, 100, 160, 100, 100, true, {0, 25, 101, 75}},
  };
  for (const Case& c : cases) {
    const Bitmap b = ColourOf(1, c.w, c.h);
    cache.WriteCacheImage(&item, &b, c.sizeClass);
    Bitmap image;
    TCatalogImagePlacement p;
    ASSERT_TRUE(cache.DrawCatalogImage(&item, c.sizeClass, c.cellW, c.cellH, image, p));
    EXPECT_EQ(p.stretch, c.stretch) << c.w << "x" << c.h;
    EXPECT_EQ(p.image, c.image) << c.w << "x" << c.h;
    EXPECT_EQ(p.edge, (TRect{c.image.left - 1, c.image.top - 1, c.image.right + 1, c.image.bottom + 1}));
  }
  Bitmap image;
  TCatalogImagePlacement p;
  EXPECT_FALSE(cache.DrawCatalogImage(nullptr, 160, 100, 100, image, p));
  EXPECT_FALSE(cache.DrawCatalogImage(&item, 0, 100, 100, image, p));
}

// A photo smaller than the thumbnail size is drawn at its own size, not stretched to the cell;
// a thumbnail smaller than the photo is stretched to the photo's size only.
TEST(CatalogImageCacheMaster, DrawNeverBlowsASmallPictureUpBeyondItsOwnSize) {
  TCatalogItem item;
  TItemImageInfo info;
  info.width = 50;
  info.height = 40;
  item.ApplyImageInfo(info, false);
  ASSERT_EQ(item.DisplayWidth(), 50);
  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", false, 1 << 20);
  struct Case {
    int32_t w, h, cellW, cellH;
    bool stretch;
    TRect image;
  };
  const std::vector<Case> cases = {
      {50, 40, 170, 170, false, {60, 65, 110, 105}},
      {25, 20, 170, 170, true, {60, 65, 110, 105}},
      {25, 20, 30, 30, true, {0, 2, 31, 27}},
  };
  for (const Case& c : cases) {
    const Bitmap b = ColourOf(1, c.w, c.h);
    cache.WriteCacheImage(&item, &b, 160);
    Bitmap image;
    TCatalogImagePlacement p;
    ASSERT_TRUE(cache.DrawCatalogImage(&item, 160, c.cellW, c.cellH, image, p));
    EXPECT_EQ(p.stretch, c.stretch) << c.w << "x" << c.h;
    EXPECT_EQ(p.image, c.image) << c.w << "x" << c.h;
  }
}

TEST(ImageCacheMaster, WouldFitEstimatesBySize) {
  struct Case {
    int64_t budget, count;
    int32_t size;
    bool fits;
  };
  const std::vector<Case> cases = {
      {8192001, 1000, 160, true},
      {8192000, 1000, 160, false},
      {4096001, 1000, 80, true},
      {4096000, 1000, 80, false},
      {6144001, 1000, 120, true},
      {24576001, 1000, 200, true},
      {24576000, 1000, 200, false},
      {30720001, 1000, 240, true},
      {int64_t{1} << 40, 1, 241, false},
      // 4000 MB and more: the budget is 64-bit.
      {int64_t{16000} * 1048576, 1000000, 160, true},
      {int64_t{1} << 40, int64_t{1} << 62, 80, false},
  };
  for (const Case& c : cases) {
    TImageCacheMaster cache;
    cache.Initialize(ickMemory, "", false, c.budget);
    EXPECT_EQ(cache.WouldFit(c.count, c.size), c.fits) << c.budget << " " << c.count << " " << c.size;
  }
}

TEST(ImageCacheMaster, ArgumentsAreChecked) {
  TImageCacheMaster cache;
  try {
    cache.Initialize(2, "", false, 1 << 20);
    FAIL() << "no error";
  } catch (const EImageCacheMasterError& e) {
    EXPECT_STREQ(e.what(), "Unknown ImageCacheKind. (ick = 2)");
  }
  cache.Initialize(ickMemory, "", false, 1 << 20);
  TCatalogItem item;
  Bitmap empty;
  const Bitmap some = ColourOf(1);
  for (auto call : std::vector<std::function<void()>>{
           [&] { cache.WriteCacheImage(nullptr, &some, 80); }, [&] { cache.WriteCacheImage(&item, &empty, 80); },
           [&] { cache.WriteCacheImage(&item, nullptr, 80); }, [&] { cache.ReadCacheImage(&item, nullptr, nullptr); },
           [&] { cache.ReadCacheImage(nullptr, &empty, nullptr); }}) {
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const EImageCacheMasterError& e) {
      EXPECT_STREQ(e.what(), "パラメータが無効です。");
    }
  }
  TCatalogImageCacheMaster catalog;
  EXPECT_THROW(catalog.SetImgCacheRecordData(nullptr, {}), ECatalogImageCacheMasterError);
  // A file kind without a folder refuses instead of writing at the filesystem root.
  try {
    catalog.InitializeCatalog(ickFile, "", false, 1 << 20);
    FAIL() << "no error";
  } catch (const ECacheStreamError& e) {
    EXPECT_NE(std::string(e.what()).find("FileName is Empty."), std::string::npos);
  }
}

}  // namespace
}  // namespace plb

// The thumbnail maker with real files and real worker threads: the two stages, what each stores,
// visible items first, withdrawn requests, the per-file lock, the completion callbacks on the UI
// thread; and the queue rules and box arithmetic on their own.
#include "images/thumbnails/thumbnail_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/exif_builder.h"
#include "images/image_fixtures.h"
#include "images/codec/jpeg_codec.h"
#include "platform/ui_dispatcher.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb {
namespace {

using namespace std::chrono_literals;
using Queue = TCacheImageMaker::TQueue;

// Items a..z stand for catalog items in the queue tables.
TCatalogItem* I(char c) {
  return reinterpret_cast<TCatalogItem*>(static_cast<uintptr_t>(c));
}
std::vector<TCatalogItem*> L(const std::string& s) {
  std::vector<TCatalogItem*> out;
  for (char c : s) out.push_back(I(c));
  return out;
}
std::string S(const Queue& q) {
  std::string out;
  for (TCatalogItem* i : q) out.push_back(static_cast<char>(reinterpret_cast<uintptr_t>(i)));
  return out;
}

TEST(CacheImageMakerQueues, ThumbsQueueTakesOrReordersTheRequest) {
  struct Case {
    std::string queue, list;
    bool replace;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"abc", "xy", true, "xy"},          {"", "xy", false, "xy"},
      {"abcdef", "ec", false, "ecbdaf"},  // the k-th listed item is exchanged into place k
      {"abcdef", "zfz", false, "fbcdea"}, {"abc", "", false, "abc"},
      {"abcd", "dd", false, "dbca"},
  };
  for (const Case& c : cases) {
    const auto start = L(c.queue), list = L(c.list);
    Queue q(start.begin(), start.end());
    TCacheImageMaker::RearrangeThumbsQueue(q, list, c.replace);
    EXPECT_EQ(S(q), c.after) << c.queue << " + " << c.list;
  }
}

TEST(CacheImageMakerQueues, SourceQueueMovesRequestedItemsToThePrimaryPart) {
  struct Case {
    std::string primary, secondary, list;
    bool replace;
    std::string primaryAfter, secondaryAfter;
  };
  const std::vector<Case> cases = {
      {"ab", "cd", "c", true, "", ""},
      {"ab", "cd", "", false, "", ""},
      // Primary goes back into place (a inserted at 0, b at 1), then the listed items move.
      {"ab", "cd", "dz", false, "d", "abc"},
      {"ab", "cd", "ca", false, "ca", "bd"},
      // An item of primary also waiting in secondary is exchanged into its primary index.
      {"c", "abc", "b", false, "b", "ca"},
  };
  for (const Case& c : cases) {
    const auto p = L(c.primary), s = L(c.secondary);
    Queue primary(p.begin(), p.end()), secondary(s.begin(), s.end());
    TCacheImageMaker::RearrangeSourceQueue(primary, secondary, L(c.list), c.replace);
    EXPECT_EQ(S(primary), c.primaryAfter) << c.primary << "|" << c.secondary << " + " << c.list;
    EXPECT_EQ(S(secondary), c.secondaryAfter) << c.primary << "|" << c.secondary << " + " << c.list;
  }
  Queue primary(1, I('a')), secondary;
  for (char c : std::string("bcb")) secondary.push_back(I(c));
  TCacheImageMaker::HandOnItem(primary, secondary, I('b'));
  TCacheImageMaker::HandOnItem(primary, secondary, I('a'));
  EXPECT_EQ(S(primary), "ab");
  EXPECT_EQ(S(secondary), "cb");
}

TEST(CacheImageMakerBoxes, TrimmedItemsGetTheBoxThatFitsTheirTrimmedPart) {
  struct Case {
    int32_t size, w, h;
    bool trimmed;
    int32_t tw, th;
    TSize box;
  };
  const std::vector<Case> cases = {
      {160, 3000, 2000, false, 0, 0, {160, 160}},
      {160, 3000, 2000, true, 2000, 2000, {240, 160}},
      {160, 3000, 2000, true, 3000, 1000, {160, 107}},
      // Without the image's size the plain box is used instead of a 0 x 0 one.
      {160, 0, 0, true, 2000, 2000, {160, 160}},
      {160, 3000, 2000, true, 0, 2000, {160, 160}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CacheImageBox(c.size, c.w, c.h, c.trimmed, c.tw, c.th), c.box) << c.w << "x" << c.h << " " << c.tw;
  }
  struct Usable {
    int32_t w, h, tw, th, o;
    bool cached;
    bool usable;
  };
  const std::vector<Usable> usable = {
      {3000, 2000, 160, 120, 1, false, true}, {2000, 3000, 160, 120, 1, false, false},
      {2000, 3000, 160, 120, 6, false, true}, {3000, 2000, 160, 120, 8, false, false},
      {3000, 2000, 160, 120, 3, false, true}, {3000, 2000, 160, 120, 1, true, false},
      {3000, 2000, 320, 240, 1, true, true},  {3000, 2000, 0, 120, 1, false, false},
  };
  for (const Usable& u : usable) {
    EXPECT_EQ(ExifThumbnailUsable(u.w, u.h, u.tw, u.th, u.o, u.cached, {240, 240}), u.usable)
        << u.w << "x" << u.h << " thumb " << u.tw << "x" << u.th << " o" << u.o;
  }
}

// The width and height of an uncompressed RAW thumbnail come from the file: rows shorter than
// they claim give no picture, and nothing of the claimed size is allocated for them.
TEST(CacheImageMakerBoxes, UncompressedRawRowsAreMeasuredBeforeTheImageIsMade) {
  const std::vector<uint8_t> twoByTwo = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  struct Case {
    size_t bytes;
    int32_t w, h;
    bool made;
  };
  const std::vector<Case> cases = {
      {12, 2, 2, true},           {11, 2, 2, false},      {12, 40000, 40000, false},
      {12, 2147483647, 2147483647, false}, {12, 0, 2, false},
  };
  for (const Case& c : cases) {
    Bitmap out;
    int32_t sizeClass = 160;
    RawRgbIntoBox(std::span(twoByTwo.data(), c.bytes), c.w, c.h, {160, 160}, 1, out, sizeClass);
    EXPECT_EQ(!out.Empty(), c.made) << c.bytes << " bytes for " << c.w << "x" << c.h;
  }
  Bitmap out;
  int32_t sizeClass = 160;
  RawRgbIntoBox(twoByTwo, 2, 2, {160, 160}, 1, out, sizeClass);
  ASSERT_EQ(out.Width(), 2);
  EXPECT_EQ(sizeClass, 2);
  EXPECT_EQ(out.Pixel(1, 1)[0], 12);  // R and B swapped back
  EXPECT_EQ(out.Pixel(1, 1)[2], 10);
}

// A JPEG of a main picture with, optionally, an EXIF block holding a thumbnail.
std::string Photo(const Bitmap& main, const Bitmap& thumb) {
  const std::string jpeg = EncodeJpeg(main, 92);
  if (thumb.Empty()) return jpeg;
  test::TiffBuilder t(false);
  t.ifd0.push_back(t.Short(0x0112, 1));
  t.exif.push_back(t.Ascii(0x9003, "2020:01:02 03:04:05"));
  const std::string tj = EncodeJpeg(thumb, 92);
  t.thumbnail = test::Bytes(tj.begin(), tj.end());
  const test::Bytes app1 = test::ExifSegment(t.Build());
  return jpeg.substr(0, 2) + std::string(app1.begin(), app1.end()) + jpeg.substr(2);
}

// A folder of photos on a fake volume, scanned into the catalog.
class PhotoFolder {
 public:
  PhotoFolder() : scoped_(volumes_) {
    vol_ = test::TestRoot() + "/vol";
    std::filesystem::create_directories(vol_ + "/photos");
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
  }
  void Add(const std::string& name, const std::string& bytes) { test::WriteFile(vol_ + "/photos/" + name, bytes); }
  TCatalogItem* Item(const std::string& name) {
    if (!folder_) {
      folder_ = trees_.FolderOf(vol_ + "/photos");
      folder_->SearchFilesEx(nullptr);
    }
    return folder_->FindItem(name);
  }

 private:
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_;
  std::string vol_;
  TFolderTreeList trees_;
  TFolder* folder_ = nullptr;
};

// Waits for the maker's completion callbacks (run on the maker's thread: no dispatcher).
struct Done {
  std::mutex lock;
  std::condition_variable changed;
  int thumbs = 0, source = 0;
  void Attach(TCacheImageMaker& maker) {
    maker.SetThumbsDone(
        [this](intptr_t) {
          std::lock_guard g(lock);
          ++thumbs;
          changed.notify_all();
        },
        0);
    maker.SetSourceDone(
        [this](intptr_t) {
          std::lock_guard g(lock);
          ++source;
          changed.notify_all();
        },
        0);
  }
  bool WaitThumbs(int n) {
    std::unique_lock g(lock);
    return changed.wait_for(g, 20s, [&] { return thumbs >= n; });
  }
  bool WaitSource(int n) {
    std::unique_lock g(lock);
    return changed.wait_for(g, 20s, [&] { return source >= n; });
  }
};

// A gate a worker hook waits at until the test opens it.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool open = false;
  bool reached = false;
  void Wait() {
    std::unique_lock g(lock);
    reached = true;
    changed.notify_all();
    changed.wait(g, [this] { return open; });
  }
  void WaitReached() {
    std::unique_lock g(lock);
    changed.wait(g, [this] { return reached; });
  }
  void Open() {
    std::lock_guard g(lock);
    open = true;
    changed.notify_all();
  }
};

double MeanChannel(const Bitmap& b, int channel) {
  double sum = 0;
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) sum += b.Pixel(x, y)[channel];
  return sum / (double(b.Width()) * b.Height());
}

TEST(CacheImageMaker, TheExifThumbnailComesFirstAndTheSourceStageReplacesIt) {
  PhotoFolder photos;
  // Blue photos with red EXIF thumbnails tell the two stages' pictures apart.
  photos.Add("landscape.jpg", Photo(test::Solid(1200, 800, 200, 0, 0), test::Solid(160, 120, 0, 0, 200)));
  // A portrait photo with a landscape thumbnail: the thumbnail is of no use.
  photos.Add("portrait.jpg", Photo(test::Solid(800, 1200, 0, 200, 0), test::Solid(160, 120, 0, 0, 200)));
  // Trimmed to a square in the middle of a 3000 x 2000 picture: red margins, green middle.
  Bitmap wide = test::Solid(3000, 2000, 0, 0, 220);
  for (int32_t y = 0; y < 2000; ++y)
    for (int32_t x = 500; x < 2500; ++x) wide.Pixel(x, y)[0] = 0, wide.Pixel(x, y)[1] = 220, wide.Pixel(x, y)[2] = 0;
  photos.Add("trimmed.jpg", Photo(wide, Bitmap()));
  TCatalogItem* landscape = photos.Item("landscape.jpg");
  TCatalogItem* portrait = photos.Item("portrait.jpg");
  TCatalogItem* trimmed = photos.Item("trimmed.jpg");
  ASSERT_TRUE(landscape && portrait && trimmed);
  trimmed->SetTrimming(true, {500, 0, 2500, 2000}, 1, 1);

  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", true, 8 << 20);
  TCacheImageMaker maker(&cache, 240, false);
  Done done;
  done.Attach(maker);
  Gate source;
  maker.SetItemHook([&](int type, TCatalogItem*) {
    if (type == cwtSource) source.Wait();
  });
  maker.Start();
  maker.Request({landscape, portrait}, 240, {landscape, portrait}, true);
  ASSERT_TRUE(done.WaitThumbs(1));
  // The provisional picture: the red thumbnail, enlarged, with the class of its own size.
  Bitmap read;
  int32_t sizeClass = 0;
  ASSERT_TRUE(cache.ReadCacheImage(landscape, &read, &sizeClass));
  EXPECT_EQ(sizeClass, 160);
  EXPECT_EQ(landscape->CacheIndex(), 160);
  EXPECT_GT(MeanChannel(read, 2), 150);
  EXPECT_EQ(landscape->ExifState(), 1);
  EXPECT_EQ(landscape->Width(), 1200);
  EXPECT_FALSE(cache.ReadCacheImage(portrait, &read, &sizeClass));
  source.Open();
  ASSERT_TRUE(done.WaitSource(1));
  ASSERT_TRUE(cache.ReadCacheImage(landscape, &read, &sizeClass));
  EXPECT_EQ(sizeClass, 240);
  EXPECT_EQ(TSize({read.Width(), read.Height()}), TSize({240, 160}));
  EXPECT_GT(MeanChannel(read, 0), 150);
  ASSERT_TRUE(cache.ReadCacheImage(portrait, &read, &sizeClass));
  EXPECT_EQ(TSize({read.Width(), read.Height()}), TSize({160, 240}));
  EXPECT_GT(MeanChannel(read, 1), 150);

  maker.Request({trimmed}, 160, {trimmed}, true);
  ASSERT_TRUE(done.WaitSource(2));
  ASSERT_TRUE(cache.ReadCacheImage(trimmed, &read, &sizeClass));
  EXPECT_EQ(sizeClass, 160);
  EXPECT_EQ(TSize({read.Width(), read.Height()}), TSize({160, 160}));
  EXPECT_GT(MeanChannel(read, 1), 180);
  EXPECT_LT(MeanChannel(read, 2), 40);
  const auto stats = maker.Statistics();
  EXPECT_EQ(stats.thumbsMade, 1);
  EXPECT_EQ(stats.sourceMade, 3);
  EXPECT_EQ(stats.failed, 0);
}

class MakerOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 12; ++i) photos.Add(Name(i), Photo(test::Solid(64, 48, 10, 20, uint8_t(i * 20)), Bitmap()));
    for (int i = 0; i < 12; ++i) items.push_back(photos.Item(Name(i)));
    cache.InitializeCatalog(ickMemory, "", true, 8 << 20);
  }
  static std::string Name(int i) {
    std::string name = "p00.jpg";
    name[1] = static_cast<char>('a' + i);
    return name;
  }
  std::vector<int> Order(const std::vector<TCatalogItem*>& seen) {
    std::vector<int> out;
    for (TCatalogItem* s : seen)
      out.push_back(static_cast<int>(std::find(items.begin(), items.end(), s) - items.begin()));
    return out;
  }
  PhotoFolder photos;
  std::vector<TCatalogItem*> items;
  TCatalogImageCacheMaster cache;
};

TEST_F(MakerOrder, ANewRequestPutsTheItemsNowVisibleFirstInBothStages) {
  TCacheImageMaker maker(&cache, 32, false);
  Done done;
  done.Attach(maker);
  Gate first;
  std::mutex lock;
  std::vector<TCatalogItem*> thumbs, source;
  maker.SetItemHook([&](int type, TCatalogItem* item) {
    {
      std::lock_guard g(lock);
      (type == cwtThumbs ? thumbs : source).push_back(item);
    }
    if (type == cwtThumbs && item == items[0]) first.Wait();
  });
  maker.Start();
  maker.Request(items, 32, {}, true);
  first.WaitReached();
  // The user scrolled: items 8 to 11 are what is on screen now.
  const std::vector<TCatalogItem*> visible(items.begin() + 8, items.end());
  maker.Request(visible, 32, visible, false);
  for (int i = 0; i < 200 && maker.ThumbsQueue().front() != items[8]; ++i) std::this_thread::sleep_for(10ms);
  first.Open();
  ASSERT_TRUE(done.WaitSource(1));
  const std::vector<int> expected = {0, 8, 9, 10, 11, 5, 6, 7, 1, 2, 3, 4};
  EXPECT_EQ(Order(thumbs), expected);
  EXPECT_EQ(Order(source), expected);
  for (TCatalogItem* item : items) EXPECT_EQ(item->CacheIndex(), 32);
}

TEST_F(MakerOrder, CancelLetsTheCurrentItemFinishAndStartsNothingElse) {
  TCacheImageMaker maker(&cache, 32, false);
  Gate first;
  std::mutex lock;
  std::vector<TCatalogItem*> seen;
  maker.SetItemHook([&](int type, TCatalogItem* item) {
    {
      std::lock_guard g(lock);
      seen.push_back(item);
    }
    if (type == cwtThumbs && item == items[0]) first.Wait();
  });
  maker.Start();
  maker.Request(items, 32, items, true);
  first.WaitReached();
  maker.Cancel();
  first.Open();
  std::this_thread::sleep_for(300ms);
  maker.Stop();
  std::lock_guard g(lock);
  EXPECT_EQ(Order(seen), std::vector<int>{0});
  EXPECT_EQ(items[1]->CacheIndex(), 0);
}

TEST_F(MakerOrder, StagesReportOnceEachOnTheUiThreadInOrder) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher scoped(ui);
  TCacheImageMaker maker(&cache, 32, true);
  EXPECT_EQ(maker.WorkerCount(cwtThumbs), 0);
  std::vector<std::string> calls;
  maker.SetThumbsDone([&](intptr_t c) { calls.push_back(ui.IsUiThread() && c == 7 ? "thumbs" : "off"); }, 7);
  maker.SetSourceDone([&](intptr_t c) { calls.push_back(ui.IsUiThread() && c == 8 ? "source" : "off"); }, 8);
  maker.Start();
  EXPECT_EQ(maker.WorkerCount(cwtThumbs), static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
  maker.Request(items, 32, items, true);
  for (int i = 0; i < 200 && calls.size() < 2; ++i) ui.PumpFor(50);
  for (int i = 0; i < 6; ++i) ui.PumpFor(50);  // nothing more arrives
  EXPECT_EQ(calls, (std::vector<std::string>{"thumbs", "source"}));
  maker.Stop();
}

TEST_F(MakerOrder, TwoMakersNeverWorkOnTheSameFileAtOnce) {
  TCatalogImageCacheMaster other;
  other.InitializeCatalog(ickMemory, "", false, 8 << 20);
  std::mutex lock;
  std::map<TCatalogItem*, int> inside;
  int overlaps = 0, visits = 0;
  auto hook = [&](int, TCatalogItem* item) {
    {
      std::lock_guard g(lock);
      if (++inside[item] > 1) ++overlaps;
      ++visits;
    }
    std::this_thread::sleep_for(3ms);
    std::lock_guard g(lock);
    --inside[item];
  };
  TCacheImageMaker a(&cache, 32, true), b(&other, 32, true);
  Done da, db;
  da.Attach(a);
  db.Attach(b);
  a.SetItemHook(hook);
  b.SetItemHook(hook);
  a.Start();
  b.Start();
  a.Request(items, 32, items, true);
  b.Request(items, 32, items, true);
  ASSERT_TRUE(da.WaitSource(1));
  ASSERT_TRUE(db.WaitSource(1));
  EXPECT_EQ(overlaps, 0);
  EXPECT_EQ(visits, 4 * 12);
}

// The grid re-sends the items on screen as a replacing request on every tick, so requests keep
// falling between a worker taking an item and handing it on. Whatever the interleaving, every
// requested item must end with its thumbnail made (these photos all decode) once the requests
// stop: none may be left behind with every queue empty. Each round sends the same replacing
// request until a different number of items is done, so the last request lands at a different
// point of the work every time.
TEST(CacheImageMakerRace, RepeatedReplacingRequestsLeaveNoItemBehind) {
  PhotoFolder photos;
  const std::vector<std::string> names = {
      "Canon_40D.jpg",           "Canon_DIGITAL_IXUS_400.jpg",
      "Canon_PowerShot_S40.jpg", "Fujifilm_FinePix6900ZOOM.jpg",
      "Kodak_CX7530.jpg",        "Nikon_COOLPIX_P1.jpg",
      "Nikon_D70.jpg",           "Olympus_C8080WZ.jpg",
      "Panasonic_DMC-FZ30.jpg",  "Pentax_K10D.jpg",
      "Ricoh_Caplio_RR330.jpg",  "Sony_HDR-HC3.jpg",
  };
  const std::string dir = test::TestDataDir() + "/exif-samples/jpg/";
  for (const std::string& name : names) {
    const std::vector<uint8_t> bytes = test::ReadFile(dir + name);
    photos.Add(name, std::string(bytes.begin(), bytes.end()));
  }
  std::vector<TCatalogItem*> items;
  for (const std::string& name : names) items.push_back(photos.Item(name));
  ASSERT_EQ(std::count(items.begin(), items.end(), nullptr), 0);

  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", true, 64 << 20);
  TCacheImageMaker maker(&cache, 300, true);
  maker.Start();
  auto made = [&](int32_t size) {
    return static_cast<size_t>(
        std::count_if(items.begin(), items.end(), [&](TCatalogItem* item) { return item->CacheIndex() == size; }));
  };
  const auto end = std::chrono::steady_clock::now() + 3s;
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    // A new size class every round: every item needs both stages again.
    const int32_t size = 300 + round % 2;
    const size_t stopAt = static_cast<size_t>(round) % items.size();
    const auto sendUntil = std::chrono::steady_clock::now() + 1s;
    do {
      maker.Request(items, size, items, true);
      std::this_thread::yield();
    } while (made(size) < stopAt && std::chrono::steady_clock::now() < sendUntil);
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (made(size) < items.size() && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(1ms);
    if (made(size) == items.size()) continue;
    const auto stats = maker.Statistics();
    std::string left;
    for (TCatalogItem* item : items) {
      if (item->CacheIndex() != size)
        left.append(" ").append(item->FileName()).append("@").append(std::to_string(item->CacheIndex()));
    }
    FAIL() << "round " << round << ", requests stopped at " << stopAt << " made: left behind" << left
           << "; thumbs made " << stats.thumbsMade << ", source made " << stats.sourceMade << ", failed "
           << stats.failed << ", queued " << maker.ThumbsQueue().size() << "/" << maker.SourcePrimary().size() << "/"
           << maker.SourceSecondary().size();
  }
  maker.Stop();
}

}  // namespace
}  // namespace plb

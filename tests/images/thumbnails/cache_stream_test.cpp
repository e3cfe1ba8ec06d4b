// Record streams of the thumbnail cache: the record layout on disk, round trips in memory and in
// files, and reads of damaged or hostile records that must come back as "absent".
#include "images/thumbnails/cache_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "images/image_fixtures.h"
#include "platform/error.h"
#include "support/test_env.h"

namespace plb {
namespace {

std::string Path(const std::string& name) {
  return test::TestRoot() + "/" + name;
}

std::unique_ptr<TCustomCacheStream> Make(const std::string& variant) {
  std::unique_ptr<TCustomCacheStream> s;
  if (variant == "memory") s = std::make_unique<TMemoryCacheStream>(3);
  if (variant == "file") s = std::make_unique<TFileCacheStream>(3, Path("seg.che"));
  if (variant == "jpeg-memory") s = std::make_unique<TJpegMemoryCacheStream>(3);
  if (variant == "jpeg-file") s = std::make_unique<TJpegFileCacheStream>(3, Path("seg.che"));
  s->CreateCacheStream();
  return s;
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(CacheStream, RecordsAreAppendedWithTheirHeaderAndReadBackByOffset) {
  for (const char* variant : {"memory", "file"}) {
    SCOPED_TRACE(variant);
    std::filesystem::remove(Path("seg.che"));
    auto s = Make(variant);
    EXPECT_EQ(s->WriteRecord({}), -1);
    EXPECT_EQ(s->WriteRecord(Bytes("first")), 0);
    EXPECT_EQ(s->WriteRecord(Bytes("second!")), 16 + 5);
    EXPECT_EQ(s->Size(), 16 + 5 + 16 + 7);
    std::vector<uint8_t> out;
    ASSERT_TRUE(s->ReadRecord(out, 21));
    EXPECT_EQ(std::string(out.begin(), out.end()), "second!");
    ASSERT_TRUE(s->ReadRecord(out, 0));
    EXPECT_EQ(std::string(out.begin(), out.end()), "first");
    s->Clear();
    EXPECT_EQ(s->Size(), 0);
    EXPECT_FALSE(s->ReadRecord(out, 0));
  }
  // The file holds exactly the little-endian header and the payload.
  const std::vector<uint8_t> expected = {0x88, 0x88, 0x88, 0x88, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'};
  std::filesystem::remove(Path("seg.che"));
  Make("file")->WriteRecord(Bytes("abc"));
  EXPECT_EQ(test::ReadFile(Path("seg.che")), expected);
}

TEST(CacheStream, AFileSegmentIsOpenedAgainWithItsRecords) {
  int64_t second = 0;
  {
    auto s = Make("jpeg-file");
    Bitmap a = test::Solid(30, 20, 200, 10, 10);
    s->WriteBitmap(&a);
    Bitmap b = test::PhotoLike(48, 32);
    second = s->WriteBitmap(&b);
  }
  auto s = Make("jpeg-file");
  Bitmap read;
  ASSERT_TRUE(s->ReadBitmap(&read, second));
  EXPECT_LT(test::MeanDifference(read, test::PhotoLike(48, 32)), 6.0);
  // Appends go after what the file held.
  const int64_t before = s->Size();
  EXPECT_EQ(s->WriteRecord(Bytes("x")), before);
}

TEST(CacheStream, DamagedOrHostileRecordsReadAsAbsent) {
  auto header = [](uint32_t magic, uint64_t size) {
    std::vector<uint8_t> h;
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(magic >> (8 * i)));
    for (int i = 0; i < 4; ++i) h.push_back(i == 0 ? 1 : 0);
    for (int i = 0; i < 8; ++i) h.push_back(static_cast<uint8_t>(size >> (8 * i)));
    return h;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int64_t offset;
  };
  std::vector<uint8_t> good = header(kCacheRecordMagic, 4);
  good.insert(good.end(), {1, 2, 3, 4});
  std::vector<uint8_t> shortPayload = header(kCacheRecordMagic, 10);
  shortPayload.insert(shortPayload.end(), {1, 2, 3});
  const std::vector<Case> cases = {
      {"negative offset", good, -1},
      {"offset past the end", good, 100},
      {"header cut off", good, 8},
      {"offset inside a payload", good, 17},
      {"wrong magic", header(0x88888887u, 4), 0},
      {"zero size", header(kCacheRecordMagic, 0), 0},
      {"payload cut off", shortPayload, 0},
      // A size no memory could hold: refused before anything is allocated.
      {"huge size", header(kCacheRecordMagic, 0x7FFFFFFFFFFFFFF0ull), 0},
      {"size that wraps", header(kCacheRecordMagic, 0xFFFFFFFFFFFFFFFFull), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Path("seg.che"));
    test::WriteFile(Path("seg.che"), c.bytes);
    auto s = Make("jpeg-file");
    std::vector<uint8_t> out;
    EXPECT_FALSE(s->ReadRecord(out, c.offset));
    EXPECT_TRUE(out.empty());
    Bitmap bmp;
    EXPECT_FALSE(s->ReadBitmap(&bmp, c.offset));
  }
  // A whole record whose payload is no JPEG is an error of the read, not a wrong picture.
  std::filesystem::remove(Path("seg.che"));
  test::WriteFile(Path("seg.che"), good);
  Bitmap bmp;
  try {
    Make("jpeg-file")->ReadBitmap(&bmp, 0);
    FAIL() << "no error";
  } catch (const ECacheStreamError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("TJpegFileCacheStream.ReadJpegCache : ", 0), 0u) << e.what();
  }
}

TEST(CacheStream, ArgumentsAndNamesAreChecked) {
  TFileCacheStream noName(0, "");
  try {
    noName.CreateCacheStream();
    FAIL() << "no error";
  } catch (const ECacheStreamError& e) {
    EXPECT_STREQ(e.what(), "TFileCacheStream.CreateCacheStream : ECacheStreamError Raised. (FileName is Empty.)");
  }
  auto s = Make("jpeg-memory");
  Bitmap empty;
  EXPECT_THROW(s->WriteBitmap(&empty), ECacheStreamError);
  EXPECT_THROW(s->WriteBitmap(nullptr), ECacheStreamError);
  try {
    s->ReadBitmap(nullptr, 0);
    FAIL() << "no error";
  } catch (const ECacheStreamError& e) {
    EXPECT_STREQ(e.what(), "BMP = nil");
  }
  TJpegMemoryCacheStream q(0);
  EXPECT_EQ(q.Quality(), 85);
  for (auto [given, kept] : std::vector<std::pair<int, int>>{{-5, 0}, {0, 0}, {50, 50}, {100, 100}, {101, 100}}) {
    q.SetQuality(given);
    EXPECT_EQ(q.Quality(), kept) << given;
  }
}

TEST(CacheStream, BitmapPayloadsRoundTripExactly) {
  for (const char* variant : {"memory", "file"}) {
    SCOPED_TRACE(variant);
    std::filesystem::remove(Path("seg.che"));
    auto s = Make(variant);
    const Bitmap picture = test::PhotoLike(33, 17);
    const int64_t at = s->WriteBitmap(&picture);
    Bitmap read;
    ASSERT_TRUE(s->ReadBitmap(&read, at));
    EXPECT_TRUE(read.SamePixels(picture));
  }
}

}  // namespace
}  // namespace plb

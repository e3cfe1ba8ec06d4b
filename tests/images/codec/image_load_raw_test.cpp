// Camera RAW files through their embedded JPEG previews: every maker layout the reader knows,
// built byte by byte around a tiny real JPEG, and damaged layouts that must fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "images/exif_builder.h"
#include "images/image_fixtures.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/codec/raw_reader.h"
#include "support/test_env.h"

namespace plb {
namespace {

using test::Bytes;

// A little-endian file laid out by absolute positions.
class RawFile {
 public:
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  explicit RawFile(size_t size = 4096) : bytes_(size, 0) {
    Put(0, {'I', 'I', 42, 0});
    Put32(4, 8);
  }
  void Put(size_t at, const Bytes& b) {
    if (bytes_.size() < at + b.size()) bytes_.resize(at + b.size());
    std::memcpy(bytes_.data() + at, b.data(), b.size());
  }
  void Put16(size_t at, uint32_t v) { Put(at, {uint8_t(v), uint8_t(v >> 8)}); }
  void Put32(size_t at, uint32_t v) { Put(at, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
  void Ifd(size_t at, const std::vector<Entry>& entries, uint32_t next = 0) {
    Put16(at, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
      const size_t e = at + 2 + 12 * i;
      Put16(e, entries[i].tag);
      Put16(e + 2, entries[i].type);
      Put32(e + 4, entries[i].count);
      if (entries[i].type == 3 && entries[i].count == 1) {
        Put16(e + 8, entries[i].value);
      } else {
        Put32(e + 8, entries[i].value);
      }
    }
    Put32(at + 2 + 12 * entries.size(), next);
  }
  // An Exif directory at `at` with a shooting date and, optionally, a maker note position.
  void Exif(size_t at, uint32_t makerNote = 0) {
    std::vector<Entry> entries = {{0x9003, 2, 20, static_cast<uint32_t>(at + 40)}};
    if (makerNote) entries.push_back({0x927C, 7, 100, makerNote});
    Ifd(at, entries);
    const std::string date = "2021:06:15 10:20:30";
    Put(at + 40, Bytes(date.begin(), date.end()));
  }
  std::string Save(const std::string& name) const {
    const std::string path = test::TestRoot() + "/" + name;
    test::WriteFile(path, bytes_);
    return path;
  }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

Bytes Preview(uint8_t b, uint8_t g, uint8_t r) {
  const std::string jpeg = EncodeJpeg(test::Solid(32, 16, b, g, r), 95);
  return Bytes(jpeg.begin(), jpeg.end());
}

constexpr size_t kPreviewAt = 3000;

struct Expected {
  uint8_t b, g, r;
};

void ExpectPreview(const std::string& path, Expected colour) {
  Bitmap bitmap;
  LoadImageFile(bitmap, 5, path);
  ASSERT_EQ(bitmap.Width(), 32) << path;
  ASSERT_EQ(bitmap.Height(), 16) << path;
  EXPECT_NEAR(bitmap.Pixel(16, 8)[0], colour.b, 4) << path;
  EXPECT_NEAR(bitmap.Pixel(16, 8)[1], colour.g, 4) << path;
  EXPECT_NEAR(bitmap.Pixel(16, 8)[2], colour.r, 4) << path;
  Bitmap sized;
  TImageInfoRec info;
  LoadImageToSize(sized, path, 5, info, true, 10, 10);
  EXPECT_EQ((TSize{sized.Width(), sized.Height()}), (TSize{10, 5})) << path;
  EXPECT_EQ(info.resampled, 1);
}

const Expected kRed{0, 0, 250}, kGreen{0, 250, 0}, kBlue{250, 0, 0};

TEST(RawPreview, IfdLayoutsOfEachMaker) {
  const Bytes red = Preview(0, 0, 250), green = Preview(0, 250, 0), blue = Preview(250, 0, 0);
  const auto len = [](const Bytes& b) { return static_cast<uint32_t>(b.size()); };

  {  // CR2: the main preview is IFD0's strip, sized by its JPEG frame.
    RawFile f;
    f.Ifd(8, {{259, 3, 1, 6}, {273, 4, 1, kPreviewAt}, {274, 3, 1, 6}, {279, 4, 1, len(red)}, {0x8769, 4, 1, 200}});
    f.Exif(200);
    f.Put(kPreviewAt, red);
    const std::string path = f.Save("a.CR2");
    ExpectPreview(path, kRed);
    const TImageInfoRec info = GetImageInfo(path, 5);
    EXPECT_EQ(info.width, 32);
    EXPECT_EQ(info.orientation, 6);
    EXPECT_TRUE(info.rotated);
    EXPECT_TRUE(info.has_exif);
    EXPECT_GT(info.shooting_date, 0);
  }
  {  // NEF with two SubIFDs: the first one.
    RawFile f;
    f.Ifd(8, {{330, 4, 2, 300}, {0x8769, 4, 1, 200}});
    f.Exif(200);
    f.Put32(300, 600);
    f.Put32(304, 700);
    f.Ifd(600, {{513, 4, 1, kPreviewAt}, {514, 4, 1, len(green)}});
    f.Ifd(700, {{513, 4, 1, kPreviewAt + 1000}, {514, 4, 1, len(red)}});
    f.Put(kPreviewAt, green);
    f.Put(kPreviewAt + 1000, red);
    ExpectPreview(f.Save("two.NEF"), kGreen);
  }
  {  // NEF with one SubIFD: the Nikon maker note's preview directory, offsets from its header.
    RawFile f;
    f.Ifd(8, {{330, 4, 1, 700}, {0x8769, 4, 1, 200}});
    f.Exif(200, 1000);
    f.Ifd(700, {{513, 4, 1, kPreviewAt + 1000}, {514, 4, 1, len(red)}});
    f.Put(1000, {'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0});
    f.Ifd(1018, {{0x0011, 13, 1, 100}});
    f.Ifd(1110, {{513, 4, 1, static_cast<uint32_t>(kPreviewAt - 1010)}, {514, 4, 1, len(blue)}});
    f.Put(kPreviewAt, blue);
    f.Put(kPreviewAt + 1000, red);
    ExpectPreview(f.Save("one.nef"), kBlue);
  }
  {  // PEF with an IFD2.
    RawFile f;
    f.Ifd(8, {{0x8769, 4, 1, 200}}, 800);
    f.Exif(200);
    f.Ifd(800, {{256, 4, 1, 160}}, 900);
    f.Ifd(900, {{513, 4, 1, kPreviewAt}, {514, 4, 1, len(red)}});
    f.Put(kPreviewAt, red);
    ExpectPreview(f.Save("a.PEF"), kRed);
  }
  {  // PEF without IFD2: the Pentax maker note.
    RawFile f;
    f.Ifd(8, {{0x8769, 4, 1, 200}}, 800);
    f.Exif(200, 1000);
    f.Ifd(800, {{256, 4, 1, 160}});
    f.Put(1000, {'A', 'O', 'C', 0, 'I', 'I'});
    f.Ifd(1006, {{0x0002, 3, 2, 32 | (16u << 16)}, {0x0003, 4, 1, len(green)}, {0x0004, 4, 1, kPreviewAt}});
    f.Put(kPreviewAt, green);
    ExpectPreview(f.Save("b.pef"), kGreen);
  }
  {  // MRW: the Minolta maker note, whose preview starts 00 D8.
    RawFile f;
    f.Ifd(8, {{0x8769, 4, 1, 200}});
    f.Exif(200, 1000);
    f.Ifd(1000, {{0x0088, 4, 1, kPreviewAt}, {0x0089, 4, 1, len(blue)}});
    Bytes preview = blue;
    preview[0] = 0;
    f.Put(kPreviewAt, preview);
    ExpectPreview(f.Save("a.MRW"), kBlue);
  }
  {  // ORF: the Olympus maker note with its own byte order and the camera-settings directory.
    RawFile f;
    f.Ifd(8, {{0x8769, 4, 1, 200}});
    f.Exif(200, 1000);
    f.Put(1000, {'O', 'L', 'Y', 'M', 'P', 'U', 'S', 0, 'I', 'I', 3, 0});
    f.Ifd(1012, {{0x2020, 13, 1, 200}});
    f.Ifd(1200,
          {{0x0100, 3, 1, 1}, {0x0101, 4, 1, static_cast<uint32_t>(kPreviewAt - 1000)}, {0x0102, 4, 1, len(red)}});
    f.Put(kPreviewAt, red);
    ExpectPreview(f.Save("a.ORF"), kRed);
  }
  {  // DNG: the second SubIFD.
    RawFile f;
    f.Ifd(8, {{330, 4, 2, 300}});
    f.Put32(300, 600);
    f.Put32(304, 700);
    f.Ifd(600, {{513, 4, 1, kPreviewAt + 1000}, {514, 4, 1, len(red)}});
    f.Ifd(700, {{513, 4, 1, kPreviewAt}, {514, 4, 1, len(green)}});
    f.Put(kPreviewAt, green);
    f.Put(kPreviewAt + 1000, red);
    ExpectPreview(f.Save("a.dng"), kGreen);
  }
}

TEST(RawPreview, ErfHasNoMainPreviewButAThumbnail) {
  const Bytes red = Preview(0, 0, 250);
  RawFile f;
  f.Ifd(8, {{274, 3, 1, 8}}, 800);
  f.Ifd(800, {{513, 4, 1, kPreviewAt}, {514, 4, 1, static_cast<uint32_t>(red.size())}});
  f.Put(kPreviewAt, red);
  const std::string path = f.Save("a.ERF");
  Bitmap b;
  LoadImageFile(b, 5, path);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(GetImageInfo(path, 5).orientation, 8);
  const TRawInfoRec thumb = ReadRawInfo(path, false, true);
  ASSERT_TRUE(thumb.tiff.thumb_stream);
  EXPECT_EQ(thumb.tiff.thumb_width, 32);
  EXPECT_EQ(thumb.tiff.thumb_stream->Size(), static_cast<int64_t>(red.size()));
  EXPECT_FALSE(ReadRawInfo(path, false, false).tiff.thumb_stream);
}

TEST(RawPreview, RafIsAJpegBehindAHeader) {
  test::TiffBuilder tiff(true);
  tiff.exif.push_back(tiff.Ascii(0x9003, "2020:01:02 03:04:05"));
  tiff.ifd0.push_back(tiff.Short(274, 3));
  const Bytes jpeg = Preview(250, 0, 0);
  Bytes file(100, 0);
  const std::string magic = "FUJIFILMCCD-RAW 0201FF383501";
  std::copy(magic.begin(), magic.end(), file.begin());
  file.insert(file.end(), jpeg.begin(), jpeg.begin() + 2);
  test::TiffBuilder::Append(file, test::ExifSegment(tiff.Build()));
  file.insert(file.end(), jpeg.begin() + 2, jpeg.end());
  const std::string path = test::TestRoot() + "/a.RAF";
  test::WriteFile(path, file);
  ExpectPreview(path, kBlue);
  TImageInfoRec info;
  Bitmap b;
  LoadImageToSize(b, path, 5, info, false, 100, 100);
  EXPECT_EQ(info.orientation, 3);
  EXPECT_EQ(info.resampled, 0);
}

TEST(RawPreview, CrwHeapEntryStartingWithTheImageMarker) {
  const Bytes green = Preview(0, 250, 0);
  RawFile f(0);
  f.bytes().clear();
  f.Put(0, {'I', 'I', 26, 0, 0, 0, 'H', 'E', 'A', 'P', 'C', 'C', 'D', 'R', 0, 0, 1, 0});
  f.Put(26, {1, 2, 3, 4});  // a first entry's data that is no picture
  f.Put(30, green);
  const uint32_t dir = static_cast<uint32_t>(30 + green.size() - 26);
  f.Put16(26 + dir, 2);
  f.Put(26 + dir + 2, {0x0A, 0x30, 4, 0, 0, 0, 0, 0, 0, 0});
  f.Put(26 + dir + 12, {0x07, 0x20});
  f.Put32(26 + dir + 14, static_cast<uint32_t>(green.size()));
  f.Put32(26 + dir + 18, 4);
  f.Put32(26 + dir + 22, dir);
  ExpectPreview(f.Save("a.CRW"), kGreen);
}

TEST(RawPreview, DamagedLayoutsGiveNoPreviewOrACleanError) {
  const Bytes red = Preview(0, 0, 250);
  const uint32_t len = static_cast<uint32_t>(red.size());
  struct Case {
    const char* name;
    std::vector<RawFile::Entry> ifd0;
    uint32_t next;
    bool decoderError;  // the preview's place is inside the file but holds no JPEG
  };
  const Case cases[] = {
      {"offset past the end.CR2", {{273, 4, 1, 0x7FFFFFF0}, {279, 4, 1, len}}, 0, false},
      {"length past the end.CR2", {{273, 4, 1, kPreviewAt}, {279, 4, 1, 0xFFFFFF00}}, 0, false},
      {"offset wraps.CR2", {{273, 4, 1, 0xFFFFFFFF}, {279, 4, 1, 16}}, 0, false},
      {"not a jpeg.CR2", {{259, 3, 1, 6}, {273, 4, 1, 100}, {279, 4, 1, 200}}, 0, true},
      {"subifd list outside.NEF", {{330, 4, 2, 0x7FFFFFF0}}, 0, false},
      {"next ifd outside.PEF", {{256, 4, 1, 10}}, 0x7FFFFFF0, false},
      {"ifd chain loops.PEF", {{256, 4, 1, 10}}, 8, false},
  };
  for (const Case& c : cases) {
    RawFile f;
    f.Ifd(8, c.ifd0, c.next);
    f.Put(kPreviewAt, red);
    const std::string path = f.Save(c.name);
    Bitmap b;
    if (c.decoderError) {
      EXPECT_THROW(LoadImageFile(b, 5, path), EJpegError) << c.name;
    } else {
      EXPECT_NO_THROW(LoadImageFile(b, 5, path)) << c.name;
      EXPECT_TRUE(b.Empty()) << c.name;
    }
    EXPECT_NO_THROW(GetImageInfo(path, 5)) << c.name;
  }
  {  // A directory that claims 65535 entries in a short file.
    RawFile f(64);
    f.Put16(8, 0xFFFF);
    const std::string path = f.Save("huge count.NEF");
    Bitmap b;
    EXPECT_NO_THROW(LoadImageFile(b, 5, path));
    EXPECT_TRUE(b.Empty());
  }
  {  // Neither TIFF nor CIFF at all.
    const std::string path = test::TestRoot() + "/text.CRW";
    test::WriteFile(path, std::string("plain text, no picture here at all"));
    Bitmap b;
    EXPECT_NO_THROW(LoadImageFile(b, 5, path));
    EXPECT_TRUE(b.Empty());
  }
}

// Changed bytes in the directories and maker notes of every layout: no crash, no read outside the
// file; a failure is an empty picture or an error.
TEST(RawPreview, ChangedDirectoryBytesNeverCrash) {
  const Bytes red = Preview(0, 0, 250);
  const uint32_t len = static_cast<uint32_t>(red.size());
  RawFile f;
  f.Ifd(8, {{330, 4, 2, 300}, {273, 4, 1, kPreviewAt}, {279, 4, 1, len}, {0x8769, 4, 1, 200}}, 800);
  f.Exif(200, 1000);
  f.Put32(300, 600);
  f.Put32(304, 700);
  f.Ifd(600, {{513, 4, 1, kPreviewAt}, {514, 4, 1, len}}, 800);
  f.Ifd(800, {{513, 4, 1, kPreviewAt}, {514, 4, 1, len}}, 900);
  f.Put(1000, {'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0});
  f.Ifd(1018, {{0x0011, 13, 1, 100}, {0x2020, 4, 1, 150}, {0x0088, 4, 1, kPreviewAt}});
  f.Put(kPreviewAt, red);
  uint32_t seed = 777;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (const char* ext : {".NEF", ".DNG", ".PEF", ".ORF", ".MRW", ".CR2", ".ERF", ".CRW"}) {
    for (int round = 0; round < 40; ++round) {
      RawFile m = f;
      for (int flips = 1 + static_cast<int>(next() % 6); flips > 0; --flips)
        m.bytes()[(next() >> 8) % 1200] = static_cast<uint8_t>(next() >> 16);
      const std::string path = m.Save(std::string("m") + ext);
      Bitmap b;
      TImageInfoRec info;
      try {
        LoadImageFile(b, 5, path);
      } catch (const std::exception&) {
      }
      try {
        LoadImageToSize(b, path, 5, info, true, 10, 10);
      } catch (const std::exception&) {
      }
      EXPECT_NO_THROW(GetImageInfo(path, 5));
      EXPECT_NO_THROW(ReadRawInfo(path, false, true));
    }
  }
}

TEST(RawPreview, TypesByExtension) {
  const std::pair<const char*, int> cases[] = {{".CR2", rtCR2}, {".crw", rtCRW}, {".Dng", rtDNG}, {".ERF", rtERF},
                                               {".mrw", rtMRW}, {".NEF", rtNEF}, {".NSK", rtNSK}, {".ORF", rtORF},
                                               {".PEF", rtPEF}, {".raf", rtRAF}, {".SRF", rtSRF}, {".JPG", rtNone},
                                               {"", rtNone},    {".CR", rtNone}};
  for (const auto& [ext, type] : cases) EXPECT_EQ(RawTypeOfExtension(ext), type) << ext;
  EXPECT_EQ(RawTypeOfFile("/a.b/photo"), rtNone);
  EXPECT_EQ(RawTypeOfFile("/x/photo.nef"), rtNEF);
}

}  // namespace
}  // namespace plb

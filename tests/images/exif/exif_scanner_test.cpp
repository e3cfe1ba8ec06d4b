#include "images/exif/exif_scanner.h"

#include <gtest/gtest.h>

#include <fstream>

#include "images/exif_builder.h"
#include "images/exif/exif_text.h"
#include "support/test_env.h"

namespace plb {
namespace {

using test::Bytes;
using test::TiffBuilder;

TDateTime Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

// A photo with orientation, shooting date and a thumbnail in the given byte order.
Bytes PhotoTiff(bool big, const Bytes& thumbnail = test::TinyJpeg(160, 120)) {
  TiffBuilder b(big);
  b.ifd0 = {b.Ascii(0x010F, "Maker"), b.Short(274, 6), b.Ascii(0x0132, "2011:01:01 00:00:00")};
  b.exif = {b.Ascii(0x9003, "2010:05:12 13:14:15"), b.Ascii(0x9004, "2001:01:01 01:01:01")};
  b.ifd1 = {b.Long(256, 160), b.Long(257, 120), b.Short(259, 6), b.Short(274, 8)};
  b.thumbnail = thumbnail;
  return b.Build();
}

std::string WriteFile(const std::string& name, const Bytes& bytes) {
  const std::string path = test::TestRoot() + "/tmp/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

TEST(FindJpegStart, FindsTheStartOfImage) {
  struct Case {
    const char* name;
    size_t prefix;  // bytes before FF D8
    int64_t expected;
  };
  const Case cases[] = {
      {"at the start", 0, 0},
      {"behind a 128-byte header", 128, 128},
      {"searched within the first 1024 bytes", 500, 500},
      {"at the last place the search sees", 1022, 1022},
      {"too far in", 1100, -1},
  };
  for (const auto& c : cases) {
    Bytes bytes(c.prefix, 0x20);
    TiffBuilder::Append(bytes, test::Jpeg({}, 64, 48));
    TMemoryStream s(bytes);
    if (c.expected < 0) {
      EXPECT_THROW(FindJpegStart(s), EAbort) << c.name;
    } else {
      EXPECT_EQ(FindJpegStart(s), c.expected) << c.name;
      EXPECT_EQ(s.Position(), c.expected) << c.name;
    }
  }
  for (Bytes tiny : {Bytes{}, Bytes{0xFF}, Bytes{0x00, 0xFF}}) {
    TMemoryStream s(tiny);
    EXPECT_THROW(FindJpegStart(s), EAbort);
  }
}

TEST(ReadJpegFrameInfo, ReadsTheFrameAndRestoresThePosition) {
  Bytes gray = test::Jpeg({test::ExifSegment(PhotoTiff(false))}, 640, 480, 1);
  TMemoryStream s(gray);
  s.SetPosition(3);
  TJpegFrameInfoRec info;
  ReadJpegFrameInfo(s, true, info);
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 480);
  EXPECT_EQ(info.pixel_format, kPixelFormat8Bit);
  EXPECT_TRUE(info.has_exif);
  EXPECT_EQ(s.Position(), 3);

  // The last frame header before the scan wins (a thumbnail frame may come first).
  Bytes two_frames = {0xFF, 0xD8};
  TiffBuilder::Append(two_frames, test::FrameSegment(10, 10, 3));
  TiffBuilder::Append(two_frames, test::Jpeg({}, 300, 200, 3));
  two_frames.erase(two_frames.begin() + 2 + 19, two_frames.begin() + 2 + 19 + 2);  // the inner SOI
  TMemoryStream t(two_frames);
  ReadJpegFrameInfo(t, true, info);
  EXPECT_EQ(info.width, 300);
  EXPECT_EQ(info.pixel_format, kPixelFormat24Bit);
  EXPECT_FALSE(info.has_exif);
}

TEST(ReadJpegFrameInfo, AnswersMinusOneForDamagedStreams) {
  const Bytes truncated = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02};  // ends in the frame header
  const Bytes not_jpeg(2000, 'x');
  for (const Bytes& b : {truncated, not_jpeg}) {
    TMemoryStream s(b);
    TJpegFrameInfoRec info;
    ReadJpegFrameInfo(s, true, info);
    EXPECT_EQ(info.width, -1);
    EXPECT_EQ(info.height, -1);
    EXPECT_FALSE(info.has_exif);
  }
}

TEST(ReadJpegInfo, ReadsOrientationDateAndThumbnailInBothByteOrders) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    const Bytes thumb = test::TinyJpeg(160, 120);
    const Bytes file =
        test::Jpeg({test::Segment(0xE0, {'J', 'F', 'I', 'F', 0}), test::ExifSegment(PhotoTiff(big))}, 4000, 3000);
    TMemoryStream s(file);
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfo(s, flags, info);
    EXPECT_EQ(flags, kJpegInfoExif | kJpegInfoThumbnail);
    EXPECT_EQ(info.width, 4000);
    EXPECT_EQ(info.height, 3000);
    EXPECT_TRUE(info.has_exif);
    EXPECT_EQ(info.orientation, 6);
    EXPECT_EQ(info.shooting_date, Date(2010, 5, 12, 13, 14, 15));
    ASSERT_TRUE(info.thumb_stream);
    EXPECT_EQ(Bytes(info.thumb_stream->Bytes().begin(), info.thumb_stream->Bytes().end()), thumb);
    EXPECT_EQ(info.thumb_length, static_cast<int64_t>(thumb.size()));
    EXPECT_EQ(Bytes(file.begin() + info.thumb_offset, file.begin() + info.thumb_offset + info.thumb_length), thumb);
    EXPECT_EQ(info.thumb_width, 160);
    EXPECT_EQ(info.thumb_height, 120);
    EXPECT_EQ(info.thumb_orientation, 8);
    FreeJpegInfo(info);
    EXPECT_FALSE(info.thumb_stream);
  }
}

TEST(ReadJpegInfo, ThumbnailOnlyWhenRequestedAndWhole) {
  struct Case {
    const char* name;
    uint32_t request;
    bool with_ifd1;
    int64_t length_delta;
    uint32_t obtained;
  };
  const Case cases[] = {
      {"values only", kJpegInfoExif, true, 0, kJpegInfoExif},
      {"no IFD1", kJpegInfoExif | kJpegInfoThumbnail, false, 0, kJpegInfoExif},
      {"thumbnail range past the end", kJpegInfoExif | kJpegInfoThumbnail, true, 100000, kJpegInfoExif},
      {"nothing requested", 0, true, 0, 0},
  };
  for (const auto& c : cases) {
    TiffBuilder b(false);
    b.ifd0 = {b.Short(274, 3)};
    b.exif = {b.Ascii(0x9003, "2010:05:12 13:14:15")};
    if (c.with_ifd1) {
      b.ifd1 = {b.Short(259, 6)};
      b.thumbnail = test::TinyJpeg(8, 8);
      b.thumbnail_length_delta = c.length_delta;
    }
    TMemoryStream s(test::Jpeg({test::ExifSegment(b.Build())}, 100, 50));
    uint32_t flags = c.request;
    TJpegInfoExRec info;
    ReadJpegInfo(s, flags, info);
    EXPECT_EQ(flags, c.obtained) << c.name;
    EXPECT_FALSE(info.thumb_stream) << c.name;
    EXPECT_EQ(info.thumb_width, 0) << c.name;
    EXPECT_EQ(info.width, 100) << c.name;
    EXPECT_EQ(info.orientation, c.request ? 3 : 1) << c.name;
  }
}

TEST(ReadJpegInfo, AnXmpSegmentFirstDoesNotHideTheExifSegment) {
  TMemoryStream s(test::Jpeg({test::XmpSegment(), test::ExifSegment(PhotoTiff(true))}, 64, 48));
  uint32_t flags = kJpegInfoExif;
  TJpegInfoExRec info;
  ReadJpegInfo(s, flags, info);
  EXPECT_EQ(flags, kJpegInfoExif);
  EXPECT_TRUE(info.has_exif);
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.shooting_date, Date(2010, 5, 12, 13, 14, 15));
}

TEST(ReadJpegInfo, StopsAtTheFrameWhenNothingIsPending) {
  // A second frame header after the first is only reached by a walk that did not stop: the walk
  // must end at the first one once the EXIF values are in.
  Bytes file = test::Jpeg({test::ExifSegment(PhotoTiff(false))}, 100, 50);
  const Bytes second = test::FrameSegment(999, 999, 3);
  const size_t sos = file.size() - 7 - 10;
  file.insert(file.begin() + static_cast<ptrdiff_t>(sos), second.begin(), second.end());
  TMemoryStream s(file);
  uint32_t flags = kJpegInfoExif;
  TJpegInfoExRec info;
  ReadJpegInfo(s, flags, info);
  EXPECT_EQ(info.width, 100);
}

TEST(ReadJpegInfo, TagsOutOfOrderStillGiveDateAndOrientation) {
  // Regression: a phone writes DateTimeOriginal after larger tags and Orientation after the Exif
  // pointer; a scan that stops at the first larger tag loses both.
  TiffBuilder b(false);
  b.sort_entries = false;
  b.ifd0 = {b.Ascii(0x0110, "Phone"), b.Short(274, 6)};
  b.exif = {b.Rational(0x920A, 4, 1), b.Short(0x9209, 0), b.Ascii(0x9003, "2022:08:14 14:12:31")};
  b.ifd1 = {b.Short(514 + 1, 0)};  // a tag above 514 first
  b.thumbnail = test::TinyJpeg(32, 24);
  Bytes tiff = b.Build();
  // Move the Exif pointer (appended last by the builder) in front of the orientation entry.
  std::swap_ranges(tiff.begin() + 10 + 12, tiff.begin() + 10 + 24, tiff.begin() + 10 + 24);
  TMemoryStream s(test::Jpeg({test::ExifSegment(tiff)}, 64, 48));
  uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
  TJpegInfoExRec info;
  ReadJpegInfo(s, flags, info);
  EXPECT_EQ(flags, kJpegInfoExif | kJpegInfoThumbnail);
  EXPECT_EQ(info.shooting_date, Date(2022, 8, 14, 14, 12, 31));
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.thumb_width, 32);
}

TEST(ReadJpegInfo, DamagedFilesGiveTheFrameOnly) {
  Bytes no_start(3000, 'x');
  TMemoryStream s(no_start);
  uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
  TJpegInfoExRec info;
  ReadJpegInfo(s, flags, info);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(info.width, -1);
  EXPECT_EQ(info.orientation, 1);

  flags = kJpegInfoExif;
  ReadJpegInfoFromFile(test::TestRoot() + "/missing.jpg", flags, info);
  EXPECT_EQ(flags, 0u);
}

TEST(ReadTiffInfo, ReadsTheMainImageAndLeavesTheStreamAtTheBase) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.ifd0 = {b.Long(256, 3000), b.Short(257, 2000), b.Short(259, 5),
              b.Long(273, 1000), b.Short(274, 5),    b.Long(279, 777)};
    b.exif = {b.Ascii(0x9000 - 1, "x"), b.Ascii(0x9003, "2009:12:31 23:59:59")};
    Bytes bytes = {1, 2, 3};
    TiffBuilder::Append(bytes, b.Build());
    TMemoryStream s(bytes);
    s.SetPosition(3);
    TTiffInfoRec info;
    ReadTiffInfo(s, true, info);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(info.width, 3000);
    EXPECT_EQ(info.height, 2000);
    EXPECT_EQ(info.compression, 5);
    EXPECT_EQ(info.strip_offset, 1003);
    EXPECT_EQ(info.strip_byte_count, 777);
    EXPECT_EQ(info.orientation, 5);
    EXPECT_TRUE(info.has_exif_ifd);
    EXPECT_EQ(info.shooting_date, Date(2009, 12, 31, 23, 59, 59));
    EXPECT_EQ(info.thumb_compression, 6);
    EXPECT_FALSE(info.thumb_stream);
  }
  // A TIFF file: the block at offset 0.
  const std::string path = WriteFile("photo.tif", PhotoTiff(true));
  TTiffInfoRec info;
  ReadTiffInfoFromFile(path, info);
  EXPECT_EQ(info.orientation, 6);
  EXPECT_EQ(info.shooting_date, Date(2010, 5, 12, 13, 14, 15));
  EXPECT_FALSE(info.thumb_stream);
}

TEST(ReadTiffInfo, HostileOffsetsAndCountsEndTheScanQuietly) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  TiffBuilder b(false);
  Bytes huge_ifd0 = {'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF};
  Bytes huge_count = {'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF};
  b.ifd0 = {b.Long(0x8769, 0xFFFFFFF0)};
  const Bytes exif_far = b.Build();
  TiffBuilder t(false);
  t.ifd0 = {t.Short(274, 2)};
  t.ifd1 = {t.Long(513, 0xFFFFFFFF), t.Long(514, 0xFFFFFFFF)};
  const Bytes thumb_far = t.Build();
  // IFD0 places a JPEG the way IFD1 places the thumbnail, and links to itself as its IFD1.
  const Bytes tiny = test::TinyJpeg(8, 8);
  Bytes self_linked = {'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0};
  TiffBuilder::Append(self_linked, {0x01, 0x02, 4, 0, 1, 0, 0, 0, 38, 0, 0, 0});
  TiffBuilder::Append(self_linked, {0x02, 0x02, 4, 0, 1, 0, 0, 0, uint8_t(tiny.size()), 0, 0, 0});
  TiffBuilder::Append(self_linked, {8, 0, 0, 0});
  TiffBuilder::Append(self_linked, tiny);
  const Case cases[] = {{"IFD0 beyond the end", huge_ifd0},
                        {"65535 entries in 10 bytes", huge_count},
                        {"Exif IFD far away", exif_far},
                        {"thumbnail of 4 GB", thumb_far},
                        {"IFD0 that links to itself", self_linked},
                        {"empty", {}}};
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    TTiffInfoRec info;
    ReadTiffInfo(s, true, info);
    EXPECT_EQ(info.shooting_date, 0) << c.name;
    EXPECT_FALSE(info.thumb_stream) << c.name;
  }
}

TEST(AppSegments, FindAndCopy) {
  const Bytes tiff = PhotoTiff(false);
  const Bytes file = test::Jpeg({test::Segment(0xE0, {'J', 'F', 'I', 'F', 0}), test::XmpSegment(),
                                 test::ExifSegment(tiff), test::Segment(0xE2, {1, 2, 3})},
                                64, 48);
  TMemoryStream s(file);
  EXPECT_EQ(FindAppSegment(s, 0), 2);
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(FindAppSegment(s, 1), 2 + 9);
  const int64_t app2 = FindAppSegment(s, 2);
  EXPECT_EQ(file[static_cast<size_t>(app2) + 1], 0xE2);
  EXPECT_EQ(FindAppSegment(s, 5), -1);
  EXPECT_EQ(FindAppSegment(s, 16), -1);

  const std::string path = WriteFile("a.jpg", file);
  TMemoryStream target(Bytes{9, 9, 9});
  ASSERT_TRUE(CopyAppSegment(path, 2, target));
  EXPECT_EQ(Bytes(target.Bytes().begin(), target.Bytes().end()), (Bytes{1, 2, 3}));
  EXPECT_EQ(target.Position(), 0);
  EXPECT_FALSE(CopyAppSegment(path, 3, target));
  EXPECT_EQ(target.Size(), 0);
  EXPECT_FALSE(CopyAppSegment(path + ".missing", 1, target));
}

TEST(FindTiffHeader, FindsTheByteOrderMarkWithin255Bytes) {
  struct Case {
    size_t prefix;
    size_t total;
    int64_t expected;
  };
  const Case cases[] = {{0, 300, 0}, {100, 300, 100}, {253, 300, 253}, {254, 300, -1}, {10, 12, 10}, {0, 1, -1}};
  for (const auto& c : cases) {
    Bytes b(c.total, 0);
    if (c.prefix + 1 < c.total) b[c.prefix] = b[c.prefix + 1] = 'M';
    TMemoryStream s(b);
    EXPECT_EQ(FindTiffHeader(s), c.expected) << c.prefix << "/" << c.total;
    if (c.expected >= 0) {
      EXPECT_EQ(s.Position(), c.expected);
    }
  }
}

TEST(Signatures, ExifAndMakerNoteMarks) {
  EXPECT_TRUE(IsExifSignature(reinterpret_cast<const uint8_t*>("Exif\0\0")));
  EXPECT_FALSE(IsExifSignature(reinterpret_cast<const uint8_t*>("Exif\0x")));
  EXPECT_FALSE(IsExifSignature(reinterpret_cast<const uint8_t*>("http:/")));

  const std::string marked = "..ORIN_MNHASCII";
  TMemoryStream s(Bytes(marked.begin(), marked.end()));
  s.SetPosition(2);
  EXPECT_TRUE(IsMarkedMakerNote(s));
  EXPECT_EQ(s.Position(), 2);
  s.SetPosition(3);
  EXPECT_FALSE(IsMarkedMakerNote(s));
  s.SetPosition(10);
  EXPECT_FALSE(IsMarkedMakerNote(s));  // too few bytes left
  EXPECT_EQ(s.Position(), 10);
}

}  // namespace
}  // namespace plb

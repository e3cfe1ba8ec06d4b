// Saving an edited photo with the EXIF block of its source: real camera files turned, trimmed and
// resized and then checked with exiftool and exiv2, hand-made blocks for the subject area, the
// thumbnail, the APP1 limit, TIFF-structured sources and maker notes, and the safety of saving
// over the source itself.
#include "images/codec/save_jpeg_with_exif.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "images/exif_builder.h"
#include "images/image_fixtures.h"
#include "images/exif/exif_block_rewriter.h"
#include "images/exif/exif_scanner.h"
#include "images/codec/jpeg_codec.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Samples() {
  return test::TestDataDir() + "/exif-samples/jpg";
}

std::string Root(const std::string& name) {
  return test::TestRoot() + "/" + name;
}

// The tags of one group as exiftool lists them, "tag=value" per line.
std::map<std::string, std::string> Tags(const std::string& file, const std::string& options) {
  std::map<std::string, std::string> tags;
  std::istringstream lines(RunCommand("exiftool -a -s -n -G1 " + options + " '" + file + "' 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    // "[Group]   Tag   " → "[Group] Tag"
    std::istringstream words(line.substr(0, colon));
    std::string group, name;
    words >> group >> name;
    tags[group + " " + name] = line.substr(colon + 2);
  }
  return tags;
}

std::string Value(const std::map<std::string, std::string>& tags, const std::string& tag) {
  const auto it = tags.find(tag);
  return it == tags.end() ? "<missing>" : it->second;
}

TJpegImage Encode(const Bitmap& bitmap) {
  TJpegImage image;
  image.Assign(bitmap, 90);
  return image;
}

// What an editor does before saving: turn (rotation 1), trim 10% off each side, halve.
TJpegImage Edited(const std::string& source) {
  const Bytes bytes = test::ReadFile(source);
  Bitmap bitmap;
  DecodeJpeg(bytes, bitmap, dsFull);
  ApplyRotation(1, false, false, bitmap);
  CropMargins(bitmap, bitmap.Width() / 10, bitmap.Width() / 10, bitmap.Height() / 10, bitmap.Height() / 10);
  Bitmap half(bitmap.Width() / 2, bitmap.Height() / 2);
  ResizeBitmap(bitmap, half, 4);
  return Encode(half);
}

TEST(SaveJpegWithExifSamples, CarryTheSourceBlockUpdatedForTheNewPicture) {
  // Makers with maker notes of every handled layout, and one without a thumbnail.
  std::vector<std::string> names;
  for (const char* folder : {"", "exif-org/", "gps/", "hdr/", "mobile/", "orientation/", "tests/", "xmp/"}) {
    for (const auto& e : fs::directory_iterator(Samples() + "/" + folder)) {
      if (e.path().extension() == ".jpg") names.push_back(folder + e.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  // Maker notes this writer does not carry intact, so their values and exiftool's view of them
  // are not compared: unknown layouts copied as opaque bytes although their offsets count from
  // the block (Sanyo, Casio's second form), Nikon notes with their own header whose data reach
  // beyond the note, and newer Canon notes that exiftool re-bases.
  const std::set<std::string> notesNotIntact = {"exif-org/sanyo-vpcg250.jpg", "exif-org/sanyo-vpcsx550.jpg",
                                                "gps/DSCN0010.jpg",           "gps/DSCN0012.jpg",
                                                "gps/DSCN0021.jpg",           "gps/DSCN0025.jpg",
                                                "gps/DSCN0027.jpg",           "gps/DSCN0029.jpg",
                                                "gps/DSCN0038.jpg",           "gps/DSCN0040.jpg",
                                                "gps/DSCN0042.jpg",           "hdr/canon_hdr_NO.jpg",
                                                "hdr/canon_hdr_YES.jpg",      "tests/11-tests.jpg",
                                                "tests/28-hex_value.jpg",     "tests/35-empty.jpg",
                                                "tests/36-memory_error.jpg",  "tests/87_OSError.jpg"};
  for (const std::string& name : names) {
    const bool compareNotes = notesNotIntact.count(name) == 0;
    SCOPED_TRACE(name);
    const std::string source = Root("source.jpg");
    fs::copy_file(Samples() + "/" + name, source, fs::copy_options::overwrite_existing);
    const TJpegImage image = Edited(source);
    const TSize size = image.Size();
    const std::string destination = Root("saved.jpg");
    const int64_t written = SaveJpegWithExif(image, source, destination, false, false, 1);
    const auto before = Tags(source, "-warning -EXIF:all -MakerNotes:all");
    // The block is looked for in the first APP1 segment only (an XMP segment may come first).
    TExifItemEx sourceBlock;
    sourceBlock.LoadExif(source);
    if (!sourceBlock.Loaded()) {
      EXPECT_EQ(written, -1) << "nothing to carry: the plain picture";
      EXPECT_EQ(test::ReadFile(destination), Bytes(image.data.begin(), image.data.end()));
      continue;
    }
    ASSERT_GT(written, 0);
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(destination)), written);

    const auto after = Tags(destination, "-warning -EXIF:all -MakerNotes:all");
    // No warning that the source did not have already (one camera writes a damaged preview
    // directory into its maker note, which is copied as it is).
    const std::string warning = compareNotes ? Value(after, "[ExifTool] Warning") : "<missing>";
    EXPECT_TRUE(warning == "<missing>" || warning == Value(before, "[ExifTool] Warning")) << warning;
    const std::string exiv2 = RunCommand("exiv2 -pa '" + destination + "' 2>&1 >/dev/null");
    EXPECT_TRUE(!compareNotes || exiv2.empty() || exiv2 == RunCommand("exiv2 -pa '" + source + "' 2>&1 >/dev/null"))
        << exiv2;
    EXPECT_EQ(Value(after, "[IFD0] Orientation"), "1");
    EXPECT_EQ(Value(after, "[ExifIFD] ExifImageWidth"), std::to_string(size.cx));
    EXPECT_EQ(Value(after, "[ExifIFD] ExifImageHeight"), std::to_string(size.cy));
    // Every other EXIF and maker-note value stays, except what the save renews.
    for (const auto& [tag, value] : before) {
      if (tag.find("Thumbnail") != std::string::npos || tag.starts_with("[IFD1]") || tag == "[IFD0] ModifyDate" ||
          tag == "[IFD0] Orientation" || tag.starts_with("[ExifIFD] ExifImage") || tag == "[ExifIFD] SceneType" ||
          tag == "[ExifIFD] SubjectArea" || tag == "[GPS] GPSVersionID" ||
          tag.find("PreviewImageStart") != std::string::npos ||
          tag.starts_with("[Minolta] PreviewImage") ||  // a preview outside the note: dropped
          tag.find("RelatedImage") != std::string::npos || tag.find("Offset") != std::string::npos ||
          tag == "[ExifTool] Warning" ||
          (!compareNotes && !tag.starts_with("[IFD0]") && !tag.starts_with("[ExifIFD]"))) {
        continue;
      }
      EXPECT_EQ(Value(after, tag), value) << tag;
    }
    // The image data are the new picture's, and the thumbnail decodes.
    Bitmap decoded;
    DecodeJpeg(test::ReadFile(destination), decoded, dsFull);
    EXPECT_EQ(decoded.Width(), size.cx);
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(destination, flags, info);
    // A source thumbnail that can be read (JPEG or strips) is replaced by a new JPEG one.
    if (!sourceBlock.Thumbnail().empty()) {
      ASSERT_TRUE(info.thumb_stream);
      Bitmap thumbnail;
      const std::span<const uint8_t> thumbBytes = info.thumb_stream->Bytes();
      DecodeJpeg(thumbBytes, thumbnail, dsFull);
      EXPECT_EQ(thumbnail.Width(), size.cx >= size.cy ? 160 : 120);
      EXPECT_EQ(thumbnail.Height(), size.cx >= size.cy ? 120 : 160);
    } else {
      EXPECT_FALSE(info.thumb_stream);
    }
  }
}

// A block of a landscape photo W × H = 640 × 480 taken with orientation 6.
test::TiffBuilder OrientedBlock(bool bigEndian, bool withThumbnail) {
  test::TiffBuilder tiff(bigEndian);
  tiff.ifd0 = {tiff.Ascii(0x010F, "TestMaker"), tiff.Short(0x0112, 6), tiff.Ascii(0x0132, "2008:01:31 14:35:10")};
  tiff.exif = {tiff.Ascii(0x9003, "2008:01:31 14:35:10"), tiff.Shorts(0x9214, {100, 50}), tiff.Long(0xA002, 640),
               tiff.Long(0xA003, 480)};
  if (withThumbnail) {
    const std::string thumb = EncodeJpeg(test::PhotoLike(160, 120), 80);
    tiff.thumbnail.assign(thumb.begin(), thumb.end());
    tiff.ifd1 = {tiff.Short(259, 6)};
  }
  return tiff;
}

TEST(SaveJpegWithExif, TurnsTheSubjectAreaAndMakesAnUprightThumbnail) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "MM" : "II");
    const std::string source = Root("oriented.jpg");
    test::WriteFile(source, test::Jpeg({test::ExifSegment(OrientedBlock(big, true).Build())}, 640, 480));
    // The caller turned the 640 × 480 pixels upright (rotation 1) and scaled them to 240 × 320.
    const TJpegImage image = Encode(test::PhotoLike(240, 320));
    const std::string destination = Root("upright.jpg");
    ASSERT_GT(SaveJpegWithExif(image, source, destination, false, false, 1), 0);
    TExifItemEx saved;
    saved.LoadExif(destination);
    ASSERT_TRUE(saved.Loaded());
    EXPECT_EQ(saved.BigEndian(), big);
    EXPECT_EQ(saved.Dir(TExifItemEx::kIfd0).Find(0x0112)->IntegerAt(0), 1u);
    const TSubjectAreaRec area = saved.GetSubjectArea();
    ASSERT_EQ(int{area.kind}, 0);
    // (H − y, x) = (430, 100) in 480 × 640, scaled to 240 × 320.
    EXPECT_EQ(int{area.x}, 215);
    EXPECT_EQ(int{area.y}, 50);
    EXPECT_EQ(int32_t{area.refWidth}, 240);
    EXPECT_EQ(int32_t{area.refHeight}, 320);
    Bitmap thumbnail;
    DecodeJpeg(saved.Thumbnail(), thumbnail, dsFull);
    EXPECT_EQ(thumbnail.Width(), 120);
    EXPECT_EQ(thumbnail.Height(), 160);
    EXPECT_EQ(RunCommand("exiftool -q -q -warning -s3 '" + destination + "'"), "");
  }
}

TEST(SubjectArea, RotatesFlipsAndScalesEveryKind) {
  struct Case {
    TSubjectAreaRec area;
    int rotation;
    bool flipV, flipH;
    TSize scaleTo;
    TSubjectAreaRec expected;
  } cases[] = {
      {{0, 640, 480, 100, 50, 0, 0}, 2, false, false, {640, 480}, {0, 640, 480, 540, 430, 0, 0}},
      {{0, 640, 480, 100, 50, 0, 0}, 3, false, false, {480, 640}, {0, 480, 640, 50, 540, 0, 0}},
      {{0, 640, 480, 100, 50, 0, 0}, 0, true, true, {320, 240}, {0, 320, 240, 270, 215, 0, 0}},
      {{1, 640, 480, 100, 50, 40, 0}, 0, false, false, {320, 240}, {1, 320, 240, 50, 25, 20, 0}},
      {{2, 640, 480, 100, 50, 40, 20}, 1, false, false, {480, 640}, {2, 480, 640, 430, 100, 20, 40}},
      {{0, 0, 480, 100, 50, 0, 0}, 0, false, false, {320, 240}, {0, 0, 480, 100, 50, 0, 0}},  // no reference
  };
  for (Case& c : cases) {
    RotateSubjectArea(c.area, c.rotation, c.flipV, c.flipH);
    ScaleSubjectArea(c.area, c.scaleTo.cx, c.scaleTo.cy);
    EXPECT_EQ(std::vector<int>(
                  {c.area.kind, c.area.refWidth, c.area.refHeight, c.area.x, c.area.y, c.area.width, c.area.height}),
              std::vector<int>({c.expected.kind, c.expected.refWidth, c.expected.refHeight, c.expected.x, c.expected.y,
                                c.expected.width, c.expected.height}))
        << c.rotation;
  }
}

TEST(SaveJpegWithExif, DropsTheThumbnailWhenTheBlockWouldNotFitAnAppSegment) {
  test::TiffBuilder tiff = OrientedBlock(false, true);
  tiff.exif.push_back(tiff.Undefined(0x9286, Bytes(63000, 'c')));  // a huge user comment
  const std::string source = Root("big.jpg");
  test::WriteFile(source, test::Jpeg({test::ExifSegment(tiff.Build())}, 640, 480));
  const TJpegImage image = Encode(test::PhotoLike(400, 300));
  const std::string destination = Root("no-thumbnail.jpg");
  ASSERT_GT(SaveJpegWithExif(image, source, destination, false, false, 0), 0);
  TExifItemEx saved;
  saved.LoadExif(destination);
  ASSERT_TRUE(saved.Loaded());
  EXPECT_TRUE(saved.Dir(TExifItemEx::kIfd1).Empty());
  EXPECT_TRUE(saved.Thumbnail().empty());
  EXPECT_EQ(saved.Dir(TExifItemEx::kExif).Find(0x9286)->DataSize(), 63000);

  // Without a thumbnail to give up, a block that cannot fit leaves the picture without EXIF.
  tiff.exif.push_back(tiff.Undefined(0x927C, Bytes(6000, 'm')));
  tiff.thumbnail.clear();
  tiff.ifd1.clear();
  test::WriteFile(source, test::Jpeg({test::ExifSegment(tiff.Build())}, 640, 480));
  EXPECT_EQ(SaveJpegWithExif(image, source, destination, false, false, 0), -1);
  EXPECT_EQ(test::ReadFile(destination), Bytes(image.data.begin(), image.data.end()));
}

TEST(SaveJpegWithExif, ATiffStructuredSourceLosesItsImageStructureTags) {
  test::TiffBuilder tiff(true);
  tiff.ifd0 = {tiff.Long(256, 64),
               tiff.Long(257, 48),
               tiff.Shorts(258, {8, 8, 8}),
               tiff.Short(259, 1),
               tiff.Short(262, 2),
               tiff.Long(273, 8),
               tiff.Short(277, 3),
               tiff.Long(278, 48),
               tiff.Long(279, 64 * 48 * 3),
               tiff.Short(284, 1),
               tiff.Ascii(0x010F, "NIKON CORPORATION"),
               tiff.Short(0x0112, 1)};
  tiff.exif = {tiff.Ascii(0x9003, "2008:01:31 14:35:10")};
  const std::string source = Root("camera.tif");
  test::WriteFile(source, tiff.Build());
  const TJpegImage image = Encode(test::PhotoLike(64, 48));
  const std::string destination = Root("from-tiff.jpg");
  ASSERT_GT(SaveJpegWithExif(image, source, destination, false, false, 0), 0);
  TExifItemEx saved;
  saved.LoadExif(destination);
  ASSERT_TRUE(saved.JpegForm());
  for (uint16_t tag : {256, 257, 258, 259, 262, 273, 277, 278, 279, 284}) {
    EXPECT_EQ(saved.Dir(TExifItemEx::kIfd0).Find(tag), nullptr) << tag;
  }
  ASSERT_NE(saved.Dir(TExifItemEx::kIfd0).Find(0x010F), nullptr);
  const auto tags = Tags(destination, "-warning -DateTimeOriginal");
  EXPECT_EQ(Value(tags, "[ExifIFD] DateTimeOriginal"), "2008:01:31 14:35:10");
  EXPECT_EQ(tags.count("[ExifTool] Warning"), 0u);
}

TEST(SaveJpegWithExif, WritesThePlainPictureWhereEXIFCannotGo) {
  const std::string withExif = Root("source.jpg");
  fs::copy_file(Samples() + "/Canon_40D.jpg", withExif);
  const std::string plain = Root("plain.jpg");
  test::WriteFile(plain, test::Jpeg({}, 64, 48));
  const TJpegImage image = Encode(test::PhotoLike(64, 48));
  const Bytes pixels(image.data.begin(), image.data.end());
  struct Case {
    std::string source, destination;
  } cases[] = {
      {withExif, Root("camera.NEF")},  // never EXIF into a RAW-named file
      {plain, Root("out1.jpg")},       // no EXIF to carry
      {Root("missing.jpg"), Root("out2.jpg")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SaveJpegWithExif(image, c.source, c.destination, false, false, 0), -1) << c.destination;
    EXPECT_EQ(test::ReadFile(c.destination), pixels) << c.destination;
  }
}

TEST(SaveJpegWithExif, MakerNotesAreRelocatedOrCopiedByteForByte) {
  // An Olympus note: 8-byte prefix, then a directory whose external value must move with it.
  test::TiffBuilder tiff(false);
  test::TiffBuilder note(false);
  tiff.ifd0 = {tiff.Ascii(0x010F, "OLYMPUS OPTICAL CO.,LTD")};
  // The note is laid out after the Exif directory by the builder; its external value's offset is
  // patched below once the note's place is known.
  Bytes olympus = {'O', 'L', 'Y', 'M', 'P', 0, 1, 0};
  const Bytes text = {'l', 'o', 'n', 'g', ' ', 'v', 'a', 'l', 'u', 'e', '!', 0};
  Bytes dir = {1, 0, 0x01, 0x02, 2, 0, uint8_t(text.size()), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  olympus.insert(olympus.end(), dir.begin(), dir.end());
  olympus.insert(olympus.end(), text.begin(), text.end());
  tiff.exif = {tiff.Undefined(0x927C, olympus)};
  Bytes block = tiff.Build();
  const auto at = std::search(block.begin(), block.end(), olympus.begin(), olympus.begin() + 8) - block.begin();
  const uint32_t textOffset = static_cast<uint32_t>(at + 8 + 18);
  for (int i = 0; i < 4; ++i) block[at + 8 + 2 + 8 + i] = uint8_t(textOffset >> (8 * i));
  const std::string source = Root("olympus.jpg");
  test::WriteFile(source, test::Jpeg({test::ExifSegment(block)}, 64, 48));
  const TJpegImage image = Encode(test::PhotoLike(64, 48));
  const std::string destination = Root("olympus-saved.jpg");
  ASSERT_GT(SaveJpegWithExif(image, source, destination, false, false, 0), 0);
  TExifItemEx saved;
  saved.LoadExif(destination);
  const TIFDItem* makerNote = saved.Dir(TExifItemEx::kExif).MakerNote();
  ASSERT_NE(makerNote, nullptr) << "read back as a directory after its prefix";
  EXPECT_EQ(saved.Dir(TExifItemEx::kExif).MakerPrefix(), Bytes(olympus.begin(), olympus.begin() + 8));
  ASSERT_NE(makerNote->Find(0x0201), nullptr);
  EXPECT_EQ(makerNote->Find(0x0201)->Data(), text) << "its external value moved with it";

  // A Nikon note with its own TIFF header keeps every byte.
  const Bytes nikon = {'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  test::TiffBuilder nikonTiff(false);
  nikonTiff.ifd0 = {nikonTiff.Ascii(0x010F, "NIKON CORPORATION")};
  nikonTiff.exif = {nikonTiff.Undefined(0x927C, nikon)};
  test::WriteFile(source, test::Jpeg({test::ExifSegment(nikonTiff.Build())}, 64, 48));
  ASSERT_GT(SaveJpegWithExif(image, source, destination, false, false, 0), 0);
  TExifItemEx nikonSaved;
  nikonSaved.LoadExif(destination);
  EXPECT_EQ(nikonSaved.Dir(TExifItemEx::kExif).MakerNote(), nullptr);
  EXPECT_EQ(nikonSaved.Dir(TExifItemEx::kExif).Find(0x927C)->Data(), nikon);
}

TEST(SaveJpegWithExif, AFailedSaveOverTheSourceKeepsThePhoto) {
  const std::string folder = Root("album");
  fs::create_directories(folder);
  const std::string photo = folder + "/photo.jpg";
  fs::copy_file(Samples() + "/Canon_40D.jpg", photo);
  const Bytes original = test::ReadFile(photo);
  const TJpegImage image = Edited(photo);
  ASSERT_GT(image.data.size(), 1024u);
  // A child whose files may not grow past 1 KB: the disk is "full" for it.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {1024, 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SaveJpegWithExif(image, photo, photo, false, false, 1);
      _exit(0);
    } catch (const std::exception&) {
      _exit(3);
    }
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "the failure is reported";
  EXPECT_EQ(test::ReadFile(photo), original) << "the photo is untouched";
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"photo.jpg"}) << "no temporary file stays behind";

  // Saved over itself with room to write, the photo becomes the edited one with its EXIF.
  ASSERT_GT(SaveJpegWithExif(image, photo, photo, false, false, 1), 0);
  EXPECT_EQ(Value(Tags(photo, "-Model"), "[IFD0] Model"), "Canon EOS 40D");
}

TEST(SaveJpegWithExif, DamagedSourceBlocksNeverBreakTheSave) {
  // Every damaged sample, and a good block with each of its bytes in turn set to 0xFF: the save
  // either carries a block that reads back or writes the plain picture.
  std::vector<std::pair<std::string, Bytes>> sources;
  for (const auto& e : fs::directory_iterator(Samples() + "/invalid")) {
    if (e.path().extension() == ".jpg") sources.emplace_back(e.path().filename().string(), test::ReadFile(e.path()));
  }
  sources.emplace_back("corrupted.jpg", test::ReadFile(Samples() + "/corrupted.jpg"));
  test::TiffBuilder tiff = OrientedBlock(true, true);
  tiff.exif.push_back(tiff.Undefined(
      0x927C, Bytes{'O', 'L', 'Y', 'M', 'P', 0, 1, 0, 1, 0, 1, 2, 2, 0, 40, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0}));
  tiff.ifd0.push_back(tiff.Ascii(0x010F, "OLYMPUS"));
  const Bytes block = tiff.Build();
  for (size_t i = 0; i < block.size(); i += 7) {
    Bytes damaged = block;
    damaged[i] = 0xFF;
    sources.emplace_back("byte " + std::to_string(i), test::Jpeg({test::ExifSegment(damaged)}, 640, 480));
  }
  const TJpegImage image = Encode(test::PhotoLike(64, 48));
  const std::string source = Root("damaged.jpg");
  const std::string destination = Root("saved.jpg");
  for (const auto& [name, bytes] : sources) {
    SCOPED_TRACE(name);
    test::WriteFile(source, bytes);
    const int64_t result = SaveJpegWithExif(image, source, destination, false, false, 1);
    const Bytes saved = test::ReadFile(destination);
    if (result < 0) {
      EXPECT_EQ(saved, Bytes(image.data.begin(), image.data.end()));
    } else {
      EXPECT_EQ(static_cast<int64_t>(saved.size()), result);
      TExifItemEx back;
      back.LoadExif(destination);
      EXPECT_TRUE(back.Loaded());
    }
    Bitmap decoded;
    DecodeJpeg(saved, decoded, dsFull);
    EXPECT_EQ(decoded.Width(), 64);
  }
}

TEST(TIFDItem, DirectorySizeIsWhatWriteDirectoryWrites) {
  for (bool big : {false, true}) {
    for (size_t n : {0, 1, 3, 5, 8}) {
      TIFDItem dir(big);
      for (size_t i = 0; i < n; ++i) {
        // Inline values, odd and even external blocks, in no particular tag order.
        const Bytes value(i * 3 + (i % 2), static_cast<uint8_t>('a' + i));
        if (!value.empty()) dir.SetBytes(static_cast<uint16_t>(0x9000 - i * 7), 7, value);
      }
      dir.SetRational(0x011A, 72, 1);
      TMemoryStream stream;
      stream.Storage().assign(10, 0);  // a base ahead of the directory, as in a real block
      stream.Seek(0, TSeekOrigin::soEnd);
      dir.WriteDirectory(stream, 2, 0);
      EXPECT_EQ(stream.Size() - 10, dir.DirectorySize()) << n << (big ? " MM" : " II");
      for (size_t i = 1; i < dir.Count(); ++i) {
        EXPECT_LT(dir.Entries()[i - 1]->Tag(), dir.Entries()[i]->Tag()) << "sorted by tag";
      }
    }
  }
}

TEST(FindJpegInsertPoint, SkipsApplicationSegmentsAndStopsAtTheEnd) {
  struct Case {
    const char* name;
    Bytes bytes;
    int64_t expected;
  } cases[] = {
      {"app0 and app1", test::Jpeg({test::Segment(0xE0, Bytes(14, 1)), test::Segment(0xE1, Bytes(30, 2))}, 8, 8),
       2 + 18 + 34},
      {"no app", test::Jpeg({}, 8, 8), 2},
      {"ends inside app", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x40, 1, 2}, -1},
      {"only SOI", Bytes{0xFF, 0xD8}, -1},
      {"not a JPEG", Bytes(100, 7), -1},
  };
  for (const Case& c : cases) {
    TMemoryStream stream(c.bytes);
    EXPECT_EQ(FindJpegInsertPoint(stream), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace plb

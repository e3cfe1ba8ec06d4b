// Shooting-date change: the date arithmetic of the change flags, the in-place rewrite of
// DateTimeOriginal on hand-made and damaged files, the worker on catalog items, and plb set-date on
// copies of real camera files checked with exiftool and exiv2.
#include "images/dates/exif_date_changer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/exif_builder.h"
#include "host/date_time.h"
#include "host/file_functions.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

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

TEST(CombineShootingDate, TakesTheFlaggedPartsAndClampsTheDay) {
  struct Case {
    TDateTime old, target;
    uint8_t flags;
    TDateTime expected;
  } cases[] = {
      {At(2008, 1, 31, 14, 35, 10), At(2009, 2, 10, 9), kChangeDate, At(2009, 2, 10, 14, 35, 10)},
      {At(2008, 1, 31, 10), At(2009, 2, 15), kChangeYearAndMonth, At(2009, 2, 28, 10)},
      {At(2008, 2, 29, 23, 59, 59), At(2009, 7, 1), kChangeYear, At(2009, 2, 28, 23, 59, 59)},
      {At(2008, 2, 29), At(2012, 1, 1), kChangeYear, At(2012, 2, 29)},
      {At(2008, 1, 31, 14, 35, 10), At(1999, 9, 9, 9, 8, 7), kChangeTime, At(2008, 1, 31, 9, 8, 7)},
      {At(2008, 1, 31, 14, 35, 10), At(1999, 9, 9, 9, 8, 7), kChangeDateAndTime, At(1999, 9, 9, 9, 8, 7)},
      {At(1890, 5, 5, 6), At(1880, 1, 1), kChangeYear, At(1880, 5, 5, 6)},  // before 1899-12-30
  };
  for (const Case& c : cases) {
    const TDateTime got = CombineShootingDate(c.old, c.target, c.flags);
    EXPECT_EQ(FormatExifDateTime(got), FormatExifDateTime(c.expected)) << int(c.flags);
  }
}

// A JPEG whose DateTimeOriginal is "2008:01:31 14:35:10" (count 20) and DateTimeDigitized the same.
Bytes DatedJpeg(bool bigEndian, const std::string& date = "2008:01:31 14:35:10", bool terminate = true) {
  test::TiffBuilder tiff(bigEndian);
  tiff.ifd0 = {tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0132, "2008:01:31 14:35:10")};
  tiff.exif = {tiff.Ascii(0x9003, date, terminate), tiff.Ascii(0x9004, "2008:01:31 14:35:10")};
  return test::Jpeg({test::ExifSegment(tiff.Build())}, 64, 48);
}

class PatchDate : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return test::TestRoot() + "/" + name; }
  // The positions where two files differ.
  static std::vector<size_t> Differences(const Bytes& a, const Bytes& b) {
    std::vector<size_t> at;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
      if (a[i] != b[i]) at.push_back(i);
    }
    return at;
  }
};

TEST_F(PatchDate, RewritesOnlyTheTwentyBytesInBothByteOrders) {
  for (bool big : {false, true}) {
    const std::string path = Path(big ? "mm.jpg" : "ii.jpg");
    const Bytes before = DatedJpeg(big);
    WriteAll(path, before);
    ASSERT_EQ(PatchExifDateInFile(path, true, At(2009, 2, 10, 14, 35, 10)), TDatePatchResult::kPatched);
    const Bytes after = ReadAll(path);
    ASSERT_EQ(after.size(), before.size());
    const std::vector<size_t> diff = Differences(before, after);
    ASSERT_FALSE(diff.empty());
    EXPECT_LE(diff.back() - diff.front(), 19u) << "only the field's bytes change";
    uint32_t flags = kJpegInfoExif;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(path, flags, info);
    EXPECT_EQ(FormatExifDateTime(info.shooting_date), "2009:02:10 14:35:10");
    const std::string text(after.begin(), after.end());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\0') - std::count(before.begin(), before.end(), 0), 0);
    EXPECT_NE(text.find("2008:01:31 14:35:10"), std::string::npos) << "DateTimeDigitized and DateTime keep theirs";
  }
}

TEST_F(PatchDate, ReplacesThePhotoKeepingItsPermissionsAndLinks) {
  const std::string target = Path("target.jpg");
  const std::string link = Path("link.jpg");
  WriteAll(target, DatedJpeg(false));
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  fs::create_symlink(target, link);
  ASSERT_EQ(PatchExifDateInFile(link, true, At(2011, 3, 4, 5, 6, 7)), TDatePatchResult::kPatched);
  EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  uint32_t flags = kJpegInfoExif;
  TJpegInfoExRec info;
  ReadJpegInfoFromFile(target, flags, info);
  EXPECT_EQ(FormatExifDateTime(info.shooting_date), "2011:03:04 05:06:07");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(test::TestRoot())) {
    if (e.path().extension() == ".jpg" || e.path().filename().string().starts_with(".")) {
      names.push_back(e.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link.jpg", "target.jpg"})) << "no temporary file stays behind";
}

// The field is written in place: the photo stays the same file, so its other names (hard links),
// its extended attributes and a folder the user may not write all stay as they were.
TEST_F(PatchDate, WritesInPlaceSoHardLinksAndAttributesStay) {
  const std::string path = Path("photo.jpg");
  const std::string other = Path("other-name.jpg");
  WriteAll(path, DatedJpeg(false));
  fs::create_hard_link(path, other);
  const bool xattrs = ::setxattr(path.c_str(), "user.note", "kept", 4, 0) == 0;
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_EQ(PatchExifDateInFile(path, true, At(2012, 6, 7, 8, 9, 10)), TDatePatchResult::kPatched);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the same file, not a replacement";
  EXPECT_EQ(after.st_nlink, 2u);
  for (const std::string& name : {path, other}) {
    uint32_t flags = kJpegInfoExif;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(name, flags, info);
    EXPECT_EQ(FormatExifDateTime(info.shooting_date), "2012:06:07 08:09:10") << name;
  }
  if (xattrs) {
    char value[8] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.note", value, sizeof value), 4);
    EXPECT_EQ(std::string(value), "kept");
  }
}

// Editors write the XMP packet's APP1 before the EXIF one: the date is still found and changed
// in place, where every reader looks for it.
TEST_F(PatchDate, FindsTheExifSegmentBehindAnXmpSegment) {
  test::TiffBuilder tiff(false);
  tiff.exif = {tiff.Ascii(0x9003, "2008:01:31 14:35:10")};
  const Bytes before = test::Jpeg({test::XmpSegment(), test::ExifSegment(tiff.Build())}, 64, 48);
  const std::string path = Path("xmp-first.jpg");
  WriteAll(path, before);
  const TFileDateChange change = ChangeFileShootingDate(path, true, At(2008, 1, 31, 14, 35, 10), At(2013, 1, 2, 3, 4, 5));
  EXPECT_EQ(change.how, TFileDateChange::kExifField);
  uint32_t flags = kJpegInfoExif;
  TJpegInfoExRec info;
  ReadJpegInfoFromFile(path, flags, info);
  EXPECT_EQ(FormatExifDateTime(info.shooting_date), "2013:01:02 03:04:05");
  const std::vector<size_t> diff = Differences(before, ReadAll(path));
  ASSERT_FALSE(diff.empty());
  EXPECT_LE(diff.back() - diff.front(), 19u);
}

TEST_F(PatchDate, RefusesWhatItCannotRewriteSafelyAndLeavesTheFileAsItWas) {
  const Bytes good = DatedJpeg(false);
  const size_t tiff = 12;  // after SOI, the APP1 marker and length and "Exif\0\0"
  ASSERT_EQ(good[tiff], 'I');
  struct Case {
    const char* name;
    Bytes bytes;
    bool isJpeg;
    TDatePatchResult expected;
  };
  Bytes badMagic = good;
  badMagic[tiff + 2] = 43;
  Bytes farIfd = good;
  farIfd[tiff + 7] = 0x7F;  // IFD0 at 2 GB
  Bytes farField = good;
  {
    // Move DateTimeOriginal's offset beyond the segment: find the entry by its tag bytes.
    const Bytes tag = {0x03, 0x90, 0x02, 0x00, 20, 0, 0, 0};
    auto it = std::search(farField.begin(), farField.end(), tag.begin(), tag.end());
    ASSERT_NE(it, farField.end());
    it[8] = 0xF0, it[9] = 0xFF, it[10] = 0, it[11] = 0;
  }
  Bytes asciiPointer = good;
  {
    const Bytes pointer = {0x69, 0x87, 0x04, 0x00};
    auto it = std::search(asciiPointer.begin(), asciiPointer.end(), pointer.begin(), pointer.end());
    ASSERT_NE(it, asciiPointer.end());
    it[2] = 0x02;  // the Exif pointer typed ASCII: no directory for other readers
  }
  Bytes manyEntries = good;
  {
    // IFD0 claims 65535 entries and has no Exif pointer: the scan runs off the block.
    manyEntries[tiff + 8] = 0xFF, manyEntries[tiff + 9] = 0xFF;
    const Bytes pointer = {0x69, 0x87, 0x04, 0x00};
    auto it = std::search(manyEntries.begin(), manyEntries.end(), pointer.begin(), pointer.end());
    ASSERT_NE(it, manyEntries.end());
    it[0] = 0x68;
  }
  Bytes exifLoop;
  {
    // The Exif pointer leads back to IFD0, which holds a DateTimeOriginal of its own: no other
    // reader takes that for the shooting date.
    test::TiffBuilder tiff(false);
    tiff.ifd0 = {tiff.Ascii(0x9003, "2008:01:31 14:35:10"), tiff.Long(0x8768, 8)};
    Bytes block = tiff.Build();
    const Bytes pointer = {0x68, 0x87, 0x04, 0x00, 1, 0, 0, 0, 8, 0, 0, 0};
    auto it = std::search(block.begin(), block.end(), pointer.begin(), pointer.end());
    ASSERT_NE(it, block.end());
    it[0] = 0x69;
    exifLoop = test::Jpeg({test::ExifSegment(block)}, 8, 8);
  }
  std::string notTiff = "plain text, II here and MM there";
  const Case cases[] = {
      {"short.jpg", DatedJpeg(false, "2008:01:31 14:35:1"), true, TDatePatchResult::kNotRewritable},
      {"unterminated.jpg", DatedJpeg(false, "2008:01:31 14:35:10", false), true, TDatePatchResult::kNotRewritable},
      {"magic.jpg", badMagic, true, TDatePatchResult::kBadHeader},
      {"far-ifd.jpg", farIfd, true, TDatePatchResult::kOutOfBounds},
      {"far-field.jpg", farField, true, TDatePatchResult::kOutOfBounds},
      {"ascii-pointer.jpg", asciiPointer, true, TDatePatchResult::kNoField},
      {"many.jpg", manyEntries, true, TDatePatchResult::kOutOfBounds},
      {"exif-loop.jpg", exifLoop, true, TDatePatchResult::kNoField},
      {"plain.jpg", test::Jpeg({}, 8, 8), true, TDatePatchResult::kNoExif},
      {"notes.txt", Bytes(notTiff.begin(), notTiff.end()), false, TDatePatchResult::kNoExif},
      {"notes.tif", Bytes(notTiff.begin(), notTiff.end()), false, TDatePatchResult::kBadHeader},
  };
  for (const Case& c : cases) {
    const std::string path = Path(c.name);
    WriteAll(path, c.bytes);
    EXPECT_EQ(PatchExifDateInFile(path, c.isJpeg, At(2009, 2, 10)), c.expected) << c.name;
    EXPECT_EQ(ReadAll(path), c.bytes) << c.name;
  }
}

TEST_F(PatchDate, AReadOnlyFileGetsTheDateThroughItsModificationTime) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  const std::string path = Path("locked.jpg");
  const Bytes bytes = DatedJpeg(false);
  WriteAll(path, bytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(PatchExifDateInFile(path, true, At(2009, 2, 10)), TDatePatchResult::kFileError);
  const TFileDateChange change = ChangeFileShootingDate(path, true, At(2008, 1, 31), At(2009, 2, 10, 7, 6, 5));
  EXPECT_EQ(change.how, TFileDateChange::kModificationTime);
  EXPECT_EQ(FormatExifDateTime(change.date), "2009:02:10 07:06:05");
  EXPECT_EQ(change.fileDate, change.date);
  EXPECT_EQ(FormatExifDateTime(GetFileUpdateDateTime(path)), "2009:02:10 07:06:05");
  EXPECT_EQ(ReadAll(path), bytes);
}

TEST_F(PatchDate, EqualDatesTouchNothingAndAMissingFileIsAnError) {
  const std::string path = Path("same.jpg");
  const Bytes bytes = DatedJpeg(false);
  WriteAll(path, bytes);
  SetFileUpdateDateTime(path, At(2001, 1, 1));
  const TFileDateChange same =
      ChangeFileShootingDate(path, true, At(2008, 1, 31, 14, 35, 10), At(2008, 1, 31, 14, 35, 10));
  EXPECT_EQ(same.how, TFileDateChange::kUnchanged);
  EXPECT_EQ(ReadAll(path), bytes);
  EXPECT_EQ(FormatExifDateTime(GetFileUpdateDateTime(path)), "2001:01:01 00:00:00");
  try {
    ChangeFileShootingDate(Path("gone.jpg"), true, At(2008, 1, 1), At(2009, 1, 1));
    FAIL() << "a missing file cannot be given a date";
  } catch (const EExifDateChangeError& e) {
    EXPECT_EQ(std::string(e.what()), Path("gone.jpg"));
  }
}

// The worker on items of a scanned folder.
class DateChanger : public ::testing::Test {
 protected:
  void SetUp() override {
    vol_ = test::TestRoot() + "/vol";
    dir_ = vol_ + "/photos";
    fs::create_directories(dir_);
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
  }
  TCatalogItem* Item(const std::string& name) {
    TFolder* folder = trees_.FolderOf(dir_);
    folder->SearchFilesEx(nullptr);
    TCatalogItem* item = folder->FindItem(name);
    EXPECT_NE(item, nullptr) << name;
    return item;
  }

  std::string vol_, dir_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeListEyeFi trees_;
};

TEST_F(DateChanger, ChangesEachItemByTheBestRouteAndCountsWhatFailed) {
  WriteAll(dir_ + "/exif.jpg", DatedJpeg(false));
  WriteAll(dir_ + "/short.jpg", DatedJpeg(false, "2008:01:31 14:35:1"));
  WriteAll(dir_ + "/clip.bmp", Bytes(100, 'B'));
  WriteAll(dir_ + "/same.jpg", DatedJpeg(true));
  WriteAll(dir_ + "/doomed.jpg", DatedJpeg(false));
  // A date field without its terminating NUL: readers find the date, the rewrite refuses it.
  WriteAll(dir_ + "/stuck.jpg", DatedJpeg(false, "2008:01:31 14:35:10", false));
  SetFileUpdateDateTime(dir_ + "/stuck.jpg", At(2001, 1, 1));
  TCatalogItem* stuck = Item("stuck.jpg");
  TCatalogItem* exif = Item("exif.jpg");
  TCatalogItem* shortField = Item("short.jpg");
  TCatalogItem* bitmap = Item("clip.bmp");
  TCatalogItem* same = Item("same.jpg");
  TCatalogItem* doomed = Item("doomed.jpg");
  for (TCatalogItem* item : {exif, shortField, bitmap, same, doomed, stuck})
    item->SetShootingDate(At(2008, 1, 31, 14, 35, 10));
  fs::remove(dir_ + "/doomed.jpg");
  const Bytes sameBytes = ReadAll(dir_ + "/same.jpg");

  TExifDateChanger changer({exif, shortField, bitmap, doomed, stuck}, At(2009, 2, 10, 9), kChangeDate);
  std::vector<uint8_t> states;
  changer.SetProgressHandler(
      [&](TOstraThreadBase*, uint8_t state, uint32_t, int32_t, int32_t) { states.push_back(state); });
  ASSERT_TRUE(changer.Start());
  changer.WaitFor();
  EXPECT_EQ(changer.SuccessCount(), 2);
  EXPECT_EQ(changer.ErrorCount(), 3);
  EXPECT_EQ(states.back(), psCompleted);
  EXPECT_EQ(FormatExifDateTime(exif->ShootingDate()), "2009:02:10 14:35:10");
  EXPECT_EQ(exif->FileDate(), GetFileUpdateDateTime(dir_ + "/exif.jpg"));
  // A file without a date of its own takes the new one as its modification time.
  EXPECT_EQ(FormatExifDateTime(bitmap->ShootingDate()), "2009:02:10 14:35:10");
  EXPECT_EQ(bitmap->FileDate(), bitmap->ShootingDate());
  EXPECT_EQ(FormatExifDateTime(doomed->ShootingDate()), "2008:01:31 14:35:10") << "a failed item keeps its date";
  // Files whose own date cannot be rewritten: a new modification time would not change what
  // readers find, so they are left as they were and counted as failed.
  EXPECT_EQ(FormatExifDateTime(stuck->ShootingDate()), "2008:01:31 14:35:10");
  EXPECT_EQ(FormatExifDateTime(shortField->ShootingDate()), "2008:01:31 14:35:10");
  EXPECT_EQ(FormatExifDateTime(GetFileUpdateDateTime(dir_ + "/stuck.jpg")), "2001:01:01 00:00:00");

  TExifDateChanger unchanged({same}, At(2008, 1, 31, 23), kChangeDate);
  ASSERT_TRUE(unchanged.Start());
  unchanged.WaitFor();
  EXPECT_EQ(unchanged.SuccessCount(), 1);
  EXPECT_EQ(ReadAll(dir_ + "/same.jpg"), sameBytes);
}

TEST_F(DateChanger, StopsBetweenItemsWhenTerminated) {
  std::vector<TCatalogItem*> items;
  const std::vector<std::string> names = {"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg"};
  for (const std::string& name : names) WriteAll(dir_ + "/" + name, DatedJpeg(false));
  for (const std::string& name : names) {
    TCatalogItem* item = Item(name);
    item->SetShootingDate(At(2008, 1, 31, 14, 35, 10));
    items.push_back(item);
  }
  TExifDateChanger changer(items, At(2010, 1, 1), kChangeDate);
  uint8_t last = 0;
  changer.SetProgressHandler([&](TOstraThreadBase* sender, uint8_t state, uint32_t, int32_t position, int32_t) {
    last = state;
    if (state == psProgressing && position == 2) static_cast<TExifDateChanger*>(sender)->Terminate();
  });
  ASSERT_TRUE(changer.Start());
  changer.WaitFor();
  EXPECT_EQ(last, psCancelled);
  EXPECT_EQ(changer.SuccessCount(), 2);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(DecodeDateTime(items[i]->ShootingDate()).year, i < 2 ? 2010 : 2008) << i;
  }
}

TEST(SetDateCommand, ChangesTheGivenPartsAndRefusesBadArguments) {
  const std::string photo = test::TestRoot() + "/photo.jpg";
  const std::string other = test::TestRoot() + "/other.jpg";
  WriteAll(photo, DatedJpeg(false));
  WriteAll(other, DatedJpeg(true));
  const std::string plb = test::BinaryDir() + "/bin/plb set-date ";
  struct Case {
    std::string arguments;
    int exitCode;
    const char* photoDate;  // DateTimeOriginal of photo.jpg afterwards
  } cases[] = {
      {"--date 2009:13:01 '" + photo + "'", 2, "2008:01:31 14:35:10"},
      {"--time 25:00:00 '" + photo + "'", 2, "2008:01:31 14:35:10"},
      {"--date 2009-02-10 '" + photo + "'", 2, "2008:01:31 14:35:10"},
      {"'" + photo + "'", 2, "2008:01:31 14:35:10"},
      {"--date 2009:02:10", 2, "2008:01:31 14:35:10"},
      {"--date 2009:02:10 '" + photo + "'", 0, "2009:02:10 14:35:10"},
      {"--time 06:07:08 '" + photo + "'", 0, "2009:02:10 06:07:08"},
      {"--time 06:07:08 '" + photo + "' '" + test::TestRoot() + "/missing.jpg'", 1, "2009:02:10 06:07:08"},
  };
  for (const Case& c : cases) {
    const int status = std::system((plb + c.arguments + " >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.arguments;
    uint32_t flags = kJpegInfoExif;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(photo, flags, info);
    EXPECT_EQ(FormatExifDateTime(info.shooting_date), c.photoDate) << c.arguments;
  }
  // A photo whose EXIF date cannot be rewritten keeps it; changing only the modification time
  // there is no success, for every reader still finds the old shooting date.
  const std::string stuck = test::TestRoot() + "/stuck.jpg";
  WriteAll(stuck, DatedJpeg(false, "2008:01:31 14:35:10", false));
  const int stuckStatus = std::system((plb + "--date 2009:02:10 '" + stuck + "' >/dev/null 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(stuckStatus), 1);
  EXPECT_NE(RunCommand(plb + "--date 2009:03:10 '" + stuck + "'").find("failed"), std::string::npos);
  // Without any EXIF the modification time is the shooting date: that change succeeds.
  const std::string plain = test::TestRoot() + "/plain.jpg";
  WriteAll(plain, test::Jpeg({}, 8, 8));
  const int plainStatus = std::system((plb + "--date 2009:02:10 '" + plain + "' >/dev/null 2>&1").c_str());
  EXPECT_EQ(WEXITSTATUS(plainStatus), 0);

  const std::string report = RunCommand(plb + "--date 2008:01:31 '" + other + "'");
  EXPECT_EQ(report, other + ": unchanged, already 2008:01:31 14:35:10\n");
  EXPECT_EQ(RunCommand(plb + "--json --date 2010:01:02 '" + other + "'"),
            "{\"file\":\"" + other +
                "\",\"changed\":\"exif\",\"old\":\"2008:01:31 14:35:10\",\"new\":\"2010:01:02 "
                "14:35:10\",\"reason\":\"\"}\n");
}

// --- Real camera files ---

std::string SamplesDir() {
  return test::TestDataDir() + "/exif-samples/jpg";
}

// exiftool's listing of every tag of every file below a folder, per file, without the tags a
// date change is meant to change (the field itself, file-system times).
std::map<std::string, std::string> ExiftoolListing(const std::string& root) {
  std::map<std::string, std::string> listing;
  std::istringstream lines(RunCommand("exiftool -r -a -G1 -s -n -ext jpg -ext jpeg '" + root + "' 2>/dev/null"));
  std::string line, file;
  while (std::getline(lines, line)) {
    if (line.starts_with("======== ")) {
      file = line.substr(9);
    } else if (line.find("DateTimeOriginal") == std::string::npos && !line.starts_with("[System]")) {
      listing[file] += line + "\n";
    }
  }
  return listing;
}

// Per file: exiftool's DateTimeOriginal and modification time, exiv2's DateTimeOriginal.
struct ReadBack {
  std::string exiftoolDate, fileDate, exiv2Date;
};

std::map<std::string, ReadBack> ReadBackDates(const std::string& root, const std::vector<std::string>& files) {
  std::map<std::string, ReadBack> dates;
  std::istringstream rows(
      RunCommand("exiftool -q -q -r -T -d '%Y:%m:%d %H:%M:%S' -Directory -FileName "
                 "-ExifIFD:DateTimeOriginal -FileModifyDate -ext jpg -ext jpeg '" +
                 root + "'"));
  std::string row;
  while (std::getline(rows, row)) {
    std::vector<std::string> f;
    std::istringstream fields(row);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() == 4) dates[f[0] + "/" + f[1]].exiftoolDate = f[2], dates[f[0] + "/" + f[1]].fileDate = f[3];
  }
  std::string command = "exiv2 -q -K Exif.Photo.DateTimeOriginal -Pv";
  for (const std::string& f : files) command += " '" + f + "'";
  std::istringstream exiv2(RunCommand(command + " 2>/dev/null"));
  while (std::getline(exiv2, row)) {
    for (const std::string& f : files) {
      if (row.starts_with(f + " ")) dates[f].exiv2Date = row.substr(row.find_first_not_of(' ', f.size()));
    }
  }
  return dates;
}

TEST(SetDateSamples, EveryCameraFileGetsTheNewDateAndKeepsEverythingElse) {
  const std::string copies = test::TestRoot() + "/samples";
  fs::copy(SamplesDir(), copies, fs::copy_options::recursive);
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(copies)) {
    if (e.is_regular_file() && e.path().filename() != "README") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 50u);
  std::map<std::string, Bytes> before;
  for (const std::string& f : files) before[f] = ReadAll(f);
  const auto listingBefore = ExiftoolListing(copies);

  std::string command = test::BinaryDir() + "/bin/plb set-date --date 2009:02:10 --time 09:08:07";
  for (const std::string& f : files) command += " '" + f + "'";
  const std::string report = RunCommand(command + " 2>&1");

  const auto listingAfter = ExiftoolListing(copies);
  const auto dates = ReadBackDates(copies, files);
  int rewritten = 0;
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    const size_t at = report.find(f + ": ");
    ASSERT_NE(at, std::string::npos) << report;
    const std::string line = report.substr(at, report.find('\n', at) - at);
    const Bytes after = ReadAll(f);
    ASSERT_EQ(after.size(), before[f].size());
    EXPECT_EQ(listingAfter.at(f), listingBefore.at(f)) << "every other tag unchanged";
    if (line.find("EXIF DateTimeOriginal") != std::string::npos) {
      ++rewritten;
      EXPECT_EQ(dates.at(f).exiftoolDate, "2009:02:10 09:08:07");
      EXPECT_EQ(dates.at(f).exiv2Date, "2009:02:10 09:08:07");
      size_t first = after.size(), last = 0;
      for (size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[f][i]) first = std::min(first, i), last = i;
      }
      EXPECT_LE(last - first, 19u) << "only the 20 bytes of the field change";
    } else if (line.find("failed") != std::string::npos) {
      // A date of its own that cannot be rewritten: the file is left whole, times included.
      ASSERT_NE(line.find("the shooting date stays"), std::string::npos) << line;
      EXPECT_EQ(after, before[f]);
      EXPECT_NE(dates.at(f).fileDate, "2009:02:10 09:08:07");
    } else {
      ASSERT_NE(line.find("modification time"), std::string::npos) << line;
      EXPECT_EQ(after, before[f]) << "a file without a rewritable field keeps its bytes";
      EXPECT_EQ(dates.at(f).fileDate, "2009:02:10 09:08:07");
    }
  }
  EXPECT_GT(rewritten, 40);
}

}  // namespace
}  // namespace plb

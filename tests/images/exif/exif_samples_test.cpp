// The EXIF scanners and the EXIF display texts against real photos from some fifty cameras and a
// set of damaged files, with exiftool as the independent answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "images/exif/exif_display.h"
#include "images/exif/exif_property.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "support/run_command.h"
#include "support/test_env.h"

namespace plb {
namespace {

namespace fs = std::filesystem;

std::string SamplesDir() {
  return test::TestDataDir() + "/exif-samples";
}

std::vector<std::string> SampleFiles() {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(SamplesDir())) {
    if (e.is_regular_file() && IsExifExtension(e.path().string())) files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool IsTiff(const std::string& path) {
  return path.ends_with(".tiff") || path.ends_with(".tif");
}

// exiftool's answers, one row of tab-separated fields per file ("-" for none).
struct Oracle {
  std::string date, orientation, width, height, ifd0_width, ifd0_height, byte_order, make, model;
};

std::map<std::string, Oracle> AskExiftool() {
  std::map<std::string, Oracle> answers;
  const std::string command =
      "exiftool -q -q -T -n -r -ext jpg -ext jpeg -ext tif -ext tiff -Directory -FileName "
      "-ExifIFD:DateTimeOriginal -IFD0:Orientation -File:ImageWidth -File:ImageHeight -IFD0:ImageWidth "
      "-IFD0:ImageHeight -File:ExifByteOrder -IFD0:Make -IFD0:Model '" +
      SamplesDir() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return answers;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::vector<std::string> f;
    std::stringstream ss(text);
    for (std::string field; std::getline(ss, field, '\t');) f.push_back(field);
    if (f.size() < 11) continue;
    answers[f[0] + "/" + f[1]] = {f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]};
  }
  pclose(pipe);
  return answers;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(ExifSamples, AgreeWithExiftool) {
  if (std::system("exiftool -ver >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
  const auto answers = AskExiftool();
  const auto files = SampleFiles();
  ASSERT_GT(files.size(), 90u);
  int with_exif = 0;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    auto it = answers.find(path);
    ASSERT_NE(it, answers.end());
    const Oracle& o = it->second;
    const bool exiftool_has_exif = o.byte_order != "-";
    // Where we knowingly read more than exiftool, the answer we give instead, and why.
    static const std::map<std::string, std::string> kKnownDates = {
        // exiftool refuses to follow an Exif pointer stored with type ASCII; the directory is
        // sound and holds the date that the file's XMP packet repeats.
        {"jpg/tests/30-type_error.jpg", "2013:07:05 03:18:27"},
    };
    const auto known = kKnownDates.find(path.substr(SamplesDir().size() + 1));
    const std::string date_text = known != kKnownDates.end() ? known->second : o.date;
    const TDateTime expected_date = date_text == "-" ? 0 : ParseExifDateTime(date_text);
    const int expected_orientation = o.orientation == "-" ? 1 : std::stoi(o.orientation);

    if (IsTiff(path)) {
      TTiffInfoRec info;
      ReadTiffInfoFromFile(path, info);
      EXPECT_EQ(info.shooting_date, expected_date);
      EXPECT_EQ(info.orientation, expected_orientation);
      EXPECT_EQ(std::to_string(info.width), o.ifd0_width);
      EXPECT_EQ(std::to_string(info.height), o.ifd0_height);
      continue;
    }
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(path, flags, info);
    EXPECT_EQ(std::to_string(info.width), o.width);
    EXPECT_EQ(std::to_string(info.height), o.height);
    // Where exiftool finds no EXIF block, neither do we; where it does, we read the same values.
    EXPECT_EQ((flags & kJpegInfoExif) != 0, exiftool_has_exif);
    EXPECT_EQ(info.has_exif, exiftool_has_exif);
    EXPECT_EQ(info.shooting_date, expected_date);
    if (expected_date != 0) {
      EXPECT_EQ(FormatExifDateTime(info.shooting_date), date_text.substr(0, 19));
    }
    EXPECT_EQ(info.orientation, expected_orientation);
    if (exiftool_has_exif) ++with_exif;

    // The property reader sees the first APP1 segment: where that is EXIF, it agrees too.
    TExifItem item;
    if (item.LoadFromFile(path, true)) {
      EXPECT_EQ(item.ShootingDate(), expected_date);
      EXPECT_EQ(Trimmed(item.ValueText(3, "-")), Trimmed(o.make));
      EXPECT_EQ(Trimmed(item.ValueText(4, "-")), Trimmed(o.model));
    }
  }
  EXPECT_GT(with_exif, 60);
}

// How a property's display text shows exiftool's value (-n, no print conversion).
enum class Shows {
  kText,     // the text itself, trailing blanks aside
  kCode,     // the property's pick-list text of the code
  kLetter,   // the property's pick-list text of the letter
  kNumber,   // the first number, to the row's decimals ("OFF" for zero)
  kSeconds,  // "1/N" with N the rounded reciprocal, else the seconds as a number
  kNumbers,  // every integer, in order
  kVersion,  // "2.20" for "0220"
  kDegrees,  // d度m分s秒, the same decimal degrees to the row's decimals of a second
  kDate,     // "yyyy/mm/dd hh:nn:ss" for "yyyy:mm:dd hh:mm:ss", sub-seconds aside
  kTime,     // "hh:mm:ss", fractions cut off
  kPresent,  // there or not, nothing more
};

struct DisplayRow {
  int property;
  const char* tag;  // exiftool's name, from IFD0 or the Exif directory (0-63) or the GPS directory
  Shows shows;
  int decimals = 2;  // of numbers: how many the text keeps (it may drop trailing zeros)
};

// Every property the sample photos hold, but Make, Model and DateTimeOriginal (compared above) and
// the maker note (exiftool reads it as the maker's own tags). Each row checks the property's tag,
// value kind and formatter against an independent reader, on the value types cameras really write.
constexpr DisplayRow kDisplayRows[] = {
    {0, "ExifVersion", Shows::kVersion},
    {1, "FlashpixVersion", Shows::kVersion},
    {2, "ImageDescription", Shows::kText},
    {5, "Software", Shows::kText},
    {7, "Artist", Shows::kText},
    {8, "Copyright", Shows::kText},
    {10, "UserComment", Shows::kText},
    {12, "SubSecTimeOriginal", Shows::kNumber, 0},
    {13, "CreateDate", Shows::kDate},
    {14, "SubSecTimeDigitized", Shows::kNumber, 0},
    {15, "ModifyDate", Shows::kDate},
    {16, "SubSecTime", Shows::kNumber, 0},
    {17, "FileSource", Shows::kCode},
    {18, "SceneType", Shows::kCode},
    {19, "ColorSpace", Shows::kCode},
    {20, "CompressedBitsPerPixel", Shows::kNumber, 1},
    {21, "ExifImageWidth", Shows::kNumber, 0},
    {22, "ExifImageHeight", Shows::kNumber, 0},
    {23, "XResolution", Shows::kNumber, 0},
    {24, "YResolution", Shows::kNumber, 0},
    {25, "ResolutionUnit", Shows::kCode},
    {26, "FocalLength", Shows::kNumber},
    {27, "FocalPlaneXResolution", Shows::kNumber, 0},
    {28, "FocalPlaneYResolution", Shows::kNumber, 0},
    {29, "FocalPlaneResolutionUnit", Shows::kCode},
    {30, "SensingMethod", Shows::kCode},
    {31, "MeteringMode", Shows::kCode},
    {33, "ISO", Shows::kNumbers},
    {34, "ShutterSpeedValue", Shows::kSeconds},
    {35, "ExposureTime", Shows::kSeconds},
    {36, "ApertureValue", Shows::kNumber},  // exiftool gives the F-number, shown first
    {37, "FNumber", Shows::kNumber},
    {38, "MaxApertureValue", Shows::kNumber},
    {39, "BrightnessValue", Shows::kNumber},
    {40, "ExposureCompensation", Shows::kNumber},
    {41, "LightSource", Shows::kCode},
    {42, "Flash", Shows::kPresent},
    {44, "ExposureProgram", Shows::kCode},
    {45, "ExposureIndex", Shows::kNumber},
    {46, "SubjectDistance", Shows::kNumber},
    {48, "RelatedSoundFile", Shows::kText},
    {49, "Gamma", Shows::kNumber},
    {50, "SubjectArea", Shows::kNumbers},
    {51, "CustomRendered", Shows::kCode},
    {52, "ExposureMode", Shows::kCode},
    {53, "WhiteBalance", Shows::kCode},
    {54, "DigitalZoomRatio", Shows::kNumber},
    {55, "FocalLengthIn35mmFormat", Shows::kNumber, 0},
    {56, "SceneCaptureType", Shows::kCode},
    {57, "GainControl", Shows::kCode},
    {58, "Contrast", Shows::kCode},
    {59, "Saturation", Shows::kCode},
    {60, "Sharpness", Shows::kCode},
    {62, "SubjectDistanceRange", Shows::kCode},
    {63, "ImageUniqueID", Shows::kText},
    {64, "GPSVersionID", Shows::kNumbers},
    {65, "GPSLatitudeRef", Shows::kLetter},
    {66, "GPSLatitude", Shows::kDegrees},
    {67, "GPSLongitudeRef", Shows::kLetter},
    {68, "GPSLongitude", Shows::kDegrees},
    {69, "GPSAltitudeRef", Shows::kCode},
    {70, "GPSAltitude", Shows::kNumber},
    {71, "GPSDateStamp", Shows::kDate},
    {72, "GPSTimeStamp", Shows::kTime},
    {73, "GPSSatellites", Shows::kText},
    {76, "GPSDOP", Shows::kNumber},
    {77, "GPSSpeedRef", Shows::kLetter},
    {78, "GPSSpeed", Shows::kNumber},
    {81, "GPSImgDirectionRef", Shows::kLetter},
    {82, "GPSImgDirection", Shows::kNumber},
    {83, "GPSMapDatum", Shows::kText},
    {84, "GPSDestLatitudeRef", Shows::kLetter},
    {85, "GPSDestLatitude", Shows::kDegrees},
    {88, "GPSDestBearingRef", Shows::kLetter},
    {89, "GPSDestBearing", Shows::kNumber},
};

// exiftool's values of the IFD0, Exif and GPS directories, by file and "Group:Tag".
std::map<std::string, nlohmann::json> AskExiftoolForDirectories() {
  const test::CommandRun run = test::RunCommand(
      "exiftool -q -q -j -n -G1 -a -r -ext jpg -ext jpeg -ext tif -ext tiff -IFD0:all -ExifIFD:all -GPS:all '" +
      SamplesDir() + "' 2>/dev/null");
  std::map<std::string, nlohmann::json> files;
  for (const nlohmann::json& file : nlohmann::json::parse(run.out)) files[file["SourceFile"].get<std::string>()] = file;
  return files;
}

// A value as exiftool wrote it: numbers come as JSON numbers, or as texts when they have many
// digits; texts that look like numbers come as numbers.
std::string ValueString(const nlohmann::json& v) {
  return v.is_string() ? v.get<std::string>() : v.dump();
}

// The number, none for "undef" (a zero denominator) and other words.
std::optional<double> ValueNumber(const nlohmann::json& v) {
  if (v.is_number()) return v.get<double>();
  const std::string text = ValueString(v);
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') return std::nullopt;
  return number;
}

double FirstNumber(const std::string& text) {
  static const std::regex kNumber(R"(-?\d[\d,]*(\.\d+)?)");
  std::smatch m;
  if (!std::regex_search(text, m, kNumber)) return 0;  // "OFF", a zoom of zero
  std::string digits = m.str();
  std::erase(digits, ',');
  return std::stod(digits);
}

std::vector<int64_t> Integers(const std::string& text) {
  std::vector<int64_t> out;
  static const std::regex kDigits(R"(\d+)");
  for (std::sregex_iterator i(text.begin(), text.end(), kDigits), end; i != end; ++i)
    out.push_back(std::stoll(i->str()));
  return out;
}

void ExpectNear(double shown, int decimals, double exact) {
  EXPECT_LE(std::abs(shown - exact), 0.5 * std::pow(10.0, -decimals) + 1e-9) << "exiftool: " << exact;
}

void ExpectShows(const DisplayRow& row, const std::string& text, const nlohmann::json& value) {
  const std::string exact = ValueString(value);
  const std::optional<double> number = ValueNumber(value);
  switch (row.shows) {
    case Shows::kText:
      if (value.is_number()) {
        EXPECT_EQ(std::stod(text), *number);
      } else {
        EXPECT_EQ(Trimmed(text), Trimmed(exact));
      }
      break;
    case Shows::kCode:
      ASSERT_TRUE(number) << exact;
      EXPECT_EQ(text, PickedText(PropertyAt(row.property).picks, static_cast<int64_t>(*number)));
      break;
    case Shows::kLetter:
      EXPECT_EQ(text, PickedLetterText(PropertyAt(row.property).picks, exact));
      break;
    case Shows::kNumber:
      if (number) ExpectNear(FirstNumber(text), row.decimals, *number);
      break;
    case Shows::kSeconds:
      ASSERT_TRUE(number) << exact;
      if (text.starts_with("1/")) {
        EXPECT_EQ(FirstNumber(text.substr(2)), std::round(1 / *number));
      } else {
        ExpectNear(FirstNumber(text), row.decimals, *number);
      }
      break;
    case Shows::kNumbers: {
      std::vector<int64_t> expected;
      std::stringstream numbers(exact);
      for (int64_t n; numbers >> n;) expected.push_back(n);
      EXPECT_EQ(Integers(text), expected);
      break;
    }
    case Shows::kVersion:
      EXPECT_EQ(std::lround(std::stod(text) * 100), std::stol(exact));
      break;
    case Shows::kDegrees: {
      ASSERT_TRUE(number) << exact;
      const std::vector<int64_t> n = Integers(text);  // degrees, minutes, seconds and hundredths
      ASSERT_EQ(n.size(), 4u) << text;
      ExpectNear(n[0] * 3600 + n[1] * 60 + n[2] + n[3] / 100.0, row.decimals, *number * 3600);
      break;
    }
    case Shows::kDate: {
      std::string date = exact.substr(0, 19);
      for (size_t i : {4u, 7u}) {
        if (i < date.size()) date[i] = '/';
      }
      EXPECT_EQ(text.substr(0, date.size()), date);
      break;
    }
    case Shows::kTime:
      EXPECT_EQ(text, exact.substr(0, 8));
      break;
    case Shows::kPresent:
      break;
  }
}

TEST(ExifSamples, DisplayTextsShowWhatExiftoolReads) {
  if (std::system("exiftool -ver >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
  const auto answers = AskExiftoolForDirectories();
  int compared = 0;
  for (const std::string& path : SampleFiles()) {
    // exiftool refuses to follow an Exif pointer stored with type ASCII; this reader follows it.
    if (path.ends_with("/30-type_error.jpg")) continue;
    TExifItem item;
    if (!item.LoadFromFile(path, !IsTiff(path))) continue;
    const auto answer = answers.find(path);
    ASSERT_NE(answer, answers.end()) << path;
    const nlohmann::json& tags = answer->second;
    for (const DisplayRow& row : kDisplayRows) {
      SCOPED_TRACE(path + " property " + std::to_string(row.property) + " " + row.tag);
      const nlohmann::json* value = nullptr;
      for (const char* group :
           row.property >= kFirstGpsProperty ? std::vector{"GPS"} : std::vector{"ExifIFD", "IFD0"}) {
        const auto it = tags.find(std::string(group) + ":" + row.tag);
        if (!value && it != tags.end()) value = &*it;
      }
      EXPECT_EQ(item.HasProperty(row.property), value != nullptr);
      if (!value || !item.HasProperty(row.property)) continue;
      ExpectShows(row, item.ValueText(row.property, "-"), *value);
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
}

TEST(ExifSamples, ThumbnailsAreTheBytesAtTheirPlace) {
  int jpeg_thumbnails = 0;
  for (const std::string& path : SampleFiles()) {
    if (IsTiff(path)) continue;
    uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
    TJpegInfoExRec info;
    ReadJpegInfoFromFile(path, flags, info);
    if (!(flags & kJpegInfoThumbnail)) continue;
    ASSERT_TRUE(info.thumb_stream) << path;
    const auto bytes = info.thumb_stream->Bytes();
    ASSERT_EQ(static_cast<int64_t>(bytes.size()), info.thumb_length) << path;
    std::ifstream in(path, std::ios::binary);
    in.seekg(info.thumb_offset);
    std::string at_place(bytes.size(), '\0');
    in.read(at_place.data(), static_cast<std::streamsize>(at_place.size()));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), at_place.begin(), [](uint8_t a, char b) {
      return a == static_cast<uint8_t>(b);
    })) << path;
    // Old cameras store uncompressed thumbnails; a JPEG one has a size of its own.
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
      ++jpeg_thumbnails;
      EXPECT_GT(info.thumb_width, 0) << path;
      EXPECT_GT(info.thumb_height, 0) << path;
    }
  }
  EXPECT_GT(jpeg_thumbnails, 20);
}

// Every reader over every sample, whole and damaged: answers or partial data, never a crash, a
// hang or a wild allocation (the sanitizer build checks the last two).
void ReadEverything(const std::string& path) {
  uint32_t flags = kJpegInfoExif | kJpegInfoThumbnail;
  TJpegInfoExRec jpeg;
  ReadJpegInfoFromFile(path, flags, jpeg);
  TTiffInfoRec tiff;
  ReadTiffInfoFromFile(path, tiff);
  for (bool isJpeg : {true, false}) {
    TExifItem item;
    item.LoadFromFile(path, isJpeg);
    for (const std::string& line : item.PropertyLines(true, "%-17s:%s", "---")) EXPECT_FALSE(line.empty());
  }
}

TEST(ExifSamples, DamagedAndHostileFilesNeverCrash) {
  for (const std::string& path : SampleFiles()) ReadEverything(path);
}

TEST(ExifSamples, TruncatedAndCorruptedCopiesNeverCrash) {
  const std::string copy = test::TestRoot() + "/tmp/damaged.jpg";
  for (const char* name : {"jpg/Canon_40D.jpg", "jpg/gps/DSCN0010.jpg", "jpg/tests/45-gps_ifd.jpg"}) {
    std::ifstream in(SamplesDir() + "/" + name, std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t exif_end = std::min<size_t>(original.size(), 70000);
    for (size_t cut = 0; cut < exif_end; cut += 397) {
      std::ofstream(copy, std::ios::binary).write(original.data(), static_cast<std::streamsize>(cut));
      ReadEverything(copy);
    }
    uint32_t seed = 12345;
    for (int round = 0; round < 150; ++round) {
      std::string damaged = original;
      for (int k = 0; k < 8; ++k) {
        seed = seed * 1103515245 + 12345;
        damaged[(seed >> 8) % exif_end] = static_cast<char>(seed >> 24);
      }
      std::ofstream(copy, std::ios::binary).write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
      ReadEverything(copy);
    }
  }
}

}  // namespace
}  // namespace plb

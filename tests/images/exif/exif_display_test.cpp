#include "images/exif/exif_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "host/format.h"
#include "images/exif_builder.h"
#include "images/exif/exif_property.h"
#include "images/exif/exif_text.h"
#include "support/test_env.h"

namespace plb {
namespace {

using test::Bytes;
using test::TiffBuilder;

TExifItem Load(const TiffBuilder& b) {
  TMemoryStream s(b.Build());
  TExifItem item;
  EXPECT_TRUE(item.LoadFromStream(s));
  return item;
}

std::string WriteFile(const std::string& name, const Bytes& bytes) {
  const std::string path = test::TestRoot() + "/tmp/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes Utf16(std::u16string_view s, bool big) {
  Bytes out;
  for (char16_t c : s) {
    if (big) {
      out.push_back(uint8_t(c >> 8));
      out.push_back(uint8_t(c));
    } else {
      out.push_back(uint8_t(c));
      out.push_back(uint8_t(c >> 8));
    }
  }
  return out;
}

struct Expect {
  int property;
  const char* text;
};

void ExpectTexts(const TExifItem& item, std::initializer_list<Expect> expectations, const char* trace) {
  for (const auto& e : expectations) {
    EXPECT_TRUE(item.HasProperty(e.property)) << trace << " property " << e.property;
    EXPECT_EQ(item.ValueText(e.property, "---"), e.text) << trace << " property " << e.property;
  }
}

TEST(ExifItem, DisplayTextsOfIfd0AndExifProperties) {
  for (bool big : {false, true}) {
    const char* order = big ? "MM" : "II";
    TiffBuilder b(big);
    b.ifd0 = {b.Ascii(0x010E,
                      "a\tb\x01"
                      "c"),
              b.Ascii(0x010F, "Canon"),
              b.Ascii(0x0110, "EOS"),
              b.Rational(0x011A, 72, 1),
              b.Rational(0x011B, 300, 1),
              b.Short(0x0128, 2),
              b.Ascii(0x0132, "2010:05:12"),
              b.Ascii(0x8298, std::string("Photographer\0Editor", 19))};
    b.exif = {b.Rational(0x829A, 1, 250),
              b.Rational(0x829D, 17, 8),
              b.Short(0x8822, 3),
              b.Shorts(0x8827, {100, 200, 400}),
              b.Undefined(0x9000, Text("0220")),
              b.Ascii(0x9003, "2010:05:12 13:14:15"),
              b.Ascii(0x9004, "0000:00:00 00:00:00"),
              b.Rational(0x9102, 4, 1),
              b.Rational(0x9201, 6965784, 1000000, true),
              b.Rational(0x9202, 5, 1),
              b.Rational(0x9203, -33, 100, true),
              b.Rational(0x9206, 5, 0),
              b.Short(0x9207, 5),
              b.Short(0x9208, 255),
              b.Short(0x9209, 0x19),
              b.Rational(0x920A, 63, 10),
              b.Shorts(0x9214, {10, 20, 30}),
              b.Ascii(0x9291, "045"),
              b.Undefined(0xA000, Text("0100")),
              b.Short(0xA001, 0xFFFF),
              b.Long(0xA002, 4000),
              b.Short(0xA003, 640),
              b.Ascii(0xA004, "DSC00001.WAV"),
              b.Rational(0xA20E, 300, 1),
              b.Shorts(0xA214, {1200, 800}),
              b.Short(0xA217, 2),
              b.Undefined(0xA300, {3}),
              b.Undefined(0xA301, {1}),
              b.Short(0xA402, 2),
              b.Rational(0xA404, 0, 1),
              b.Short(0xA405, 28),
              b.Short(0xA407, 4),
              b.Undefined(0xA40B, {1, 2, 3, 4, 5}),
              b.Short(0xA40C, 9),
              b.Ascii(0xA420, "ID42")};
    const TExifItem item = Load(b);
    ExpectTexts(item,
                {{0, "2.20"},
                 {1, "1.00"},
                 {2, "a b c"},
                 {3, "Canon"},
                 {8, "Photographer"},
                 {9, "Editor"},
                 {11, "2010/05/12 13:14:15.45"},
                 {12, "45 (ms)"},
                 {13, "不明"},
                 {15, "2010/05/12 00:00:00"},
                 {17, "Digital Still Camera"},
                 {18, "直接撮影された画像"},
                 {19, "Uncalibrated"},
                 {20, "4.0 (bit/Pixel)"},
                 {21, "4,000 (Pixel)"},
                 {22, "  640 (Pixel)"},
                 {23, "   72 (dot/inch)"},
                 {24, "  300 (dot/inch)"},
                 {25, "dot/inch"},
                 {26, "6.3 (mm)"},
                 {27, "  300"},
                 {30, "単板カラーセンサ"},
                 {31, "分割測光"},
                 {33, "100,200,400"},
                 {34, "1/125 秒   ←  6.966(Apex)"},
                 {35, "1/250 秒   ←  0.004 秒"},
                 {36, "F5.66      ←  5.000(Apex)"},
                 {37, "F2.13"},
                 {39, "-0.33 (EV)"},
                 {41, "その他"},
                 {42, "発光(自動); 赤目(無し); ｽﾄﾛﾎﾞ(有り); ﾘﾀｰﾝ(機能無し)"},
                 {44, "絞り優先AE"},
                 {46, "無限遠 ∞"},
                 {47, "( 1200 , 800 )"},
                 {48, "DSC00001.WAV"},
                 {50, "円領域 (X=10,Y=20,R=30)"},
                 {52, "オートブラケット（Auto Bracket）"},
                 {54, "OFF"},
                 {55, "28 (mm)"},
                 {57, "強い減感（High Gain Down）"},
                 {61, "未対応"},
                 {62, "予約"},
                 {63, "ID42"}},
                order);
    EXPECT_FALSE(item.HasProperty(5)) << order;
    EXPECT_EQ(item.ValueText(5, "absent"), "absent");
    EXPECT_EQ(item.ShootingDate(), EncodeDateTime({2010, 5, 12, 13, 14, 15, 0}));
  }
}

TEST(ExifItem, ValueRulesAcrossTheirRanges) {
  // Each row builds a block with one Exif entry (and what it depends on) and checks one text.
  struct Case {
    const char* name;
    std::vector<TiffBuilder::Entry> (*entries)(const TiffBuilder&);
    int property;
    const char* text;
  };
  const Case cases[] = {
      {"shutter slower than a second",
       [](const TiffBuilder& b) { return std::vector{b.Rational(0x9201, -1, 1, true)}; }, 34,
       "2 秒       ← -1.000(Apex)"},
      {"bulb", [](const TiffBuilder& b) { return std::vector{b.Rational(0x9201, INT32_MIN, 1, true)}; }, 34,
       "バルブ撮影"},
      {"shutter overflowing to infinity",
       [](const TiffBuilder& b) { return std::vector{b.Rational(0x9201, 2000, 1, true)}; }, 34, "Error"},
      {"long exposure", [](const TiffBuilder& b) { return std::vector{b.Rational(0x829A, 2, 1)}; }, 35, "2 秒"},
      {"F-number", [](const TiffBuilder& b) { return std::vector{b.Rational(0x829D, 28, 10)}; }, 37, "F2.8"},
      {"zero denominator gives 0", [](const TiffBuilder& b) { return std::vector{b.Rational(0x829D, 28, 0)}; }, 37,
       "F0"},
      {"subject distance", [](const TiffBuilder& b) { return std::vector{b.Rational(0x9206, 35, 10)}; }, 46, "3.5 (m)"},
      {"light source unknown", [](const TiffBuilder& b) { return std::vector{b.Short(0x9208, 16)}; }, 41, "予約"},
      {"flash all bits", [](const TiffBuilder& b) { return std::vector{b.Short(0x9209, 0x65)}; }, 42,
       "発光(不明); 赤目(有り); ｽﾄﾛﾎﾞ(無し); ﾘﾀｰﾝ(未検出)"},
      {"flash off", [](const TiffBuilder& b) { return std::vector{b.Short(0x9209, 0x10)}; }, 42,
       "未発光(禁止); 赤目(無し); ｽﾄﾛﾎﾞ(有り); ﾘﾀｰﾝ(機能無し)"},
      {"subject area centre",
       [](const TiffBuilder& b) {
         return std::vector{b.Shorts(0x9214, {5, 6})};
       },
       50, "中心座標 (X=5,Y=6 )"},
      {"subject area rectangle",
       [](const TiffBuilder& b) {
         return std::vector{b.Shorts(0x9214, {1, 2, 3, 4})};
       },
       50, "短径領域 (X=1,Y=2,W=3,H=4)"},
      {"subject area of five",
       [](const TiffBuilder& b) {
         return std::vector{b.Shorts(0x9214, {1, 2, 3, 4, 5})};
       },
       50, "不明"},
      {"subject location of one value", [](const TiffBuilder& b) { return std::vector{b.Shorts(0xA214, {7})}; }, 47,
       "Error"},
      {"digital zoom", [](const TiffBuilder& b) { return std::vector{b.Rational(0xA404, 3, 2)}; }, 54, "x 1.5"},
      {"resolution in dot/cm",
       [](const TiffBuilder& b) {
         return std::vector{b.Rational(0xA20E, 1181, 1), b.Short(0xA210, 3)};
       },
       27, "1,181 (dot/cm)"},
      {"version that is not a number",
       [](const TiffBuilder& b) { return std::vector{b.Undefined(0x9000, Text("02a0"))}; }, 0, "Error"},
      {"sub-second that is not a number", [](const TiffBuilder& b) { return std::vector{b.Ascii(0x9290, "4x")}; }, 16,
       "0 (ms)"},
      {"maker note",
       [](const TiffBuilder& b) {
         return std::vector{b.Undefined(0x927C, {1, 2, 3})};
       },
       6, "有り ($00000030 ～ 3 Bytes)"},  // inline: the value field of the first Exif entry, at 8 + 30 + 2 + 8
      {"date without time", [](const TiffBuilder& b) { return std::vector{b.Ascii(0x9003, "2010:05:12")}; }, 11,
       "2010/05/12 00:00:00"},
      {"date with a bad time", [](const TiffBuilder& b) { return std::vector{b.Ascii(0x9003, "2010:05:12 24:61:00")}; },
       11, "2010/05/12 00:00:00"},
  };
  for (const auto& c : cases) {
    TiffBuilder b(false);
    b.ifd0 = {b.Short(0x0100, 1)};
    b.exif = c.entries(b);
    const TExifItem item = Load(b);
    EXPECT_EQ(item.ValueText(c.property, "---"), c.text) << c.name;
  }
}

TEST(ExifItem, GpsTexts) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.ifd0 = {b.Ascii(0x010F, "Nikon")};
    b.gps = {b.ByteValues(0x0000, {2, 2, 0, 0}),
             b.Ascii(0x0001, "N"),
             b.Rationals(0x0002, {{35, 1}, {39, 1}, {2916, 100}}),
             b.Ascii(0x0003, "W"),
             b.Rationals(0x0004, {{139, 1}, {44, 1}, {0, 1}}),
             b.ByteValues(0x0005, {1}),
             b.Rational(0x0006, 1234, 10),
             b.Rationals(0x0007, {{14, 1}, {30, 1}, {12, 1}}),
             b.Ascii(0x0009, "A"),
             b.Ascii(0x000A, "3"),
             b.Ascii(0x000C, "K"),
             b.Rational(0x000D, 50, 1),
             b.Ascii(0x000E, "T"),
             b.Rational(0x000F, 2705, 10),
             b.Ascii(0x0013, "X"),
             b.Rationals(0x0014, {{10, 1}, {30, 1}, {0, 0}}),
             b.Ascii(0x0019, "N"),
             b.Rational(0x001A, 3, 2),
             b.Undefined(0x001B, Text(std::string("ASCII\0\0\0GPS", 11))),
             b.Ascii(0x001D, "2010:05:12"),
             b.Short(0x001E, 1)};
    const TExifItem item = Load(b);
    ExpectTexts(item,
                {{64, "2.2.0.0"},
                 {65, "北緯"},
                 {66, "N35度39分29.16秒"},
                 {67, "西経"},
                 {68, "W139度44分00.00秒"},  // whole minutes stay whole
                 {69, "海面下"},
                 {70, "123.40 (m)"},
                 {71, "2010/05/12"},
                 {72, "14:30:12"},
                 {74, "測位"},
                 {75, "3-dimensional"},
                 {77, "km/h"},
                 {78, "50.00 (km/h)"},
                 {79, "真方位"},
                 {80, "270.50 (度)"},
                 {84, "不明"},
                 {85, "?10度30分00.00秒"},
                 {90, "海里"},
                 {91, "1.50 (海里)"},
                 {92, "GPS"},
                 {94, "Differtial補正測位"}},
                big ? "MM" : "II");
  }
}

TEST(ExifItem, CodedTexts) {
  const std::string jis = std::string("JIS\0\0\0\0\0", 8) + "\x1b$B\x46\x7c\x4b\x5c\x1b(B!   ";
  const std::string sjis_ascii = std::string("ASCII\0\0\0", 8) + "\x93\xfa\x96\x7b";
  const Bytes unicode = Text(std::string("UNICODE\0", 8));
  auto with = [](Bytes head, const Bytes& tail) {
    TiffBuilder::Append(head, tail);
    return head;
  };
  const Bytes be_bom = with(with(unicode, {0xFE, 0xFF}), Utf16(u"日本", true));
  const Bytes le_bom = with(with(unicode, {0xFF, 0xFE}), Utf16(u"日本", false));
  struct Case {
    const char* name;
    bool big;
    Bytes comment;
    const char* software;
    const char* text;
  };
  const Case cases[] = {
      {"eight bytes or fewer", false, Text("ASCII"), nullptr, ""},
      {"ascii up to the first NUL", false, Text(std::string("ASCII\0\0\0Hello\0junk", 18)), nullptr, "Hello"},
      {"ascii holding Shift_JIS", false, Text(sjis_ascii), nullptr, "日本"},
      {"jis escapes", false, Text(jis), nullptr, "日本!"},
      {"unicode with FE FF in an II block", false, be_bom, nullptr, "日本"},
      {"unicode with FF FE in an MM block", true, le_bom, nullptr, "日本"},
      {"unicode without mark, MM", true, with(unicode, Utf16(u"写真", true)), nullptr, "写真"},
      {"unicode without mark, II", false, with(unicode, Utf16(u"写真", false)), nullptr, "写真"},
      {"unicode from the old own writer is little-endian", true, with(unicode, Utf16(u"写真", false)),
       "Orin CV Exif Writer 3.0", "写真"},
      {"undefined code", false, Text(std::string(8, '\0') + std::string("Text\0", 5)), nullptr, "Text"},
  };
  for (const auto& c : cases) {
    TiffBuilder b(c.big);
    b.ifd0 = {b.Short(0x0100, 1)};
    if (c.software) b.ifd0.push_back(b.Ascii(0x0131, c.software));
    b.exif = {b.Undefined(0x9286, c.comment)};
    const TExifItem item = Load(b);
    EXPECT_TRUE(item.HasProperty(10)) << c.name;
    EXPECT_EQ(item.ValueText(10, "---"), c.text) << c.name;
  }
}

TEST(ExifItem, CopyrightWithoutASecondPartStillShowsTheEditorLine) {
  TiffBuilder b(true);
  b.ifd0 = {b.Ascii(0x8298, "Someone")};
  const TExifItem item = Load(b);
  EXPECT_EQ(item.ValueText(8, "---"), "Someone");
  EXPECT_TRUE(item.HasProperty(9));
  EXPECT_EQ(item.ValueText(9, "---"), "");
}

TEST(ExifItem, ErrorsStayWithTheirProperty) {
  // IFD0 running past the end: the whole block is unreadable.
  Bytes short_ifd0 = {'I', 'I', 42, 0, 8, 0, 0, 0, 5, 0, 0x0F, 0x01, 2, 0, 4, 0, 0, 0, 'a', 'b', 'c', 0};
  TMemoryStream s(short_ifd0);
  TExifItem item;
  EXPECT_FALSE(item.LoadFromStream(s));
  EXPECT_FALSE(item.HasProperty(3));

  // An Exif directory running past the end ends early: what came before stays.
  TiffBuilder b(false);
  b.ifd0 = {b.Ascii(0x010F, "Maker")};
  b.exif = {b.Short(0x8822, 2), b.Short(0x9207, 1)};
  Bytes block = b.Build();
  block.resize(block.size() - 12 - 4);  // the last Exif entry and the next-IFD offset are gone
  TMemoryStream t(block);
  EXPECT_TRUE(item.LoadFromStream(t));
  EXPECT_EQ(item.ValueText(44, "---"), "ノーマルプログラム");
  EXPECT_FALSE(item.HasProperty(31));

  // A value beyond the data clears only its own property; a later good one is kept.
  TiffBuilder c(true);
  c.ifd0 = {c.Ascii(0x010F, "Maker"), c.Ascii(0x0110, "Model")};
  c.exif = {c.Short(0x8822, 2)};
  Bytes bad = c.Build();
  // The Make entry's offset (entry 0 of IFD0 at 10, value field at 18) points far away.
  bad[18] = 0x7F;
  TMemoryStream u(bad);
  EXPECT_TRUE(item.LoadFromStream(u));
  EXPECT_FALSE(item.HasProperty(3));
  EXPECT_EQ(item.ValueText(4, "---"), "Model");
  EXPECT_EQ(item.ValueText(44, "---"), "ノーマルプログラム");

  for (Bytes tiny : {Bytes{}, Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0}, Text("XX*\0\x08\0\0\0\0\0\0\0")}) {
    TMemoryStream v(tiny);
    EXPECT_FALSE(item.LoadFromStream(v));
  }
}

TEST(ExifItem, ListsInDisplayOrderWithShiftJisPadding) {
  TiffBuilder b(false);
  b.ifd0 = {b.Ascii(0x010E, "Title"), b.Ascii(0x010F, "Maker")};
  b.exif = {b.Shorts(0x8827, {200}), b.Rational(0x829D, 28, 10), b.Undefined(0x9286, Text("ASCII"))};
  const TExifItem item = Load(b);
  const std::vector<std::string> present = item.PropertyLines(false, "%-17s:%s", "---");
  const std::vector<std::string> expected = {"メーカー名       :Maker", "画像タイトル     :Title",
                                             "ユーザーコメント :", "ISOｽﾋﾟｰﾄﾞﾚｰﾄ     :200", "Ｆナンバー       :F2.8"};
  EXPECT_EQ(present, expected);

  const std::vector<std::string> all = item.PropertyLines(true, "%-17s:%s", "---");
  ASSERT_EQ(all.size(), 95u);
  const auto& order = PropertyDisplayOrder();
  for (size_t i = 0; i < all.size(); ++i) {
    const int p = order[i];
    const std::string expected_line =
        Format("%-17s:%s", PropertyLabel(p), item.HasProperty(p) ? item.ValueText(p, "") : "---");
    EXPECT_EQ(all[i], expected_line);
  }
  EXPECT_EQ(all[0], "Exif Version     :---");
  EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const std::string& l) { return l.ends_with(":---"); }), 90);

  // Line breaks inside a value become blanks; the value is trimmed.
  TiffBuilder c(false);
  c.ifd0 = {c.Ascii(0x010E, "  two\r\nlines \t")};
  EXPECT_EQ(Load(c).PropertyText(2, false, "", ""), "two  lines");
  EXPECT_EQ(Load(c).PropertyText(2, true, "", "[%s|%s]"), "[画像タイトル|two  lines]");
}

TEST(ExifProperties, LabelsAndTagsBothWays) {
  EXPECT_EQ(PropertyLabel(0), "Exif Version");
  EXPECT_EQ(PropertyLabel(33), "ISOｽﾋﾟｰﾄﾞﾚｰﾄ");
  EXPECT_EQ(PropertyLabel(94), "GPS補正測位");
  EXPECT_EQ(PropertyLabel(95), "");
  EXPECT_EQ(PropertyTag(11), 0x9003);
  EXPECT_EQ(PropertyTag(95), -1);
  EXPECT_EQ(PropertyTag(-1), -1);
  EXPECT_EQ(TagProperty(0x8298), 8);
  EXPECT_EQ(TagProperty(0x9003), 11);
  EXPECT_EQ(TagProperty(0x001E), 94);
  EXPECT_EQ(TagProperty(0x1234), 95);
  for (int i = 0; i < kExifPropertyCount; ++i) {
    if (i == 9) continue;  // the editor's copyright shares the tag of property 8
    EXPECT_EQ(TagProperty(PropertyTag(i)), i) << i;
  }
  std::vector<int> order(PropertyDisplayOrder().begin(), PropertyDisplayOrder().end());
  std::sort(order.begin(), order.end());
  for (int i = 0; i < kExifPropertyCount; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(ExifItem, LoadsFromFiles) {
  TiffBuilder b(false);
  b.ifd0 = {b.Ascii(0x010F, "Maker")};
  b.exif = {b.Undefined(0x927C, Text("MAKERNOTE-BYTES"))};
  const Bytes tiff = b.Build();
  const std::string jpeg = WriteFile("a.jpg", test::Jpeg({test::ExifSegment(tiff)}, 10, 10));
  TExifItem item;
  ASSERT_TRUE(item.LoadFromFile(jpeg, true));
  EXPECT_EQ(item.ValueText(3, ""), "Maker");
  // The maker note's position counts from the start of the segment's payload ("Exif\0\0" first).
  const auto at = std::search(tiff.begin(), tiff.end(), tiff.end() - 16, tiff.end() - 1) - tiff.begin();
  EXPECT_EQ(item.ValueText(6, ""), Format("有り ($%.8x ～ 15 Bytes)", at + 6));

  // A first APP1 that is not EXIF means no EXIF here.
  const std::string xmp_first = WriteFile("x.jpg", test::Jpeg({test::XmpSegment(), test::ExifSegment(tiff)}, 10, 10));
  EXPECT_FALSE(item.LoadFromFile(xmp_first, true));
  EXPECT_FALSE(item.HasProperty(3));

  // A TIFF-based file: the byte-order mark is searched for.
  Bytes raw = Text("RAWHEADER");
  TiffBuilder::Append(raw, tiff);
  EXPECT_TRUE(item.LoadFromFile(WriteFile("b.nef", raw), false));
  EXPECT_EQ(item.ValueText(3, ""), "Maker");
  // RAF files hold a JPEG.
  Bytes raf = Text("FUJIFILMCCD-RAW ");
  TiffBuilder::Append(raf, test::Jpeg({test::ExifSegment(tiff)}, 10, 10));
  EXPECT_TRUE(item.LoadFromFile(WriteFile("c.RAF", raf), false));

  EXPECT_FALSE(item.LoadFromFile(test::TestRoot() + "/none.jpg", true));
  EXPECT_FALSE(item.LoadFromFile(test::TestRoot() + "/none.tif", false));
}

TEST(ExifText, DatesExtensionsAndOwnWriter) {
  struct DateCase {
    const char* text;
    TDateTime expected;
  };
  const DateCase dates[] = {
      {"2010:05:12 13:14:15", EncodeDateTime({2010, 5, 12, 13, 14, 15, 0})},
      {"2010:05:12", EncodeDate(2010, 5, 12)},
      {"2010:05:12 25:00:00", EncodeDate(2010, 5, 12)},
      {"0000:00:00 00:00:00", 0},
      {"2010:13:01 00:00:00", 0},
      {"    :  :     :  :  ", 0},
      {"", 0},
  };
  for (const auto& d : dates) EXPECT_EQ(ParseExifDateTime(d.text), d.expected) << d.text;
  EXPECT_EQ(FormatExifDateTime(EncodeDateTime({2004, 2, 29, 23, 5, 9, 0})), "2004:02:29 23:05:09");
  EXPECT_EQ(ParseExifDateTime(FormatExifDateTime(EncodeDateTime({1999, 12, 31, 1, 2, 3, 0}))),
            EncodeDateTime({1999, 12, 31, 1, 2, 3, 0}));

  struct NameCase {
    const char* name;
    bool expected;
  };
  const NameCase names[] = {{"a.jpg", true}, {"A.JPEG", true}, {"x/y.Tif", true}, {"raw.nef", true},
                            {"f.raf", true}, {"a.png", false}, {"noext", false},  {"dir.jpg/file", false},
                            {"a.", false},   {"a.JP", true},   {"a.cr3", false}};
  for (const auto& n : names) EXPECT_EQ(IsExifExtension(n.name), n.expected) << n.name;

  const NameCase writers[] = {{"Orin CV Exif Writer 3.0", true},
                              {"Orin CV Exif Writer 4", true},
                              {"Orin CV Exif Writer 4.01", false},
                              {"Orin CV Exif Writer 5.1", false},
                              {"orin CV Exif Writer 3.0", false},
                              {"Orin Writer", false},
                              {"Orin 1.2.3", false},
                              {"v2 by Orin", true}};
  for (const auto& w : writers) EXPECT_EQ(IsOldOwnWriter(w.name), w.expected) << w.name;
}

}  // namespace
}  // namespace plb

#include "images/exif/exif_display.h"

#include <cmath>
#include <exception>
#include <map>

#include "host/format.h"
#include "images/codec/buffered_stream.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/exif/tiff_reader.h"

namespace plb {
namespace {

constexpr uint16_t kExifIfdTag = 0x8769;
constexpr uint16_t kGpsIfdTag = 0x8825;
constexpr uint16_t kPrintImageMatchingTag = 0xC4A5;

// How a property's value is read from its entry.
enum class Kind {
  kText,
  kCopyright,
  kVersion,
  kMakerNote,
  kCodedText,
  kDate,
  kSubSecond,
  kInteger,
  kRational,
  kShorts,
  kNone,
  kSoundFile,
  kGpsVersion,
  kTriple,
  kGpsDate,
};

Kind KindOf(int property) {
  switch (property) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 32:
    case 63:
    case 65:
    case 67:
    case 73:
    case 74:
    case 75:
    case 77:
    case 79:
    case 81:
    case 83:
    case 84:
    case 86:
    case 88:
    case 90:
      return Kind::kText;
    case 8:
    case 9:
      return Kind::kCopyright;
    case 0:
    case 1:
      return Kind::kVersion;
    case 6:
      return Kind::kMakerNote;
    case 10:
    case 92:
    case 93:
      return Kind::kCodedText;
    case 11:
    case 13:
    case 15:
      return Kind::kDate;
    case 12:
    case 14:
    case 16:
      return Kind::kSubSecond;
    case 20:
    case 23:
    case 24:
    case 26:
    case 27:
    case 28:
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
    case 43:
    case 45:
    case 46:
    case 49:
    case 54:
    case 70:
    case 76:
    case 78:
    case 80:
    case 82:
    case 89:
    case 91:
      return Kind::kRational;
    case 33:
    case 47:
    case 50:
      return Kind::kShorts;
    case 61:
      return Kind::kNone;
    case 48:
      return Kind::kSoundFile;
    case 64:
      return Kind::kGpsVersion;
    case 66:
    case 68:
    case 72:
    case 85:
    case 87:
      return Kind::kTriple;
    case 71:
      return Kind::kGpsDate;
    default:
      return Kind::kInteger;
  }
}

// A sub-second text as a number: decimal digits up to the first NUL, 0 when it is not a number.
int64_t SubSecondNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return 0;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || v > 100000000000000LL) return 0;
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

std::string Pick(int64_t code, std::initializer_list<std::pair<int64_t, const char*>> table, const char* other) {
  for (const auto& [k, text] : table) {
    if (k == code) return text;
  }
  return other;
}

std::string PickLetter(const std::string& text, std::initializer_list<std::pair<const char*, const char*>> table) {
  for (const auto& [letters, word] : table) {
    if (text.size() == 1 && std::string_view(letters).find(text[0]) != std::string_view::npos) return word;
  }
  return "不明";
}

std::string SpeedUnit(const std::string& t) {
  return PickLetter(t, {{"Kk", "km/h"}, {"Mm", "mile/h"}, {"Nn", "knot"}});
}
std::string DistanceUnit(const std::string& t) {
  return PickLetter(t, {{"Kk", "km"}, {"Mm", "mile"}, {"Nn", "海里"}});
}
std::string BearingReference(const std::string& t) {
  return PickLetter(t, {{"Tt", "真方位"}, {"Mm", "磁方位"}});
}

std::string ShutterText(double tv) {
  if (tv <= -2147483647.0) return "バルブ撮影";
  const std::string t = tv > 0 ? FormatFloat("\"1/\"#,##0 \"秒\"", std::pow(2.0, tv))
                               : FormatFloat("#,##0.## \"秒\"", std::pow(2.0, -tv));
  return Format("%-10s ←%7.3n(Apex)", t, tv);
}

std::string ExposureText(double v) {
  if (v > 0 && v < 1) return Format("%-10s ←%7.3n 秒", FormatFloat("\"1/\"#,##0 \"秒\"", 1 / v), v);
  return FormatFloat("#,##0.## \"秒\"", v);
}

std::string ApertureText(double av) {
  return Format("%-10s ←%7.3n(Apex)", FormatFloat("\"F\"#,##0.##", std::pow(2.0, av / 2)), av);
}

std::string FlashText(int64_t f) {
  static const char* const kModes[] = {"不明", "強制", "禁止", "自動"};
  static const char* const kReturns[] = {"機能無し", "予約", "未検出", "検出"};
  return Format("%s(%s); 赤目(%s); ｽﾄﾛﾎﾞ(%s); ﾘﾀｰﾝ(%s)", (f & 1) ? "発光" : "未発光", kModes[(f >> 3) & 3],
                (f & 0x40) ? "有り" : "無し", (f & 0x20) ? "無し" : "有り", kReturns[(f >> 1) & 3]);
}

std::string SubjectAreaText(const std::vector<int64_t>& n) {
  switch (n.size()) {
    case 2:
      return Format("%s (X=%d,Y=%d )", "中心座標", n[0], n[1]);
    case 3:
      return Format("%s (X=%d,Y=%d,R=%d)", "円領域", n[0], n[1], n[2]);
    case 4:
      return Format("%s (X=%d,Y=%d,W=%d,H=%d)", "短径領域", n[0], n[1], n[2], n[3]);
    default:
      return "不明";
  }
}

std::string LightSourceText(int64_t code) {
  return Pick(code, {{0, "Auto/Custom"}, {1, "昼光"},        {2, "蛍光灯"},      {3, "タングステン"},
                     {4, "フラッシュ"},  {9, "晴天"},        {10, "曇天"},       {11, "日陰"},
                     {12, "D5700-7100"}, {13, "N4600-5400"}, {14, "W3900-4500"}, {15, "WW3200-3700"},
                     {17, "標準光Ａ"},   {18, "標準光Ｂ"},   {19, "標準光Ｃ"},   {20, "Ｄ５５"},
                     {21, "Ｄ６５"},     {22, "Ｄ７５"},     {23, "Ｄ５０"},     {24, "ISO Studio Tungsten"},
                     {255, "その他"}},
              "予約");
}

// Degrees (or hours), minutes and seconds from three rationals, split again after summing. The
// sum is rounded to a microsecond of arc first so that 35° 39' 0" does not come out as
// 35° 38' 59.9999".
void SplitSexagesimal(const std::array<double, 3>& v, double& whole, double& minutes, double& seconds) {
  double total = v[0] * 3600 + v[1] * 60 + v[2];
  total = std::round(total * 1e6) / 1e6;
  whole = std::trunc(total / 3600);
  const double rest = total - whole * 3600;
  minutes = std::trunc(rest / 60);
  seconds = rest - minutes * 60;
  if (seconds < 0) seconds = 0;
}

std::string GpsTimeText(const std::array<double, 3>& v) {
  double hours, minutes, seconds;
  SplitSexagesimal(v, hours, minutes, seconds);
  if (!(hours >= 0 && hours < 24)) throw EConvertError("Invalid GPS time");
  return Format("%.2d:%.2d:%.2d", static_cast<int>(hours), static_cast<int>(minutes),
                static_cast<int>(std::trunc(seconds)));
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace

bool TExifItem::LoadFromFile(const std::string& fileName, bool isJpeg) {
  present_.reset();
  try {
    if (!isJpeg && UpperFileExtension(fileName) != ".RAF") {
      TFileStream file(fileName, TFileStream::Mode::kRead);
      TBufferedStream buffered(file, TBufferedStream::kDefaultSize);
      if (FindTiffHeader(buffered) < 0) return false;
      return LoadFromStream(buffered);
    }
    TMemoryStream segment;
    if (!CopyAppSegment(fileName, 1, segment)) return false;
    if (segment.Size() < 6 || !IsExifSignature(segment.Bytes().data())) return false;
    segment.SetPosition(6);
    return LoadFromStream(segment);
  } catch (const std::exception&) {
    present_.reset();
    return false;
  }
}

bool TExifItem::LoadFromStream(TStream& stream) {
  present_.reset();
  try {
    if (stream.Size() < 11) return false;
    TiffReader r(stream);
    if (!r.ReadHeader(true)) return false;
    big_endian_ = r.BigEndian();

    // IFD0: an entry beyond the data makes the whole block unreadable.
    int64_t exif_ifd = -1;
    int64_t gps_ifd = -1;
    const int64_t ifd0 = r.At(r.FirstIfdOffset());
    const uint16_t n = r.U16At(ifd0);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = r.EntryAt(ifd0 + 2 + 12 * static_cast<int64_t>(i));
      if (e.tag == kExifIfdTag) {
        exif_ifd = r.At(e.value);
      } else if (e.tag == kGpsIfdTag) {
        gps_ifd = r.At(e.value);
      } else if (e.tag != kPrintImageMatchingTag) {
        DecodeEntry(r, e, false);
      }
    }

    // The Exif and GPS directories just end early where their entries leave the data.
    for (const auto& [ifd, gps] : {std::pair{exif_ifd, false}, std::pair{gps_ifd, true}}) {
      if (ifd < 0 || ifd >= r.Size()) continue;
      try {
        const uint16_t count = r.U16At(ifd);
        for (uint32_t i = 0; i < count; ++i) {
          const int64_t at = ifd + 2 + 12 * static_cast<int64_t>(i);
          if (at + 12 > r.Size()) break;
          DecodeEntry(r, r.EntryAt(at), gps);
        }
      } catch (const std::exception&) {
      }
    }
    return true;
  } catch (const std::exception&) {
    present_.reset();
    return false;
  }
}

void TExifItem::DecodeEntry(TiffReader& r, const TiffEntry& e, bool gps) {
  const int property = TagPropertyIn(e.tag, gps);
  if (property >= kExifPropertyCount) return;
  try {
    Value v;
    DecodeValue(r, e, property, v);
    if (property == 8) {
      // One Copyright entry holds the photographer's and the editor's notices, NUL-separated.
      const std::vector<uint8_t> bytes = r.ValueBytes(e, 1);
      size_t nul = 0;
      while (nul < bytes.size() && bytes[nul] != 0) ++nul;
      Value editor;
      if (nul < bytes.size()) editor.text = ExifAsciiText(std::span(bytes).subspan(nul + 1));
      values_[9] = std::move(editor);
      present_.set(9);
    }
    values_[static_cast<size_t>(property)] = std::move(v);
    present_.set(static_cast<size_t>(property));
  } catch (const std::exception&) {
    present_.reset(static_cast<size_t>(property));
    if (property == 8) present_.reset(9);
  }
}

void TExifItem::DecodeValue(TiffReader& r, const TiffEntry& e, int property, Value& v) {
  switch (KindOf(property)) {
    case Kind::kText:
    case Kind::kCopyright:
      v.text = ExifAsciiText(r.ValueBytes(e, 1));
      break;
    case Kind::kVersion: {
      const std::vector<uint8_t> bytes = r.ValueBytes(e, 1);
      v.text.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::min<size_t>(bytes.size(), 4)));
      break;
    }
    case Kind::kMakerNote:
      // Only where the note lies and how long it is; its content is the maker's own format.
      v.integer = e.count <= 4 ? e.field_position : r.At(e.value);
      if (v.integer > r.Size()) throw EReadError("Stream read error: the maker note lies outside the data");
      v.count = e.count;
      break;
    case Kind::kCodedText:
      v.bytes = r.ValueBytes(e, 1);
      break;
    case Kind::kDate:
      v.date = ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1)));
      break;
    case Kind::kSubSecond:
      v.integer = SubSecondNumber(ExifAsciiBytes(r.ValueBytes(e, 1)));
      break;
    case Kind::kInteger:
      v.integer = r.Integer(e);
      break;
    case Kind::kRational:
      v.real = r.Rational(e, 0, &v.zero_denominator);
      break;
    case Kind::kShorts:
      // The subject area has 2 to 4 values; more is shown as unknown without being read.
      if (property == 50 && (e.count < 2 || e.count > 4)) {
        v.count = e.count;
        break;
      }
      for (uint32_t s : r.Shorts(e, property == 47 ? 2 : UINT32_MAX)) v.numbers.push_back(s);
      v.count = static_cast<int64_t>(v.numbers.size());
      break;
    case Kind::kNone:
      break;
    case Kind::kSoundFile: {
      const std::vector<uint8_t> bytes = e.count <= 4 ? r.ValueBytes(e, 1) : r.BytesAt(r.At(e.value), 13);
      v.text = ExifAsciiText(bytes);
      break;
    }
    case Kind::kGpsVersion: {
      const std::vector<uint8_t> bytes =
          e.count <= 4 ? std::vector<uint8_t>(e.field.begin(), e.field.end()) : r.BytesAt(r.At(e.value), 4);
      for (uint8_t b : bytes) v.numbers.push_back(b);
      break;
    }
    case Kind::kTriple:
      for (uint32_t i = 0; i < 3; ++i) v.triple[i] = r.Rational(e, i);
      break;
    case Kind::kGpsDate:
      v.date = std::trunc(ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1))));
      break;
  }
}

bool TExifItem::HasProperty(int index) const {
  return index >= 0 && index < kExifPropertyCount && present_.test(static_cast<size_t>(index));
}

TDateTime TExifItem::ShootingDate() const {
  return HasProperty(11) ? values_[11].date : 0;
}

std::string TExifItem::ValueText(int index, std::string_view absentText) const {
  if (!HasProperty(index)) return std::string(absentText);
  try {
    return FormatValue(index);
  } catch (const std::exception&) {
    return "Error";
  }
}

std::string TExifItem::PropertyText(int index, bool withLabel, std::string_view absentText,
                                    std::string_view format) const {
  const std::string text = OneLine(ValueText(index, absentText));
  if (!withLabel) return text;
  return Format(format, PropertyLabel(index), text);
}

std::vector<std::string> TExifItem::PropertyLines(bool allProperties, std::string_view format,
                                                  std::string_view absentText) const {
  std::vector<std::string> lines;
  for (int index : PropertyDisplayOrder()) {
    if (allProperties || HasProperty(index)) lines.push_back(PropertyText(index, true, absentText, format));
  }
  return lines;
}

std::string TExifItem::FormatDate(int date_property, int sub_property) const {
  const Value& v = values_[static_cast<size_t>(date_property)];
  if (v.date == 0) return "不明";
  std::string text = FormatDateTime("yyyy/mm/dd hh:nn:ss", v.date);
  const int64_t sub = HasProperty(sub_property) ? values_[static_cast<size_t>(sub_property)].integer : 0;
  if (sub > 0) {
    text += '.';
    text += std::to_string(sub);
  }
  return text;
}

std::string TExifItem::FormatResolution(int index, int unit_property) const {
  const double value = values_[static_cast<size_t>(index)].real;
  if (!HasProperty(unit_property)) return Format("%5.0n", value);
  return values_[static_cast<size_t>(unit_property)].integer == 3 ? Format("%5.0n (dot/cm)", value)
                                                                  : Format("%5.0n (dot/inch)", value);
}

std::string TExifItem::FormatCoordinate(int index, int letter_property) const {
  std::string letter = "?";
  if (HasProperty(letter_property)) {
    const std::string& t = values_[static_cast<size_t>(letter_property)].text;
    if (t == "N" || t == "S" || t == "E" || t == "W") letter = t;
  }
  double degrees, minutes, seconds;
  SplitSexagesimal(values_[static_cast<size_t>(index)].triple, degrees, minutes, seconds);
  return letter +
         Format("%s度%s分%s秒", FormatFloat("#00", degrees), FormatFloat("00", minutes), FormatFloat("00.00", seconds));
}

std::string TExifItem::FormatValue(int index) const {
  const Value& v = values_[static_cast<size_t>(index)];
  const auto text_of = [this](int p) { return HasProperty(p) ? values_[static_cast<size_t>(p)].text : std::string(); };
  switch (index) {
    case 0:
    case 1: {
      if (v.text.empty() || v.text.find_first_not_of("0123456789") != std::string::npos) {
        throw EConvertError("Exif version is not a valid integer value");
      }
      return Format("%n", std::stoll(v.text) / 100.0);
    }
    case 6:
      return Format("有り ($%s ～ %d Bytes)", Format("%.8x", v.integer), v.count);
    case 10:
    case 92:
    case 93:
      return DecodeCodedText(v.bytes, big_endian_, text_of(5));
    case 11:
      return FormatDate(11, 12);
    case 13:
      return FormatDate(13, 14);
    case 15:
      return FormatDate(15, 16);
    case 12:
    case 14:
    case 16:
      return FormatFloat("#,##0 \"(ms)\"", static_cast<double>(v.integer));
    case 17:
      return Pick(v.integer,
                  {{0, "その他"}, {1, "透過型スキャナー"}, {2, "反射型スキャナー"}, {3, "Digital Still Camera"}},
                  "予約");
    case 18:
      return Pick(v.integer, {{1, "直接撮影された画像"}}, "予約");
    case 19:
      return Pick(v.integer, {{1, "sRGB"}, {0xFFFF, "Uncalibrated"}}, "予約");
    case 20:
      return Format("%.1n (bit/Pixel)", v.real);
    case 21:
    case 22:
      return Format("%5.0n (Pixel)", v.integer);
    case 23:
    case 24:
      return FormatResolution(index, 25);
    case 27:
    case 28:
      return FormatResolution(index, 29);
    case 25:
    case 29:
      return v.integer == 3 ? "dot/cm" : "dot/inch";
    case 26:
      return FormatFloat("#,##0.## \"(mm)\"", v.real);
    case 30:
      return Pick(v.integer,
                  {{1, "未定義"},
                   {2, "単板カラーセンサ"},
                   {3, "２板カラーセンサ"},
                   {4, "３板カラーセンサ"},
                   {5, "色順序カラーセンサ"},
                   {7, "３線リニアセンサ"},
                   {8, "色順序リニアセンサ"}},
                  "予約");
    case 31:
      return Pick(v.integer,
                  {{0, "不明"},
                   {1, "平均"},
                   {2, "中央重点"},
                   {3, "スポット"},
                   {4, "マルチスポット"},
                   {5, "分割測光"},
                   {6, "部分測光"},
                   {255, "その他"}},
                  "予約");
    case 33: {
      std::string out;
      for (size_t i = 0; i < v.numbers.size(); ++i) {
        if (i > 0) out += ',';
        out += std::to_string(v.numbers[i]);
      }
      return out;
    }
    case 34:
      return ShutterText(v.real);
    case 35:
      return ExposureText(v.real);
    case 36:
    case 38:
      return ApertureText(v.real);
    case 37:
      return FormatFloat("\"F\"#,##0.##", v.real);
    case 39:
    case 40:
      return FormatFloat("#,##0.## \"(EV)\"", v.real);
    case 41:
      return LightSourceText(v.integer);
    case 42:
      return FlashText(v.integer);
    case 43:
      return FormatFloat("#,##0.## \"(BCPS)\"", v.real);
    case 44:
      return Pick(v.integer,
                  {{0, "未定義"},
                   {1, "マニュアル"},
                   {2, "ノーマルプログラム"},
                   {3, "絞り優先AE"},
                   {4, "シャッター優先AE"},
                   {5, "Creative Program"},
                   {6, "Action Program"},
                   {7, "ポートレイトモード"},
                   {8, "ランドスケープモード"}},
                  "予約");
    case 45:
    case 49:
      return FormatFloat("#,##0.##", v.real);
    case 46:
      return v.zero_denominator ? "無限遠 ∞" : FormatFloat("#,##0.## \"(m)\"", v.real);
    case 47:
      if (v.numbers.size() < 2) throw EConvertError("The subject location needs two values");
      return Format("( %d , %d )", v.numbers[0], v.numbers[1]);
    case 50:
      return SubjectAreaText(v.numbers);
    case 51:
      return Pick(v.integer, {{0, "通常処理（Normal Process）"}, {1, "特殊処理（Custom Process）"}}, "不明");
    case 52:
      return Pick(
          v.integer,
          {{0, "自動（Auto Exposure）"}, {1, "マニュアル（Manual Exposure）"}, {2, "オートブラケット（Auto Bracket）"}},
          "不明");
    case 53:
      return Pick(v.integer, {{0, "自動（Auto White Balance）"}, {1, "マニュアル（Manual White Balance）"}}, "不明");
    case 54:
      return v.real != 0 ? FormatFloat("\"x \"0.##", v.real) : "OFF";
    case 55:
      return Format("%d (mm)", v.integer);
    case 56:
      return Pick(
          v.integer,
          {{0, "標準（Standard）"}, {1, "風景（Landscape）"}, {2, "人物（Portrait）"}, {3, "夜景（Night Scene）"}},
          "不明");
    case 57:
      return Pick(v.integer,
                  {{0, "無し（None）"},
                   {1, "弱い増感（Low Gain Up）"},
                   {2, "強い増感（High Gain Up）"},
                   {3, "弱い減感（Low Gain Down）"},
                   {4, "強い減感（High Gain Down）"}},
                  "不明");
    case 58:
      return Pick(v.integer, {{0, "標準（Normal）"}, {1, "軟調（Soft）"}, {2, "硬調（Hard）"}}, "不明");
    case 59:
      return Pick(v.integer, {{0, "標準（Normal）"}, {1, "低彩度（Low Saturation）"}, {2, "高彩度（High Saturation）"}},
                  "不明");
    case 60:
      return Pick(v.integer, {{0, "標準（Normal）"}, {1, "弱い（Soft）"}, {2, "強い（Hard）"}}, "不明");
    case 61:
      return "未対応";
    case 62:
      return Pick(v.integer,
                  {{0, "不明"}, {1, "マクロ（Macro）"}, {2, "近景（Close View）"}, {3, "遠景（Distance View）"}},
                  "予約");
    case 64:
      if (v.numbers.size() < 4) throw EConvertError("The GPS version needs four bytes");
      return Format("%d.%d.%d.%d", v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3]);
    case 65:
    case 67:
    case 84:
    case 86:
      return PickLetter(v.text, {{"N", "北緯"}, {"S", "南緯"}, {"E", "東経"}, {"W", "西経"}});
    case 66:
      return FormatCoordinate(66, 65);
    case 68:
      return FormatCoordinate(68, 67);
    case 85:
      return FormatCoordinate(85, 84);
    case 87:
      return FormatCoordinate(87, 86);
    case 69:
      return Pick(v.integer, {{0, "海抜"}, {1, "海面下"}}, "不明");
    case 70:
      return Format("%n (m)", v.real);
    case 71:
      return FormatDateTime("yyyy/mm/dd", v.date);
    case 72:
      return GpsTimeText(v.triple);
    case 74:
      return PickLetter(v.text, {{"Aa", "測位"}, {"Vv", "未測定"}});
    case 75:
      return PickLetter(v.text, {{"2", "2-dimensional"}, {"3", "3-dimensional"}});
    case 76:
      return Format("%n", v.real);
    case 77:
      return SpeedUnit(v.text);
    case 78:
      return Format("%n (%s)", v.real, SpeedUnit(text_of(77)));
    case 79:
    case 81:
    case 88:
      return BearingReference(v.text);
    case 80:
    case 82:
    case 89:
      return Format("%n (度)", v.real);
    case 90:
      return DistanceUnit(v.text);
    case 91:
      return Format("%n (%s)", v.real, DistanceUnit(text_of(90)));
    case 94:
      return Pick(v.integer, {{0, "単独測位"}, {1, "Differtial補正測位"}}, "不明");
    default:
      return v.text;
  }
}

}  // namespace plb

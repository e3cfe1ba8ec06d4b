#include "images/exif/exif_value_format.h"

#include <cmath>

#include "host/format.h"
#include "images/exif/exif_text.h"

namespace plb {
namespace {

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

std::string ApexText(const std::string& text, double apex) {
  return Format("%-10s ←%7.3n(Apex)", text, apex);
}

}  // namespace

std::string PickedText(const PickList& picks, int64_t code) {
  for (const PickEntry& e : picks.entries) {
    if (e.code == code) return e.text;
  }
  return picks.other;
}

std::string PickedLetterText(const PickList& picks, std::string_view text) {
  if (text.size() != 1) return picks.other;
  return PickedText(picks, static_cast<unsigned char>(text[0]));
}

namespace exif_format {

std::string TextAsIs(const FormatArgs& a) {
  return a.value.text;
}

std::string PickedCode(const FormatArgs& a) {
  return PickedText(a.picks, a.value.integer);
}

std::string PickedLetter(const FormatArgs& a) {
  return PickedLetterText(a.picks, a.value.text);
}

std::string CodedText(const FormatArgs& a) {
  // Old versions of the program's own writer stored UNICODE comments little-endian whatever the
  // block's order; only the Software text tells them apart.
  return DecodeCodedText(a.value.bytes, a.big_endian, a.companion ? a.companion->text : std::string());
}

std::string VersionNumber(const FormatArgs& a) {
  const std::string& digits = a.value.text;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
    throw EConvertError("Exif version is not a valid integer value");
  }
  return Format("%n", std::stoll(digits) / 100.0);
}

std::string MakerNotePlace(const FormatArgs& a) {
  return Format("有り ($%s ～ %d Bytes)", Format("%.8x", a.value.integer), a.value.count);
}

std::string NotSupported(const FormatArgs&) {
  return "未対応";
}

std::string DateWithSubSeconds(const FormatArgs& a) {
  if (a.value.date == 0) return "不明";
  std::string text = FormatDateTime("yyyy/mm/dd hh:nn:ss", a.value.date);
  const int64_t sub = a.companion ? a.companion->integer : 0;
  if (sub > 0) {
    text += '.';
    text += std::to_string(sub);
  }
  return text;
}

std::string Milliseconds(const FormatArgs& a) {
  return FormatFloat("#,##0 \"(ms)\"", static_cast<double>(a.value.integer));
}

std::string NumberList(const FormatArgs& a) {
  std::string out;
  for (size_t i = 0; i < a.value.numbers.size(); ++i) {
    if (i > 0) out += ',';
    out += std::to_string(a.value.numbers[i]);
  }
  return out;
}

std::string GpsVersion(const FormatArgs& a) {
  const std::vector<int64_t>& n = a.value.numbers;
  if (n.size() < 4) throw EConvertError("The GPS version needs four bytes");
  return Format("%d.%d.%d.%d", n[0], n[1], n[2], n[3]);
}

std::string GpsDate(const FormatArgs& a) {
  return FormatDateTime("yyyy/mm/dd", a.value.date);
}

std::string GpsTime(const FormatArgs& a) {
  double hours, minutes, seconds;
  SplitSexagesimal(a.value.triple, hours, minutes, seconds);
  if (!(hours >= 0 && hours < 24)) throw EConvertError("Invalid GPS time");
  return Format("%.2d:%.2d:%.2d", static_cast<int>(hours), static_cast<int>(minutes),
                static_cast<int>(std::trunc(seconds)));
}

std::string BitsPerPixel(const FormatArgs& a) {
  return Format("%.1n (bit/Pixel)", a.value.real);
}

std::string Pixels(const FormatArgs& a) {
  return Format("%5.0n (Pixel)", a.value.integer);
}

std::string Resolution(const FormatArgs& a) {
  if (!a.companion) return Format("%5.0n", a.value.real);
  return Format("%5.0n (%s)", a.value.real, PickedText(a.picks, a.companion->integer));
}

std::string Millimetres(const FormatArgs& a) {
  return FormatFloat("#,##0.## \"(mm)\"", a.value.real);
}

std::string WholeMillimetres(const FormatArgs& a) {
  return Format("%d (mm)", a.value.integer);
}

std::string ShutterSpeed(const FormatArgs& a) {
  const double tv = a.value.real;
  if (tv <= -2147483647.0) return "バルブ撮影";
  return ApexText(tv > 0 ? FormatFloat("\"1/\"#,##0 \"秒\"", std::pow(2.0, tv))
                         : FormatFloat("#,##0.## \"秒\"", std::pow(2.0, -tv)),
                  tv);
}

std::string ExposureTime(const FormatArgs& a) {
  const double v = a.value.real;
  if (v > 0 && v < 1) return Format("%-10s ←%7.3n 秒", FormatFloat("\"1/\"#,##0 \"秒\"", 1 / v), v);
  return FormatFloat("#,##0.## \"秒\"", v);
}

std::string Aperture(const FormatArgs& a) {
  const double av = a.value.real;
  return ApexText(FormatFloat("\"F\"#,##0.##", std::pow(2.0, av / 2)), av);
}

std::string FNumber(const FormatArgs& a) {
  return FormatFloat("\"F\"#,##0.##", a.value.real);
}

std::string ExposureValue(const FormatArgs& a) {
  return FormatFloat("#,##0.## \"(EV)\"", a.value.real);
}

std::string FlashState(const FormatArgs& a) {
  static const char* const kModes[] = {"不明", "強制", "禁止", "自動"};
  static const char* const kReturns[] = {"機能無し", "予約", "未検出", "検出"};
  const int64_t f = a.value.integer;
  return Format("%s(%s); 赤目(%s); ｽﾄﾛﾎﾞ(%s); ﾘﾀｰﾝ(%s)", (f & 1) ? "発光" : "未発光", kModes[(f >> 3) & 3],
                (f & 0x40) ? "有り" : "無し", (f & 0x20) ? "無し" : "有り", kReturns[(f >> 1) & 3]);
}

std::string FlashEnergy(const FormatArgs& a) {
  return FormatFloat("#,##0.## \"(BCPS)\"", a.value.real);
}

std::string UpToTwoDecimals(const FormatArgs& a) {
  return FormatFloat("#,##0.##", a.value.real);
}

std::string SubjectDistance(const FormatArgs& a) {
  return a.value.zero_denominator ? "無限遠 ∞" : FormatFloat("#,##0.## \"(m)\"", a.value.real);
}

std::string SubjectLocation(const FormatArgs& a) {
  const std::vector<int64_t>& n = a.value.numbers;
  if (n.size() < 2) throw EConvertError("The subject location needs two values");
  return Format("( %d , %d )", n[0], n[1]);
}

std::string SubjectArea(const FormatArgs& a) {
  const std::vector<int64_t>& n = a.value.numbers;
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

std::string DigitalZoom(const FormatArgs& a) {
  return a.value.real != 0 ? FormatFloat("\"x \"0.##", a.value.real) : "OFF";
}

std::string Coordinate(const FormatArgs& a) {
  std::string letter = "?";
  if (a.companion) {
    const std::string& t = a.companion->text;
    if (t == "N" || t == "S" || t == "E" || t == "W") letter = t;
  }
  double degrees, minutes, seconds;
  SplitSexagesimal(a.value.triple, degrees, minutes, seconds);
  return letter +
         Format("%s度%s分%s秒", FormatFloat("#00", degrees), FormatFloat("00", minutes), FormatFloat("00.00", seconds));
}

std::string Metres(const FormatArgs& a) {
  return Format("%n (m)", a.value.real);
}

std::string TwoDecimals(const FormatArgs& a) {
  return Format("%n", a.value.real);
}

std::string InCompanionUnit(const FormatArgs& a) {
  return Format("%n (%s)", a.value.real, PickedLetterText(a.picks, a.companion ? a.companion->text : std::string()));
}

std::string Degrees(const FormatArgs& a) {
  return Format("%n (度)", a.value.real);
}

}  // namespace exif_format
}  // namespace plb

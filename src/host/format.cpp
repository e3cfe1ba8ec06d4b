#include "host/format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace plb {
namespace {

[[noreturn]] void FailFormat(std::string_view pattern, const char* why) {
  throw EConvertError("Format '" + std::string(pattern) + "' invalid or incompatible with argument (" + why + ")");
}

// Length in bytes of the UTF-8 sequence starting at s[i], and its code point; 1 and "?" (one
// column) when the bytes there are not a valid sequence.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) {
    cp = '?';
    return 1;
  }
  cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) {
      cp = '?';
      return 1;
    }
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  return n;
}

int CharWidth(uint32_t cp) {
  return cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F) ? 1 : 2;
}

// The longest prefix of text that fits in `columns`, never splitting a character.
std::string_view CutToWidth(std::string_view text, int columns) {
  int used = 0;
  size_t i = 0;
  while (i < text.size()) {
    uint32_t cp;
    size_t n = DecodeUtf8(text, i, cp);
    if (used + CharWidth(cp) > columns) break;
    used += CharWidth(cp);
    i += n;
  }
  return text.substr(0, i);
}

std::string Pad(std::string text, int width, bool left) {
  int missing = width - ShiftJisWidth(text);
  if (missing <= 0) return text;
  return left ? text + std::string(missing, ' ') : std::string(missing, ' ') + text;
}

// Digits of an unsigned decimal integer text with "," between groups of three.
std::string Grouped(std::string_view digits) {
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// v rounded half away from zero to `decimals` places, split into sign, integer digits (no leading
// zeros, "0" for zero) and exactly `decimals` fraction digits.
struct Decimal {
  bool negative = false;
  std::string integer;
  std::string fraction;
  bool IsZero() const { return integer == "0" && fraction.find_first_not_of('0') == std::string::npos; }
};

Decimal RoundDecimal(double v, int decimals) {
  if (!std::isfinite(v)) throw EConvertError("Invalid floating point operation: the value is not a finite number");
  if (decimals < 0) decimals = 0;
  if (decimals > 60) decimals = 60;
  // Every double has a finite decimal expansion (at most 1074 fraction digits); with it exact,
  // "the next digit is 5 or more" is precisely half-away-from-zero rounding, ties included.
  static constexpr int kExact = 1100;
  char buf[1500];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, kExact);
  std::string_view exact(buf, static_cast<size_t>(res.ptr - buf));
  const size_t point = exact.find('.');
  std::string digits(exact.substr(0, point));
  digits += exact.substr(point + 1, static_cast<size_t>(decimals));
  const bool up = exact[point + 1 + static_cast<size_t>(decimals)] >= '5';
  if (up) {
    int k = static_cast<int>(digits.size()) - 1;
    while (k >= 0 && digits[static_cast<size_t>(k)] == '9') digits[static_cast<size_t>(k--)] = '0';
    if (k < 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[static_cast<size_t>(k)];
    }
  }
  Decimal d;
  d.negative = std::signbit(v);
  const size_t int_len = digits.size() - static_cast<size_t>(decimals);
  d.integer = digits.substr(0, int_len);
  d.fraction = digits.substr(int_len);
  const size_t nz = d.integer.find_first_not_of('0');
  d.integer = nz == std::string::npos ? "0" : d.integer.substr(nz);
  if (d.IsZero()) d.negative = false;
  return d;
}

// ---- Format ----

double RealArg(std::string_view pattern, const FormatArg& arg) {
  if (auto* d = std::get_if<double>(&arg.Value())) return *d;
  if (auto* i = std::get_if<int64_t>(&arg.Value())) return static_cast<double>(*i);
  FailFormat(pattern, "a number is expected");
}

int64_t IntegerArg(std::string_view pattern, const FormatArg& arg) {
  if (auto* i = std::get_if<int64_t>(&arg.Value())) return *i;
  FailFormat(pattern, "an integer is expected");
}

std::string ZeroFilled(std::string digits, int precision) {
  if (static_cast<int>(digits.size()) < precision)
    digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
  return digits;
}

std::string FormatOne(std::string_view pattern, char type, int precision, const FormatArg& arg) {
  switch (type) {
    case 'd':
    case 'u': {
      const int64_t v = IntegerArg(pattern, arg);
      if (type == 'u' && v < 0) FailFormat(pattern, "a negative value for %u");
      const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      std::string out(v < 0 ? 1 : 0, '-');
      out += ZeroFilled(std::to_string(magnitude), precision);
      return out;
    }
    case 'x': {
      const uint64_t v = static_cast<uint64_t>(IntegerArg(pattern, arg));
      char buf[24];
      auto res = std::to_chars(buf, buf + sizeof buf, v, 16);
      std::string hex(buf, res.ptr);
      for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return ZeroFilled(hex, precision);
    }
    case 's': {
      auto* s = std::get_if<std::string>(&arg.Value());
      if (!s) FailFormat(pattern, "a text is expected");
      return precision >= 0 ? std::string(CutToWidth(*s, precision)) : *s;
    }
    case 'n':
    case 'f': {
      Decimal d = RoundDecimal(RealArg(pattern, arg), precision < 0 ? 2 : precision);
      std::string out(d.negative ? 1 : 0, '-');
      out += type == 'n' ? Grouped(d.integer) : d.integer;
      if (!d.fraction.empty()) out += "." + d.fraction;
      return out;
    }
    case 'e': {
      const double v = RealArg(pattern, arg);
      if (!std::isfinite(v)) FailFormat(pattern, "not a finite number");
      char buf[64];
      const int digits = precision < 1 ? 15 : precision > 17 ? 17 : precision;
      auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, digits - 1);
      std::string out(buf, res.ptr);
      for (char& c : out) c = c == 'e' ? 'E' : c;
      return out;
    }
    case 'g': {
      const double v = RealArg(pattern, arg);
      if (!std::isfinite(v)) FailFormat(pattern, "not a finite number");
      char buf[64];
      auto res = std::to_chars(buf, buf + sizeof buf, v);
      return std::string(buf, res.ptr);
    }
    default:
      FailFormat(pattern, "unknown type");
  }
}

// ---- FormatFloat ----

// One section of a FormatFloat pattern, split into literal text and digit placeholders.
struct Section {
  std::string prefix;       // literal text before the first placeholder
  std::string infix;        // literal text between the placeholders (written before the digits)
  std::string suffix;       // literal text after the last placeholder
  int integer_zeros = 0;    // "0" before the point: the minimum integer digits
  int fraction_places = 0;  // placeholders after the point
  int fraction_zeros = 0;   // required fraction digits (up to the last "0")
  bool grouping = false;
  bool has_point = false;
  bool scientific = false;
  bool exponent_sign_always = false;  // "E+": the exponent always carries a sign
  int exponent_zeros = 0;
};

std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
}

Section ParseSection(std::string_view text) {
  Section s;
  bool seen_digit = false;
  std::string pending;  // literal text since the last placeholder
  auto placeholder = [&](char c) {
    if (!seen_digit) {
      s.prefix = pending;
    } else {
      s.infix += pending;
    }
    pending.clear();
    seen_digit = true;
    if (s.has_point) {
      ++s.fraction_places;
      if (c == '0') s.fraction_zeros = s.fraction_places;
    } else if (c == '0') {
      ++s.integer_zeros;
    }
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      const size_t end = text.find(c, i + 1);
      pending += text.substr(i + 1, (end == std::string_view::npos ? text.size() : end) - i - 1);
      i = end == std::string_view::npos ? text.size() : end;
    } else if (c == '0' || c == '#') {
      placeholder(c);
    } else if (c == ',') {
      s.grouping = true;
    } else if (c == '.' && !s.has_point) {
      s.has_point = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-')) {
      s.scientific = true;
      s.exponent_sign_always = text[i + 1] == '+';
      i += 2;
      while (i < text.size() && text[i] == '0') {
        ++s.exponent_zeros;
        ++i;
      }
      --i;
    } else {
      pending += c;
    }
  }
  if (seen_digit) {
    s.suffix = pending;
  } else {
    s.prefix = pending;
  }
  return s;
}

std::string ApplySection(const Section& s, double v, bool with_sign) {
  int exponent = 0;
  if (s.scientific && v != 0) {
    const int integer_digits = s.integer_zeros > 0 ? s.integer_zeros : 1;
    exponent = static_cast<int>(std::floor(std::log10(std::fabs(v)))) - (integer_digits - 1);
    v /= std::pow(10.0, exponent);
  }
  Decimal d = RoundDecimal(v, s.fraction_places);
  std::string integer = d.integer == "0" ? "" : d.integer;
  if (static_cast<int>(integer.size()) < s.integer_zeros) {
    integer.insert(0, static_cast<size_t>(s.integer_zeros) - integer.size(), '0');
  }
  std::string fraction = d.fraction;
  while (static_cast<int>(fraction.size()) > s.fraction_zeros && fraction.back() == '0') fraction.pop_back();

  std::string out = s.prefix;
  if (with_sign && d.negative) out += '-';
  out += s.infix;
  out += s.grouping ? Grouped(integer) : integer;
  if (!fraction.empty()) out += "." + fraction;
  if (s.scientific) {
    out += 'E';
    if (exponent < 0) {
      out += '-';
    } else if (s.exponent_sign_always) {
      out += '+';
    }
    out += ZeroFilled(std::to_string(std::abs(exponent)), s.exponent_zeros);
  }
  out += s.suffix;
  return out;
}

}  // namespace

int ShiftJisWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp;
    i += DecodeUtf8(utf8, i, cp);
    width += CharWidth(cp);
  }
  return width;
}

std::string RoundedDecimal(double v, int decimals) {
  Decimal d = RoundDecimal(v, decimals);
  std::string out(d.negative ? 1 : 0, '-');
  out += d.integer;
  if (!d.fraction.empty()) out += "." + d.fraction;
  return out;
}

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= pattern.size()) FailFormat(pattern, "a lone % at the end");
    if (pattern[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    if (pattern[i] == '-') {
      left = true;
      ++i;
    }
    int width = 0;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
      width = std::min(width * 10 + (pattern[i++] - '0'), 4096);
    int precision = -1;
    if (i < pattern.size() && pattern[i] == '.') {
      precision = 0;
      ++i;
      while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
        precision = std::min(precision * 10 + (pattern[i++] - '0'), 4096);
      }
    }
    if (i >= pattern.size()) FailFormat(pattern, "no type after %");
    if (next == args.end()) FailFormat(pattern, "too few arguments");
    const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
    out += Pad(FormatOne(pattern, type, precision, *next++), width, left);
  }
  return out;
}

std::string FormatFloat(std::string_view pattern, double v) {
  if (!std::isfinite(v)) throw EConvertError("Invalid floating point operation: the value is not a finite number");
  if (pattern.empty()) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
  }
  const auto sections = SplitSections(pattern);
  if (v == 0 && sections.size() >= 3 && !sections[2].empty()) return ApplySection(ParseSection(sections[2]), 0, false);
  if (v < 0 && sections.size() >= 2 && !sections[1].empty()) return ApplySection(ParseSection(sections[1]), -v, false);
  return ApplySection(ParseSection(sections[0]), v, true);
}

}  // namespace plb

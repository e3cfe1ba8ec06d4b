#pragma once
// Text formatting of numbers and messages, as the program's display texts, log lines and file
// names need it: printf-like Format with the "%n" number type and Shift-JIS-width padding, and
// FormatFloat with digit patterns such as "#,##0.##". Independent of the C locale ("," groups,
// "." is the decimal point), without shared state (safe on any thread), and rounding half away
// from zero, so 2.125 with two decimals is 2.13 whatever printf would say.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "platform/error.h"

namespace plb {

// A pattern that does not match its arguments (unknown type, missing argument, a number where a
// text is expected and the reverse).
PLB_DECLARE_ERROR(EConvertError, Error);

// One argument of Format: an integer, a real or a text.
class FormatArg {
 public:
  template <class T>
  requires std::is_integral_v<T> FormatArg(T v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(double v) : value_(v) {}
  FormatArg(float v) : value_(static_cast<double>(v)) {}
  FormatArg(const char* v) : value_(std::string(v ? v : "")) {}
  FormatArg(std::string_view v) : value_(std::string(v)) {}
  FormatArg(const std::string& v) : value_(v) {}

  const std::variant<int64_t, double, std::string>& Value() const { return value_; }

 private:
  std::variant<int64_t, double, std::string> value_;
};

// Formats args by pattern. Each "%[-][width][.precision]type" takes the next argument:
//   d  integer; precision = minimum digits, zero-filled ("%.2d" of 7 is "07")
//   u  as d (the value must not be negative)
//   x  integer in upper-case hexadecimal; precision as for d
//   s  text; precision = maximum width
//   n  real with "," digit grouping, precision decimals (default 2)
//   f  real without grouping, precision decimals (default 2)
//   e  real in scientific notation, precision significant digits (default 15)
//   g  shortest real text
// "%%" is a percent sign. Widths pad with spaces (right-aligned; "-" aligns left) and count, like
// the Japanese system code page did, one column for ASCII and half-width katakana and two for
// every other character, so "%-17s" lines up Japanese labels. Throws EConvertError on a mismatch.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

template <class... A>
std::string Format(std::string_view pattern, const A&... args) {
  return Format(pattern, std::initializer_list<FormatArg>{FormatArg(args)...});
}

// Formats v by a digit pattern: "0" a required digit, "#" an optional one, "," (anywhere among
// the digits) turns on grouping by thousands, "." the decimal point, text in double or single
// quotes is literal, "E+"/"E-" followed by zeros a scientific exponent. Up to three sections
// separated by ";" serve positive, negative and zero values; with one section a negative value gets
// a leading "-". Infinite and NaN values throw EConvertError (the display code shows "Error").
std::string FormatFloat(std::string_view pattern, double v);

// The columns a UTF-8 text takes in the Japanese system code page: ASCII (below U+0080) and
// half-width katakana (U+FF61 to U+FF9F) take one, every other character two; a byte that is not
// valid UTF-8 counts one.
int ShiftJisWidth(std::string_view utf8);

// v rounded half away from zero to `decimals` places as plain digits ("-" when negative, "." as
// point, no grouping); the rounding that Format and FormatFloat share. Throws EConvertError for
// infinite or NaN values.
std::string RoundedDecimal(double v, int decimals);

}  // namespace plb

#include "host/date_time.h"

#include <sys/time.h>

#include <cerrno>
#include <cmath>
#include <ctime>

#include "host/format.h"

namespace plb {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kUnixEpochDays = -25569;
// Days from 1899-12-30 to 0001-01-01 and to 10000-01-01: the range a value may decode in.
constexpr double kMinDays = -693593;
constexpr double kEndDays = 2958466;

// Days since 1970-01-01 of a proleptic Gregorian date (after H. Hinnant's civil algorithms).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// Splits a value into whole days and the milliseconds of the day, rounding the whole value to
// the millisecond; a negative value keeps a forward-counting time of day.
bool SplitValue(TDateTime value, int64_t& days, int64_t& ms_of_day) {
  if (!std::isfinite(value) || value <= kMinDays - 1 || value >= kEndDays) return false;
  const int64_t total = std::llround(value * kMsPerDay);
  days = total / kMsPerDay;
  ms_of_day = total % kMsPerDay;
  if (ms_of_day < 0) ms_of_day = -ms_of_day;
  // The last millisecond of 9999-12-31 must not round into a year 10000.
  return days >= kMinDays && days < kEndDays;
}

DateTimeFields FieldsOf(const std::tm& tm, int millisecond) {
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millisecond};
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) - kUnixEpochDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  out = static_cast<double>(ms) / kMsPerDay;
  return true;
}

bool TryEncodeDateTime(const DateTimeFields& f, TDateTime& out) {
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(f.year, f.month, f.day, date) || !TryEncodeTime(f.hour, f.minute, f.second, f.millisecond, time))
    return false;
  // Before 1899-12-30 the day counts down while the time of day still counts up.
  out = date < 0 ? date - time : date + time;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime out = 0;
  if (!TryEncodeDate(year, month, day, out)) throw EConvertError("Invalid argument to date encode");
  return out;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime out = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, out)) throw EConvertError("Invalid argument to time encode");
  return out;
}

TDateTime EncodeDateTime(const DateTimeFields& fields) {
  TDateTime out = 0;
  if (!TryEncodeDateTime(fields, out)) throw EConvertError("Invalid argument to date encode");
  return out;
}

DateTimeFields DecodeDateTime(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  if (!SplitValue(value, days, ms)) return {};
  DateTimeFields f;
  CivilFromDays(days + kUnixEpochDays, f.year, f.month, f.day);
  f.millisecond = static_cast<int>(ms % 1000);
  f.second = static_cast<int>(ms / 1000 % 60);
  f.minute = static_cast<int>(ms / 60000 % 60);
  f.hour = static_cast<int>(ms / 3600000);
  return f;
}

int DayOfWeek(TDateTime value) {
  int64_t days = 0;
  int64_t ms = 0;
  if (!SplitValue(value, days, ms)) days = 0;
  // 1899-12-30 was a Saturday.
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

TDateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return UnixTimeToDateTime(now.tv_sec, now.tv_nsec);
}

TDateTime UnixTimeToDateTime(int64_t seconds, int64_t nanoseconds) {
  // Keep 0 <= nanoseconds < 1e9 so that a time before 1970 truncates towards the earlier moment.
  seconds += nanoseconds / 1000000000;
  nanoseconds %= 1000000000;
  if (nanoseconds < 0) {
    nanoseconds += 1000000000;
    seconds -= 1;
  }
  const time_t t = static_cast<time_t>(seconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return 0;
  TDateTime out = 0;
  if (!TryEncodeDateTime(FieldsOf(local, static_cast<int>(nanoseconds / 1000000)), out)) return 0;
  return out;
}

bool DateTimeToUnixTime(TDateTime value, int64_t& seconds, int64_t& nanoseconds) {
  seconds = 0;
  nanoseconds = 0;
  int64_t days = 0;
  int64_t ms = 0;
  if (value == 0 || !SplitValue(value, days, ms)) return false;
  const DateTimeFields f = DecodeDateTime(value);
  std::tm local{};
  local.tm_year = f.year - 1900;
  local.tm_mon = f.month - 1;
  local.tm_mday = f.day;
  local.tm_hour = f.hour;
  local.tm_min = f.minute;
  local.tm_sec = f.second;
  local.tm_isdst = -1;  // the offset in force on that date
  errno = 0;
  const time_t t = mktime(&local);
  if (t == static_cast<time_t>(-1) && errno != 0) return false;
  seconds = static_cast<int64_t>(t);
  nanoseconds = static_cast<int64_t>(f.millisecond) * 1000000;
  return true;
}

const DateWords& JapaneseDateWords() {
  static const DateWords words{{"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"},
                               {"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"},
                               {"日", "月", "火", "水", "木", "金", "土"},
                               {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"},
                               "yyyy/mm/dd",
                               "yyyy\"年\"m\"月\"d\"日\"",
                               "h:nn",
                               "h:nn:ss",
                               "午前",
                               "午後"};
  return words;
}

const DateWords& EnglishDateWords() {
  static const DateWords words{{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
                               {"January", "February", "March", "April", "May", "June", "July", "August", "September",
                                "October", "November", "December"},
                               {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
                               {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
                               "mm/dd/yyyy",
                               "dddd, mmmm d, yyyy",
                               "h:nn AMPM",
                               "h:nn:ss AMPM",
                               "AM",
                               "PM"};
  return words;
}

TDateTime ParseDateTimeText(std::string_view text) {
  // A field of the fixed layout as a decimal number; blanks before the digits are allowed.
  auto field = [text](size_t first, size_t length) {
    if (first >= text.size()) return 0;
    std::string_view s = text.substr(first, length);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    if (s.empty()) return 0;
    int value = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return 0;
      value = value * 10 + (c - '0');
    }
    return value;
  };
  DateTimeFields f{field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2), 0};
  TDateTime out = 0;
  if (TryEncodeDateTime(f, out)) return out;
  if (TryEncodeDate(f.year, f.month, f.day, out)) return out;
  return 0;
}

}  // namespace plb

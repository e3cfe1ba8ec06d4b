#pragma once
// The program's date-time value: an IEEE double counting days since 1899-12-30, the fraction
// being the time of day, in local time; 0 means "no date". Catalog records, EXIF dates, file
// times and the log all use it. Dates before 1899-12-30 are negative, and their fraction still
// counts forward from midnight (-1.25 is 1899-12-29 06:00).
//
// Everything here is free of shared state and of the C locale, so it is safe on any thread.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace plb {

using TDateTime = double;

// The calendar fields of a date-time; month 1-12, day 1-31, hour 0-23, millisecond 0-999.
struct DateTimeFields {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const DateTimeFields&) const = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1-12

// Encoding: the Try forms answer false for a field out of range (years 1-9999); the plain forms
// raise EConvertError.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
bool TryEncodeDateTime(const DateTimeFields& fields, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(const DateTimeFields& fields);

// Decoding rounds to the nearest millisecond. A value that is not finite or lies outside the years
// 1-9999 (it can only come from a damaged file) decodes as 0, 1899-12-30 00:00.
DateTimeFields DecodeDateTime(TDateTime value);
// 1 for Sunday to 7 for Saturday.
int DayOfWeek(TDateTime value);

// The current local time, to the millisecond.
TDateTime Now();

// A moment given as seconds and nanoseconds since 1970-01-01 UTC becomes local time with the
// offset in force at that moment (so a summer file time keeps its summer offset in winter);
// milliseconds are truncated. 0 when the local date falls outside the years 1-9999.
TDateTime UnixTimeToDateTime(int64_t seconds, int64_t nanoseconds = 0);

// The moment of a local date-time, with the offset in force on that date. A local time that a
// clock change skips counts from the offset before the change. False for 0 and for values that
// do not decode (then the outputs are 0).
bool DateTimeToUnixTime(TDateTime value, int64_t& seconds, int64_t& nanoseconds);

// The words and composite patterns that a date pattern may take from the locale.
struct DateWords {
  std::array<std::string_view, 12> short_months;
  std::array<std::string_view, 12> long_months;
  std::array<std::string_view, 7> short_days;  // Sunday first
  std::array<std::string_view, 7> long_days;
  std::string_view short_date;  // "ddddd"
  std::string_view long_date;   // "dddddd"
  std::string_view short_time;  // "t"
  std::string_view long_time;   // "tt"
  std::string_view am;          // "ampm"
  std::string_view pm;
};

// The program's display words: Japanese, as the program's texts are ("土", "土曜日", "5月",
// "yyyy/mm/dd", "h:nn:ss"), whatever locale the process runs in.
const DateWords& JapaneseDateWords();
// English words ("Sat", "May"); used where a name must be plain ASCII, as the log file's.
const DateWords& EnglishDateWords();

// Formats a date-time by a pattern; letters are case-insensitive:
//   yyyy four-digit year; yy (or y) two-digit year
//   m, mm month (1, 01); mmm, mmmm short and long month name; m and mm right after an hour
//          field mean minutes
//   d, dd day; ddd, dddd short and long weekday name; ddddd short date; dddddd long date
//   h, hh hour (12-hour when an am/pm field follows); n, nn minute; s, ss second
//   z millisecond, zzz three-digit millisecond
//   t short time; tt long time; c short date, then the long time unless it is midnight
//   am/pm, a/p (in the pattern's letter case), ampm (the words' am and pm texts)
//   "/" and ":" the separators "/" and ":"; text in double or single quotes is literal; every
//   other character stands for itself. An empty pattern means "c".
std::string FormatDateTime(std::string_view pattern, TDateTime value, const DateWords& words = JapaneseDateWords());

// Reads the text form "yyyy:mm:dd hh:nn:ss" of EXIF dates: year from characters 1-4, month 6-7,
// day 9-10, hour 12-13, minute 15-16, second 18-19 (the characters between are not looked at; a
// field that is not a decimal number counts 0). An invalid or missing date gives 0; an invalid or
// missing time keeps the date alone.
TDateTime ParseDateTimeText(std::string_view text);

}  // namespace plb

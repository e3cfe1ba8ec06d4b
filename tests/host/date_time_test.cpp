#include "host/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "host/format.h"

namespace plb {
namespace {

// Central European time: +1 in winter, +2 from the last Sunday of March 02:00 to the last Sunday
// of October 03:00.
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

void UseTimeZone(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

TEST(DateTime, EncodesAndDecodesDaysSince1899_12_30) {
  const struct {
    DateTimeFields fields;
    double value;
  } cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0},
      {{1900, 1, 1, 0, 0, 0, 0}, 2},
      {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25},  // before the epoch the time still counts forward
      {{1, 1, 1, 0, 0, 0, 0}, -693593},
      {{9999, 12, 31, 0, 0, 0, 0}, 2958465},
      {{2024, 2, 29, 18, 0, 0, 0}, 45351.75},
  };
  for (const auto& c : cases) {
    TDateTime value = -1e9;
    ASSERT_TRUE(TryEncodeDateTime(c.fields, value)) << c.value;
    EXPECT_DOUBLE_EQ(value, c.value);
    EXPECT_EQ(DecodeDateTime(c.value), c.fields) << c.value;
  }
  // Every millisecond of a day survives the round trip.
  const TDateTime day = EncodeDate(2008, 5, 17);
  for (int ms = 0; ms < 86400000; ms += 86399 /* a prime stride */) {
    const DateTimeFields f{2008, 5, 17, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(f)), f);
  }
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_EQ(DecodeDateTime(day + 0.99999999999).day, 18);  // rounds to the next midnight
}

TEST(DateTime, RefusesFieldsOutOfRangeAndDecodesDamagedValuesAsZero) {
  const DateTimeFields bad[] = {
      {2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0},   {2024, 0, 1, 0, 0, 0, 0},  {2024, 4, 31, 0, 0, 0, 0},
      {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},   {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 60, 0, 0},
      {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000}, {2024, 1, 1, -1, 0, 0, 0},
  };
  for (const auto& f : bad) {
    TDateTime value = 0;
    EXPECT_FALSE(TryEncodeDateTime(f, value)) << f.year << "-" << f.month << "-" << f.day;
  }
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
  for (double damaged : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300,
                         -1e300, 2958466.0, 2958465.9999999999, -693594.5}) {
    EXPECT_EQ(DecodeDateTime(damaged), DateTimeFields{}) << damaged;
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", damaged), "1899/12/30");
  }
}

TEST(DateTime, DayOfWeekCountsFromSunday) {
  EXPECT_EQ(DayOfWeek(0), 7);                              // 1899-12-30, a Saturday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                          // Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 5, 19) + 0.9), 1);  // Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2008, 5, 17)), 7);
}

TEST(DateTime, UnixTimesUseTheOffsetInForceOnTheirDate) {
  UseTimeZone(kBerlin);
  const struct {
    int64_t unix_seconds;
    DateTimeFields local;
  } cases[] = {
      {1705320000, {2024, 1, 15, 13, 0, 0, 0}},  // 12:00 UTC in winter
      {1721044800, {2024, 7, 15, 14, 0, 0, 0}},  // 12:00 UTC in summer
      {1711845000, {2024, 3, 31, 1, 30, 0, 0}},  // half an hour before the clocks go forward
      {1711848600, {2024, 3, 31, 3, 30, 0, 0}},  // half an hour after
      {1730001600, {2024, 10, 27, 5, 0, 0, 0}},  // after the clocks went back
      {0, {1970, 1, 1, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const TDateTime local = UnixTimeToDateTime(c.unix_seconds, 987654321);
    DateTimeFields expected = c.local;
    expected.millisecond = 987;
    EXPECT_EQ(DecodeDateTime(local), expected) << c.unix_seconds;
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
    ASSERT_TRUE(DateTimeToUnixTime(local, seconds, nanoseconds));
    EXPECT_EQ(seconds, c.unix_seconds);
    EXPECT_EQ(nanoseconds, 987000000);
  }
  // A local time that the spring change skips counts from the winter offset.
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  ASSERT_TRUE(DateTimeToUnixTime(EncodeDateTime({2024, 3, 31, 2, 30, 0, 0}), seconds, nanoseconds));
  EXPECT_EQ(seconds, 1711848600);
  EXPECT_FALSE(DateTimeToUnixTime(0, seconds, nanoseconds));
  EXPECT_EQ(seconds, 0);
}

TEST(DateTime, UnixTimesBeforeTheEpochTruncateTowardsTheEarlierMillisecond) {
  UseTimeZone("UTC0");
  EXPECT_EQ(DecodeDateTime(UnixTimeToDateTime(-1, 500000000)), (DateTimeFields{1969, 12, 31, 23, 59, 59, 500}));
  EXPECT_EQ(DecodeDateTime(UnixTimeToDateTime(0, -1)), (DateTimeFields{1969, 12, 31, 23, 59, 59, 999}));
  const TDateTime now = Now();
  const TDateTime from_clock = UnixTimeToDateTime(std::time(nullptr));
  EXPECT_LT(std::fabs(now - from_clock) * 86400, 5.0);
}

TEST(DateTime, FormatsThePatternsTheProgramUses) {
  const TDateTime saturday = EncodeDateTime({2008, 5, 17, 14, 2, 3, 45});
  const TDateTime morning = EncodeDateTime({2008, 5, 17, 0, 7, 9, 0});
  const TDateTime midnight = EncodeDate(2008, 5, 17);
  const struct {
    const char* pattern;
    TDateTime value;
    const char* expected;
  } cases[] = {
      {"yyyy/mm/dd hh:nn:ss", saturday, "2008/05/17 14:02:03"},
      {"yyyy:mm:dd hh:nn:ss", saturday, "2008:05:17 14:02:03"},
      {"yyyy/mm/dd hh:nn:ss.zzz", saturday, "2008/05/17 14:02:03.045"},
      {"yyyymmdd", saturday, "20080517"},
      {"yyyymmdd-hhnnss", saturday, "20080517-140203"},
      {"yyyymmddhhnnss", saturday, "20080517140203"},
      {"hh:nn:ss", morning, "00:07:09"},
      {"h:n:s", morning, "0:7:9"},
      {"zzz", saturday, "045"},
      {"z", saturday, "45"},
      {"yyyy\"年\"m\"月\"d\"日 (\"dddd\")\"", saturday, "2008年5月17日 (土曜日)"},
      {"\" (\"yyyymmdd\")\"", saturday, " (20080517)"},
      {"yyyy\"-\"mm\"-\"dd\"T\"hh\":\"nn\":\"ss\"+09:00\"", saturday, "2008-05-17T14:02:03+09:00"},
      {"yyyy-mm-dd\"T\"hh:nn:ss", saturday, "2008-05-17T14:02:03"},
      {"yyyy-mm-dd", saturday, "2008-05-17"},
      {"dddd", saturday, "土曜日"},
      {"ddd", saturday, "土"},
      {"ddddd", saturday, "2008/05/17"},
      {"dddddd", saturday, "2008年5月17日"},
      {"mmm mmmm", saturday, "5月 5月"},
      {"c", saturday, "2008/05/17 14:02:03"},
      {"c", midnight, "2008/05/17"},
      {"", saturday, "2008/05/17 14:02:03"},
      {"t", saturday, "14:02"},
      {"tt", morning, "0:07:09"},
      {"ddddd\r\ntt", saturday, "2008/05/17\r\n14:02:03"},
      {"yy/m/d", saturday, "08/5/17"},
      {"hh:mm", saturday, "14:02"},  // minutes after an hour field
      {"h am/pm", saturday, "2 pm"},
      {"hh AM/PM", morning, "12 AM"},
      {"h a/p", saturday, "2 p"},
      {"h ampm", saturday, "2 午後"},
      {"'quoted hh' hh", saturday, "quoted hh 14"},
      {"'open", saturday, "open"},
      {"x e g", saturday, "x e g"},
      {"YYYY/MM/DD HH:NN:SS", saturday, "2008/05/17 14:02:03"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.expected) << c.pattern;

  EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", saturday, EnglishDateWords()), "Sat Saturday May May");
  EXPECT_EQ(FormatDateTime("c", saturday, EnglishDateWords()), "05/17/2008 2:02:03 PM");
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd", EncodeDate(33, 1, 2)), "0033/01/02");
}

TEST(DateTime, ParsesTheExifTextForm) {
  const TDateTime full = EncodeDateTime({2008, 5, 17, 14, 2, 3, 0});
  const TDateTime date = EncodeDate(2008, 5, 17);
  const struct {
    const char* text;
    TDateTime expected;
  } cases[] = {
      {"2008:05:17 14:02:03", full},
      {"2008-05-17T14:02:03", full},  // the characters between the fields are not looked at
      {"2008:05:17 14: 2: 3", full},
      {"2008:05:17", date},
      {"2008:05:17 25:00:00", date},                                        // an invalid time keeps the date
      {"2008:05:17 14:02:xx", EncodeDateTime({2008, 5, 17, 14, 2, 0, 0})},  // not a number: 0
      {"2008:13:17 14:02:03", 0},
      {"2008:02:30 14:02:03", 0},
      {"0000:00:00 00:00:00", 0},
      {"    :  :     :  :  ", 0},
      {"abcd:05:17 14:02:03", 0},
      {"2008:05", 0},
      {"", 0},
      {"1899:12:29 06:00:00", -1.25},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ParseDateTimeText(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace plb

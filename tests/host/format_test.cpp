#include "host/format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace plb {
namespace {

TEST(FormatFloat, DigitPatterns) {
  struct Case {
    const char* pattern;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"#,##0", 0, "0"},
      {"#,##0", 1234567, "1,234,567"},
      {"#,##0", 999.5, "1,000"},
      {"#,##0", -1234.4, "-1,234"},
      {"#,##0", -0.4, "0"},
      {"#,##0.##", 2.5, "2.5"},
      {"#,##0.##", 2.0, "2"},
      {"#,##0.##", 0.004, "0"},
      {"\"F\"#,##0.##", 2.8, "F2.8"},
      {"\"F\"#,##0.##", 17.0 / 8, "F2.13"},  // an exact binary tie rounds away from zero
      {"\"F\"#,##0.##", 2.375, "F2.38"},
      {"#,##0.##", -2.125, "-2.13"},
      {"#,##0.## \"(mm)\"", 6.3, "6.3 (mm)"},
      {"#,##0.## \"(EV)\"", -0.33, "-0.33 (EV)"},
      {"\"1/\"#,##0 \"秒\"", 125, "1/125 秒"},
      {"\"1/\"#,##0 \"秒\"", 4000.5, "1/4,001 秒"},
      {"#,##0.## \"秒\"", 2, "2 秒"},
      {"#,##0 \"(ms)\"", 45, "45 (ms)"},
      {"#00", 5, "05"},
      {"#00", 135, "135"},
      {"00", 7, "07"},
      {"00.00", 5.125, "05.13"},
      {"00.00", 59.999, "60.00"},
      {"0.0", 0.30000000000000004, "0.3"},
      {"\"x \"0.##", 1.5, "x 1.5"},
      {" #,##0.0 GB", 1536.0 / 1024 * 1024, " 1,536.0 GB"},
      {" #,##0.0 KB", 1.25, " 1.3 KB"},
      {" #,##0 枚", 12345, " 12,345 枚"},
      {"#.##", 0.5, ".5"},
      {"0.00E+00", 12345, "1.23E+04"},
      {"0.00E-00", 0.00012345, "1.23E-04"},
      {"#,##0;(#,##0);\"zero\"", -1234, "(1,234)"},
      {"#,##0;(#,##0);\"zero\"", 0, "zero"},
      {"#,##0;(#,##0);\"zero\"", 5, "5"},
      {"#,##0", 1e20, "100,000,000,000,000,000,000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFloat(c.pattern, c.value), c.expected) << c.pattern << " of " << c.value;
  }
}

TEST(FormatFloat, RefusesWhatIsNotANumber) {
  EXPECT_THROW(FormatFloat("#,##0", INFINITY), EConvertError);
  EXPECT_THROW(FormatFloat("#,##0", NAN), EConvertError);
  EXPECT_THROW(Format("%n", INFINITY), EConvertError);
}

TEST(Format, TypesWidthsAndPrecisions) {
  struct Case {
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      {Format("%s\\%s(%d)%s", "dir", "name", 3, ".jpg"), "dir\\name(3).jpg"},
      {Format("Cache-%.2d.che", 7), "Cache-07.che"},
      {Format("POL%s(%.3d).xml", "x", 5), "POLx(005).xml"},
      {Format("%.3d", -5), "-005"},
      {Format("%d", INT64_MIN), "-9223372036854775808"},
      {Format("%x", 255), "FF"},
      {Format("%.8x", 0xABC), "00000ABC"},
      {Format("%n", 1234.5), "1,234.50"},
      {Format("%n", -1234567.891), "-1,234,567.89"},
      {Format("%.1n", 4.25), "4.3"},
      {Format("%.0n", 1234.5), "1,235"},
      {Format("%5.0n", 640), "  640"},
      {Format("%5.0n", 123456), "123,456"},
      {Format("%7.3n", 6.965784), "  6.966"},
      {Format("%7.3n", -8.0), " -8.000"},
      {Format("%n", 3), "3.00"},
      {Format("%.2f", 1234.125), "1234.13"},
      {Format("%5s|%-5s|", "ab", "cd"), "   ab|cd   |"},
      {Format("%.3s", "abcdef"), "abc"},
      {Format("100%%"), "100%"},
      {Format("%d%%", 50), "50%"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Format, PadsByShiftJisWidth) {
  // Half-width katakana take one column, full-width characters two, as the labels of the EXIF
  // listing were laid out for: "ISOｽﾋﾟｰﾄﾞﾚｰﾄ" is 12 columns, "Ｆナンバー" 10.
  EXPECT_EQ(Format("%-17s:%s", "ISOｽﾋﾟｰﾄﾞﾚｰﾄ", "100"), "ISOｽﾋﾟｰﾄﾞﾚｰﾄ     :100");
  EXPECT_EQ(Format("%-17s:%s", "Ｆナンバー", "F2.8"), "Ｆナンバー       :F2.8");
  EXPECT_EQ(Format("%-17s:%s", "メーカー名", "Canon"), "メーカー名       :Canon");
  EXPECT_EQ(Format("%-10s ←%7.3n(Apex)", "1/125 秒", 6.965784), "1/125 秒   ←  6.966(Apex)");
  EXPECT_EQ(Format("%-4s|", "長い長い"), "長い長い|");
  EXPECT_EQ(Format("%.3s", "日本語"), "日");  // never cuts a character in half

  struct Case {
    const char* text;
    int width;
  };
  const Case widths[] = {{"", 0}, {"abc", 3}, {"ｱｲｳ", 3}, {"あいう", 6}, {"←", 2}, {"∞", 2}, {"é", 2}, {"\xff\xfe", 2}};
  for (const auto& c : widths) EXPECT_EQ(ShiftJisWidth(c.text), c.width) << c.text;
}

TEST(Format, RefusesMismatchedArguments) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%d", 1.5), EConvertError);
  EXPECT_THROW(Format("%s", 3), EConvertError);
  EXPECT_THROW(Format("%s %s", "one"), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("50%"), EConvertError);
  EXPECT_THROW(Format("%u", -1), EConvertError);
}

TEST(Format, IgnoresTheProcessLocale) {
  // A German locale would print "1.234,50"; display texts must not change with it.
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP();
  EXPECT_EQ(Format("%n", 1234.5), "1,234.50");
  EXPECT_EQ(FormatFloat("#,##0.0", 1234.56), "1,234.6");
  std::setlocale(LC_ALL, "C");
}

TEST(Format, IsSafeOnManyThreads) {
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (Format("%-6s|%5.0n|%.2d", "ab", 1000.0 * t + i, t) != Format("%-6s|%5.0n|%.2d", "ab", 1000.0 * t + i, t) ||
            FormatFloat("\"F\"#,##0.##", 2.125) != "F2.13") {
          ++failures[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(RoundedDecimal, RoundsHalfAwayFromZero) {
  struct Case {
    double value;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {{0.5, 0, "1"},
                        {-0.5, 0, "-1"},
                        {1.5, 0, "2"},
                        {2.5, 0, "3"},
                        {0.125, 2, "0.13"},
                        {0.1, 1, "0.1"},
                        {-0.001, 2, "0.00"},
                        {9.995, 2, "9.99"},  // 9.995 is 9.99499... in binary
                        {999.9996, 3, "1000.000"},
                        {5e-324, 2, "0.00"}};
  for (const auto& c : cases) EXPECT_EQ(RoundedDecimal(c.value, c.decimals), c.expected) << c.value;
}

}  // namespace
}  // namespace plb

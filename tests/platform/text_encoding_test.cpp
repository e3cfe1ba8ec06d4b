#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <thread>

namespace plb::platform {
namespace {

TEST(TextEncoding, JapaneseLegacyTextsBecomeUtf8) {
  struct Case {
    std::string bytes;
    const char* encoding;
    std::string utf8;
  };
  const Case cases[] = {
      {"\x93\xfa\x96\x7b\x8c\xea", "Shift_JIS", "日本語"},
      {"\xb1\xb2 abc", "shift_jis", "ｱｲ abc"},  // half-width katakana
      {"C:\\\x87\x40", "SHIFT-JIS", "C:\\①"},   // the system code page: backslash, NEC circled one
      {"\x81\x60", "windows-31j", "～"},        // U+FF5E as the system code page has it
      {"\xc6\xfc\xcb\xdc", "EUC-JP", "日本"},
      {"", "Shift_JIS", ""},
      {"plain", "UTF-8", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertToUtf8(c.bytes, c.encoding), c.utf8) << c.encoding << " " << c.utf8;
}

TEST(TextEncoding, ALongTextIsConvertedWhole) {
  std::string sjis, utf8;
  for (int i = 0; i < 5000; ++i) {
    sjis += "\x93\xfa\x96\x7b";
    utf8 += "日本";
  }
  EXPECT_EQ(ConvertToUtf8(sjis, "Shift_JIS"), utf8);
}

TEST(TextEncoding, InvalidBytesAndUnknownEncodingsAreErrors) {
  try {
    ConvertToUtf8("ab\x81\x20", "Shift_JIS");
    FAIL() << "no error";
  } catch (const ETextEncodingError& e) {
    EXPECT_NE(e.Message().find("byte 2"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(ConvertToUtf8("ab\x93", "Shift_JIS"), ETextEncodingError);  // cut after a lead byte
  EXPECT_THROW(ConvertToUtf8("x", "no-such-encoding"), ETextEncodingError);
}

TEST(TextEncoding, ConvertsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        if (ConvertToUtf8("\x93\xfa\x96\x7b", "Shift_JIS") != "日本") ++wrong;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

TEST(TextEncoding, LegacyEncodingNames) {
  for (const char* name :
       {"Shift_JIS", "shift-jis", "SJIS", "x-sjis", "Windows-31J", "CP932", "MS_Kanji", "EUC-JP", "euc_jp"}) {
    EXPECT_TRUE(IsJapaneseLegacyEncoding(name)) << name;
  }
  for (const char* name : {"UTF-8", "utf8", "ISO-2022-JP", "", "shift"})
    EXPECT_FALSE(IsJapaneseLegacyEncoding(name)) << name;
}

TEST(ShiftJisWidth, CountsColumnsAsTheSystemCodePageDid) {
  struct Case {
    std::string text;
    int width;
  };
  const Case cases[] = {
      {"", 0},
      {"Canon EOS", 9},
      {"日本語", 6},
      {"ｱｲｳ", 3},           // half-width katakana U+FF71..
      {"\xef\xbd\xa1", 1},  // U+FF61, first half-width form
      {"\xef\xbe\x9f", 1},  // U+FF9F, last one
      {"\xef\xbe\xa0", 2},  // U+FFA0, just after
      {"é", 2},             // not in the one-byte range
      {"😀", 2},
      {"a\xff"
       "b",
       3},              // a stray byte counts one
      {"\xe6\x97", 2},  // a cut sequence: each byte one
  };
  for (const Case& c : cases) EXPECT_EQ(ShiftJisWidth(c.text), c.width) << c.text;
}

TEST(Utf8, OnlyWellFormedTextsAreValid) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain", true},
      {"日本語 é 😀", true},
      {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF, the last one
      {"a\xff.jpg", false},
      {"\x80", false},              // a continuation byte alone
      {"\xe6\x97", false},          // cut short
      {"\xc0\xaf", false},          // overlong "/"
      {"\xe0\x80\xaf", false},      // overlong "/" again
      {"\xed\xa0\x80", false},      // a surrogate
      {"\xf4\x90\x80\x80", false},  // beyond U+10FFFF
      {"\xe6\x97x", false},         // a character broken by the next one
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << ToHex(c.bytes);
}

TEST(Utf8, HexCarriesAnyBytesBothWays) {
  const std::string bytes("a\xff\x00\x7f.jpg", 8);
  EXPECT_EQ(ToHex(bytes), "61ff007f2e6a7067");
  EXPECT_EQ(FromHex("61FF007f2e6a7067"), bytes);
  EXPECT_EQ(FromHex(""), "");
  for (const char* bad : {"6", "6g", "zz", "61 f"}) EXPECT_EQ(FromHex(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace plb::platform

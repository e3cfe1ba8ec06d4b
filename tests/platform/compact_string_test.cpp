#include "platform/compact_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace plb::platform {
namespace {

// Lengths around the inline limit, with bytes a C string would cut short.
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = {
      "",
      "a",
      "IMG_0001.JPG",
      std::string("fifteen\0bytes..", 15),
      "sixteen bytes!!!",
      "PXL_20240101_123456789.jpg",
      "写真の名前はとても長いことがあります.jpeg",
      std::string(300, 'x'),
  };
  return texts;
}

TEST(CompactString, KeepsEveryTextWhetherInlineOrOnTheHeap) {
  for (const std::string& text : Texts()) {
    const CompactString s(text);
    EXPECT_EQ(s.View(), text) << text.size();
    EXPECT_EQ(s.size(), text.size());
    EXPECT_EQ(s.Str(), text);
    EXPECT_TRUE(s == std::string_view(text));
  }
}

TEST(CompactString, CopiesMovesAndAssignmentsBetweenAllLengths) {
  for (const std::string& from : Texts()) {
    for (const std::string& to : Texts()) {
      CompactString a(from);
      CompactString b(to);
      b = a;
      EXPECT_EQ(b.View(), from);
      EXPECT_EQ(a.View(), from) << "a copy leaves its source";
      CompactString c(to);
      c = std::move(a);
      EXPECT_EQ(c.View(), from);
      EXPECT_TRUE(a.empty()) << "a moved-from text is empty";  // NOLINT(bugprone-use-after-move)
      CompactString d(std::move(c));
      EXPECT_EQ(d.View(), from);
      d = std::string_view(to);
      EXPECT_EQ(d.View(), to);
      EXPECT_EQ(d == CompactString(to), true);
      EXPECT_EQ(d == CompactString(from), from == to);
    }
  }
}

// Assigning a part of the text itself: the old block must outlive the copy.
TEST(CompactString, TakesAPartOfItself) {
  CompactString s(std::string(40, 'a') + "tail");
  s = s.View().substr(10);
  EXPECT_EQ(s.View(), std::string(30, 'a') + "tail");
  s = s.View().substr(30);
  EXPECT_EQ(s.View(), "tail");
  CompactString same(s);
  same = same;  // NOLINT(clang-diagnostic-self-assign-overloaded)
  EXPECT_EQ(same.View(), "tail");
}

}  // namespace
}  // namespace plb::platform

#include "engine/views/name_order.h"

#include <gtest/gtest.h>

#include <string>

namespace plb {
namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

// Case is folded for ASCII and full-width Latin letters wherever the names first differ: at the
// start, after a shared prefix, inside or after multi-byte characters; equal folded names fall
// back to their bytes.
TEST(CompareNames, FoldsCaseWhereverTheNamesDiffer) {
  struct Case {
    std::string a, b;
    int order;
  };
  const Case cases[] = {
      {"", "", 0},
      {"", "a", -1},
      {"IMG_0001.JPG", "IMG_0001.JPG", 0},
      {"IMG_0001.JPG", "IMG_0002.JPG", -1},
      {"IMG_0001.JPG", "IMG_0001.JPGX", -1},
      {"img_0001.jpg", "IMG_0001.JPG", 1},  // equal folded: bytes decide ('i' > 'I')
      {"IMG_a.JPG", "IMG_B.JPG", -1},       // 'a' < 'b' once folded, though 'a' > 'B' as bytes
      {"IMG_Z", "IMG_a", 1},
      {"IMG_[", "IMG_a", -1},    // '[' sits between 'Z' and 'a' as bytes
      {"写真Ａ", "写真ｂ", -1},  // full-width capital after shared multi-byte characters
      {"写真Ｃ", "写真ｂ", 1},
      {"x写真Ａ.jpg", "x写真ａ.jpg", -1},  // equal folded: bytes decide (EF BC < EF BD)
      {"aＡ", "aａ", -1},
      {"Ａb", "ａC", -1},
      {"\xC3\xA9", "\xC3\xA8", 1},  // other bytes compare unsigned
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.order) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareNames(c.b, c.a)), -c.order) << c.b << " vs " << c.a;
  }
  EXPECT_EQ(FoldCase("IMG_Ａb.JPG"), "img_ａb.jpg");
}

}  // namespace
}  // namespace plb

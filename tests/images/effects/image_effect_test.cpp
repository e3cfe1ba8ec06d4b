// The colour adjustment and the effect filters on pictures small enough to work out by hand.
#include "images/effects/image_effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "images/image_fixtures.h"

namespace plb {
namespace {

using test::Grey;

// (R, G, B) of a pixel.
std::vector<int> Rgb(const Bitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = b.Pixel(x, y);
  return {p[2], p[1], p[0]};
}

Bitmap OnePixel(int r, int g, int b) {
  return test::Solid(1, 1, uint8_t(b), uint8_t(g), uint8_t(r));
}

TEST(ColourAdjustment, TablesForEachSetting) {
  struct Case {
    int red, green, gamma, contrast, brightness, blue;
    std::vector<int> in, out;
  };
  const Case cases[] = {
      {0, 0, 100, 0, 0, 0, {100, 64, 250}, {100, 64, 250}},  // neutral
      {0, 0, 200, 0, 0, 0, {64, 64, 0}, {127, 127, 0}},      // gamma 200: 64 -> 127
      {0, 0, 50, 0, 0, 0, {128, 255, 1}, {64, 255, 0}},
      {0, 0, 100, 0, 10, 0, {100, 240, 0}, {125, 255, 25}},  // brightness 10 adds trunc(25.5)
      {0, 0, 100, 0, -100, 0, {255, 100, 0}, {0, 0, 0}},
      {0, 0, 100, 100, 0, 0, {100, 200, 60}, {73, 255, 0}},  // contrast doubles the distance from 127
      {0, 0, 100, -30, 0, 0, {0, 127, 255}, {38, 127, 217}},
      {50, 0, 100, 0, 0, 0, {100, 100, 100}, {150, 100, 100}},
      {0, -50, 100, 0, 0, 100, {100, 100, 100}, {100, 50, 200}},
      {0, 0, 0, 0, 0, 0, {100, 255, 1}, {0, 0, 0}},      // gamma 0: every value 0
      {0, 0, -50, 0, 0, 0, {100, 255, 1}, {0, 0, 0}},    // a damaged negative gamma acts as 0
      {0, 0, 1, 0, 0, 0, {254, 255, 1}, {172, 255, 0}},  // 255 * (254 / 255)^100
  };
  for (const Case& c : cases) {
    Bitmap b = OnePixel(c.in[0], c.in[1], c.in[2]);
    ApplyColourAdjustment(b, c.red, c.green, c.gamma, c.contrast, c.brightness, c.blue);
    EXPECT_EQ(Rgb(b, 0, 0), c.out) << "gamma " << c.gamma << " contrast " << c.contrast << " brightness "
                                   << c.brightness;
  }
}

TEST(ItemEffect, EnabledFlagAndOrderOfSteps) {
  const Bitmap photo = test::PhotoLike(9, 7);
  TColorAdjustment neutral;
  neutral.enabled = 1;
  Bitmap b = photo;
  ApplyItemEffect(b, neutral);
  EXPECT_TRUE(b.SamePixels(photo));

  TColorAdjustment off;
  off.meido = 50;
  off.filter1 = efInvert;
  b = photo;
  ApplyItemEffect(b, off);
  EXPECT_TRUE(b.SamePixels(photo));

  // The adjustment comes first: 100 + 25 = 125, then inverted to 130.
  TColorAdjustment a;
  a.enabled = 1;
  a.meido = 10;
  a.filter1 = efInvert;
  a.filter3 = efSwapRedBlue;
  b = OnePixel(100, 100, 0);
  ApplyItemEffect(b, a);
  EXPECT_EQ(Rgb(b, 0, 0), (std::vector<int>{230, 130, 130}));
}

TEST(EffectFilter, ColourConversions) {
  const std::map<int, std::vector<int>> expected = {{efGrayscale, {124, 124, 124}},
                                                    {efSepia, {148, 124, 98}},
                                                    {efInvert, {55, 155, 205}},
                                                    {efRotateChannels, {50, 200, 100}},
                                                    {efSwapRedGreen, {100, 200, 50}},
                                                    {efSwapGreenBlue, {200, 50, 100}},
                                                    {efSwapRedBlue, {50, 100, 200}},
                                                    {efNone, {200, 100, 50}},
                                                    {41, {200, 100, 50}},
                                                    {255, {200, 100, 50}}};
  for (const auto& [code, rgb] : expected) {
    Bitmap b = OnePixel(200, 100, 50);
    ApplyEffectFilter(b, code);
    EXPECT_EQ(Rgb(b, 0, 0), rgb) << "code " << code;
  }
  Bitmap twice = test::PhotoLike(11, 5);
  ApplyEffectFilter(twice, efInvert);
  ApplyEffectFilter(twice, efInvert);
  EXPECT_TRUE(twice.SamePixels(test::PhotoLike(11, 5)));
}

TEST(EffectFilter, NeighbourhoodFiltersOnTheCentreOfAThreeByThree) {
  struct Case {
    int code, centre, expected;
  };
  const Case cases[] = {
      {efSharpWeak, 60, 65},     {efSharpMedium, 60, 70},   {efSharpStrong, 60, 80},    {efSharpStrong, 30, 0},
      {efSoft, 60, 52},          {efSimpleLowPass, 60, 52}, {efMean, 60, 51},           {efMaximum, 60, 90},
      {efMinimum, 60, 10},       {efMedian, 60, 60},        {efEmboss1, 60, 208},       {efEmboss2, 60, 255},
      {efLaplacian4, 60, 0},     {efLaplacian4, 30, 80},    {efLaplacian8, 30, 160},    {efSobel, 60, 253},
      {efSketch, 60, 2},         {efIllustration1, 60, 0},  {efIllustration1, 200, 98}, {efPencil, 60, 255},
      {efIllustration2, 60, 64},
  };
  for (const Case& c : cases) {
    Bitmap b = Grey({{10, 20, 30}, {40, c.centre, 60}, {70, 80, 90}});
    ApplyEffectFilter(b, c.code);
    EXPECT_EQ(Rgb(b, 1, 1), (std::vector<int>{c.expected, c.expected, c.expected}))
        << "code " << c.code << " centre " << c.centre;
  }
}

TEST(EffectFilter, MaximumSpreadsAWhitePixelAndMinimumRemovesIt) {
  Bitmap b = Grey({{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 255, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  ApplyEffectFilter(b, efMaximum);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(b.Pixel(x, y)[0], (x >= 1 && x <= 3 && y >= 1 && y <= 3) ? 255 : 0) << x << "," << y;
  Bitmap one = Grey({{0, 0, 0}, {0, 255, 0}, {0, 0, 0}});
  ApplyEffectFilter(one, efMinimum);
  EXPECT_TRUE(one.SamePixels(Grey({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}})));
}

TEST(EffectFilter, OnePixelIsItsOwnNeighbourhood) {
  const std::map<int, int> expected = {{efSharpWeak, 100}, {efSharpMedium, 100}, {efSharpStrong, 100}, {efSoft, 100},
                                       {efMean, 99},       {efMaximum, 100},     {efMedian, 100},      {efEmboss1, 128},
                                       {efEmboss2, 128},   {efLaplacian4, 0},    {efLaplacian8, 0},    {efSobel, 0},
                                       {efSmooth, 100},    {efSoft2, 100},       {efNoiseStrong, 100}};
  for (int code = 1; code < kEffectFilterCount; ++code) {
    Bitmap b = OnePixel(100, 100, 100);
    ApplyEffectFilter(b, code);
    if (expected.count(code)) {
      EXPECT_EQ(b.Pixel(0, 0)[0], expected.at(code)) << "code " << code;
    }
  }
}

TEST(EffectFilter, LargerKernelsWorkInPlace) {
  // Each pixel sees the ones before it already changed.
  Bitmap smooth = Grey({{0, 0, 0, 0}, {0, 36, 0, 0}, {0, 0, 0, 0}});
  ApplyEffectFilter(smooth, efSmooth);
  EXPECT_EQ(smooth.Pixel(1, 1)[0], 16);
  EXPECT_EQ(smooth.Pixel(2, 1)[0], 1);  // 4 * 16 / 36, not 4 * 36 / 36

  Bitmap soft = Grey({{0, 0, 0, 0, 0}, {0, 253, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
  ApplyEffectFilter(soft, efSoft2);
  EXPECT_EQ(soft.Pixel(1, 1)[0], 50);
  EXPECT_EQ(soft.Pixel(2, 1)[0], 6);
  EXPECT_EQ(soft.Pixel(3, 1)[0], 0);  // the border the kernel does not fit stays
}

TEST(EffectFilter, NoiseRemovalOnlyWhereTheSurroundIsCalm) {
  // A calm grey field with one speck is smoothed; the edge between two fields is kept.
  std::vector<std::vector<int>> rows(7, std::vector<int>(7, 100));
  rows[3][3] = 108;
  Bitmap calm = Grey(rows);
  ApplyEffectFilter(calm, efNoiseWeak);
  EXPECT_EQ(calm.Pixel(3, 3)[0], (108 * 8 + 100 * 88) / 96);

  Bitmap edge = Grey({{0, 0, 0, 200, 200, 200}, {0, 0, 0, 200, 200, 200}, {0, 0, 0, 200, 200, 200}});
  const Bitmap before = edge;
  ApplyEffectFilter(edge, efNoiseStrong);
  EXPECT_EQ(edge.Pixel(2, 1)[0], before.Pixel(2, 1)[0]);
  EXPECT_EQ(edge.Pixel(3, 1)[0], before.Pixel(3, 1)[0]);
}

TEST(EffectFilter, BevelOnANarrowPictureChangesEachPixelOnce) {
  for (int code : {efBevelThin, efBevelMedium, efBevelThick, efBevelHeavy}) {
    const int n = code == efBevelThin ? 2 : code == efBevelMedium ? 4 : code == efBevelThick ? 6 : 10;
    const int32_t w = 7, h = 5;
    Bitmap b = test::Solid(w, h, 100, 100, 100);
    ApplyEffectFilter(b, code);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const bool light = (y < n && x + y < w) || (x < n && x + y < h);
        const bool dark = !light && (y > h - n - 1 || x > w - n - 1);
        EXPECT_EQ(b.Pixel(x, y)[0], light ? 164 : dark ? 36 : 100) << code << " at " << x << "," << y;
      }
  }
}

TEST(EffectFilter, HistogramCorrections) {
  // 200 pixels: the left half grey 50, the right half grey 150. The 0.5 % and 99.5 % points are
  // counts 1 and 199, so codes 33-35 stretch 49..149 to 0..255.
  std::vector<int> row(100, 50);
  std::fill(row.begin() + 50, row.end(), 150);
  const Bitmap halves = Grey({row, row});
  struct Case {
    int code;
    int low, high;  // what 50 and 150 become
  };
  const Case cases[] = {{efEqualize1, 127, 255},
                        {efEqualize3, 127, 255},
                        {efContrast1, 3, 255},
                        {efContrast2, 3, 255},
                        {efContrast3, 1, 255}};
  for (const Case& c : cases) {
    Bitmap b = halves;
    ApplyEffectFilter(b, c.code);
    EXPECT_EQ(b.Pixel(0, 0)[0], c.low) << "code " << c.code;
    EXPECT_EQ(b.Pixel(99, 1)[2], c.high) << "code " << c.code;
  }

  Bitmap colour = test::Solid(2, 1, 0, 0, 0);
  colour.Pixel(0, 0)[0] = 50, colour.Pixel(0, 0)[1] = 100, colour.Pixel(0, 0)[2] = 200;
  ApplyEffectFilter(colour, efEqualize2);
  EXPECT_EQ(Rgb(colour, 0, 0), (std::vector<int>{203, 103, 53}));
  EXPECT_EQ(Rgb(colour, 1, 0), (std::vector<int>{0, 0, 0}));

  // A channel that is 0 everywhere cannot be stretched by code 32: it stays 0.
  Bitmap noBlue = halves;
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 100; ++x) noBlue.Pixel(x, y)[0] = 0;
  ApplyEffectFilter(noBlue, efEqualize3);
  EXPECT_EQ(Rgb(noBlue, 0, 0), (std::vector<int>{127, 127, 0}));
  EXPECT_EQ(Rgb(noBlue, 99, 1), (std::vector<int>{255, 255, 0}));

  // Code 34 needs all three channels spread; a flat blue channel stops it, not code 33.
  Bitmap flatBlue = halves;
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 100; ++x) flatBlue.Pixel(x, y)[0] = 80;
  Bitmap b = flatBlue;
  ApplyEffectFilter(b, efContrast2);
  EXPECT_TRUE(b.SamePixels(flatBlue));
  ApplyEffectFilter(b, efContrast1);
  EXPECT_FALSE(b.SamePixels(flatBlue));

  Bitmap empty;
  for (int code = efEqualize1; code <= efContrast3; ++code) EXPECT_NO_THROW(ApplyEffectFilter(empty, code));
}

TEST(EffectFilter, ProgressAndNames) {
  std::vector<int> seen;
  Bitmap b = test::PhotoLike(20, 300);
  ApplyEffectFilter(b, efMedian, [&](int p) { seen.push_back(p); });
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);

  const std::pair<int, const char*> names[] = {
      {0, "無し"},          {4, "Ｒ→Ｇ→Ｂ"},   {18, "ﾗﾌﾟﾗｼｱﾝ (4)"}, {23, "ボタン風（細枠）"},
      {30, "ﾋｽﾄｸﾞﾗﾑ均等1"}, {40, "イラスト2"}, {41, "Unknown"},     {-1, "Unknown"}};
  for (const auto& [code, name] : names) EXPECT_EQ(EffectFilterName(code), name) << code;
}

}  // namespace
}  // namespace plb

// Fitting, the resampling methods 0-7, cropping and orientation, on small synthetic pictures
// where the right answer is known.
#include "images/scale/resize.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "images/image_fixtures.h"
#include "images/exif/exif_scanner.h"
#include "images/scale/orientation.h"

namespace plb {
namespace {

using test::Grey;
using test::Solid;

// The values of channel 0 of a bitmap, row by row.
std::vector<std::vector<int>> Values(const Bitmap& b) {
  std::vector<std::vector<int>> rows(static_cast<size_t>(b.Height()));
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) rows[static_cast<size_t>(y)].push_back(b.Pixel(x, y)[0]);
  return rows;
}

Bitmap Resized(const Bitmap& source, int32_t w, int32_t h, int method) {
  Bitmap out(w, h);
  ResizeBitmap(source, out, method);
  return out;
}

TEST(Fit, InsideAndCover) {
  struct Case {
    bool cover;
    int32_t maxW, maxH, w, h;
    TSize expected;
  };
  const Case cases[] = {
      {false, 160, 160, 3000, 4000, {120, 160}},
      {false, 160, 160, 4000, 3000, {160, 120}},
      {false, 0, 160, 4000, 3000, {213, 160}},  // by height only
      {false, 160, 0, 4000, 3000, {160, 120}},  // by width when the height is 0
      {false, 1, 1, 10000, 1, {1, 1}},          // a 0 side becomes 1
      {false, 100, 100, 10, 5, {100, 50}},      // fitting also enlarges; callers decide
      {false, 160, 160, 0, 0, {160, 160}},      // an empty picture gives the box, not a NaN
      {false, 0, 0, 0, 10, {1, 1}},
      {true, 100, 100, 400, 200, {200, 100}},
      {true, 100, 100, 200, 400, {100, 200}},
      {true, 100, 50, 0, 0, {100, 50}},
  };
  for (const Case& c : cases) {
    const TSize got = c.cover ? FitCover(c.maxW, c.maxH, c.w, c.h) : FitInside(c.maxW, c.maxH, c.w, c.h);
    EXPECT_EQ(got, c.expected) << (c.cover ? "cover " : "inside ") << c.maxW << "x" << c.maxH << " " << c.w << "x"
                               << c.h;
  }
}

TEST(ResizeMethods, KnownAnswersOnARow) {
  const Bitmap row4 = Grey({{0, 100, 200, 40}});
  const Bitmap row5 = Grey({{0, 30, 60, 90, 120}});
  struct Case {
    const Bitmap* source;
    int32_t width;
    int method;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {&row4, 2, rmNearest, {0, 200}},
      {&row4, 2, rmAuto, {50, 120}},      // shrinking by 2: block average of [0,1] and [2,3]
      {&row5, 3, rmAuto, {0, 39, 79}},    // shrinking by less than 2: bilinear, 8-bit fractions
      {&row4, 2, rmArea, {79, 116}},      // coverage weights 1, 1, 1/2 and 1/2, 1, 1
      {&row4, 2, rmTriangle, {71, 117}},  // weights 3/4, 3/4, 1/4 from the stretched triangle
      {&row4, 8, rmNearest, {0, 0, 100, 100, 200, 200, 40, 40}},
  };
  for (const Case& c : cases) {
    const Bitmap out = Resized(*c.source, c.width, 1, c.method);
    EXPECT_EQ(Values(out), std::vector<std::vector<int>>{c.expected}) << "method " << c.method;
  }
}

// The filter resampler computed the plain way: every kernel value looked up as the table holds
// it, weights normalised to 14 bits with the remainder on the centre tap, rows filtered into a
// full intermediate picture, then columns.
struct Weights {
  int32_t first;
  std::vector<int32_t> w;
};

double Kernel(int filter, double x) {
  auto sinc = [](double v) { return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v); };
  switch (filter) {
    case fiTriangle:
      return 1 - x;
    case fiSinc:
      return sinc(x);
    case fiHermiteLike: {
      const double t = (x + 1) / 3;
      return 3 * t * (1 - t) * (1 - t);
    }
    case fiBSpline:
      return x < 1 ? x * x * x / 2 - x * x + 2.0 / 3 : (2 - x) * (2 - x) * (2 - x) / 6;
    default:
      return sinc(x) * sinc(x / 3);
  }
}

int Support(int filter) {
  return filter == fiArea || filter == fiTriangle ? 1 : filter == fiLanczos3 || filter == fiLanczos3Alt ? 3 : 2;
}

std::vector<Weights> ReferenceAxis(int32_t s, int32_t d, int filter) {
  const float c = float(s) / float(d);
  const double e = c >= 1 ? 1.0 / c : 1.0, g = c >= 1 ? double(c) * Support(filter) : Support(filter);
  std::vector<Weights> axis;
  for (int32_t i = 0; i < d; ++i) {
    const double t = (double(c) * (2.0 * i + 1) - 1) / 2;
    const int32_t lo = std::max(0, int32_t(std::ceil(t - g))), hi = std::min(s - 1, int32_t(std::floor(t + g)));
    std::vector<double> w;
    for (int32_t j = lo; j <= hi; ++j) {
      if (filter == fiArea) {
        double v = 1;
        if (j == lo && std::ceil(t - g) >= 0) v = 1 - (t - g - std::floor(t - g));
        if (j == hi && std::floor(t + g) <= s - 1) v = t + g - std::floor(t + g);
        w.push_back(v);
      } else {
        const int index = int(std::abs(e * (t - j)) * 256 + 0.5);
        w.push_back(index < Support(filter) * 256 ? double(float(Kernel(filter, index / 256.0))) : 0.0);
      }
    }
    double sum = 0;
    for (double v : w) sum += v;
    Weights out{lo, {}};
    int32_t total = 0;
    for (double v : w) total += out.w.emplace_back(int32_t(v / sum * 16384));
    out.w[size_t(std::clamp(int32_t(t), lo, hi) - lo)] += 16384 - total;
    axis.push_back(out);
  }
  return axis;
}

Bitmap ReferenceResample(const Bitmap& src, int32_t dw, int32_t dh, int filter) {
  const auto xs = ReferenceAxis(src.Width(), dw, filter), ys = ReferenceAxis(src.Height(), dh, filter);
  Bitmap rows(dw, src.Height()), out(dw, dh);
  for (int32_t y = 0; y < src.Height(); ++y)
    for (int32_t x = 0; x < dw; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        int64_t sum = 0;
        for (size_t k = 0; k < xs[size_t(x)].w.size(); ++k)
          sum += int64_t{xs[size_t(x)].w[k]} * src.Pixel(xs[size_t(x)].first + int32_t(k), y)[ch];
        rows.Pixel(x, y)[ch] = ClampByte(sum / 16384);
      }
  for (int32_t y = 0; y < dh; ++y)
    for (int32_t x = 0; x < dw; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        int64_t sum = 0;
        for (size_t k = 0; k < ys[size_t(y)].w.size(); ++k)
          sum += int64_t{ys[size_t(y)].w[k]} * rows.Pixel(x, ys[size_t(y)].first + int32_t(k))[ch];
        out.Pixel(x, y)[ch] = ClampByte(sum / 16384);
      }
  return out;
}

TEST(ResizeMethods, FilterMethodsMatchThePlainComputation) {
  const Bitmap source = test::PhotoLike(97, 61);
  const TSize sizes[] = {{31, 20}, {48, 30}, {97, 61}, {150, 90}, {12, 61}, {5, 3}, {1, 1}};
  for (int method = rmArea; method <= rmBSpline; ++method) {
    for (const TSize& size : sizes) {
      const Bitmap got = Resized(source, size.cx, size.cy, method);
      const Bitmap want = ReferenceResample(source, size.cx, size.cy, FilterIndexOfMethod(method));
      EXPECT_TRUE(got.SamePixels(want)) << "method " << method << " to " << size.cx << "x" << size.cy;
    }
  }
}

TEST(ResizeMethods, EveryMethodKeepsAFlatPictureFlatAndTriangleAndSincKeepTheSize) {
  const Bitmap flat = Solid(37, 23, 17, 128, 255);
  const TSize sizes[] = {{10, 7}, {80, 50}, {37, 23}, {1, 23}, {200, 3}, {3, 200}};
  for (int method = rmNearest; method <= rmBSpline; ++method)
    for (const TSize& size : sizes)
      EXPECT_TRUE(Resized(flat, size.cx, size.cy, method).SamePixels(Solid(size.cx, size.cy, 17, 128, 255)))
          << "method " << method << " to " << size.cx << "x" << size.cy;

  const Bitmap photo = test::PhotoLike(40, 30);
  for (int method : {rmNearest, rmTriangle, rmSinc, rmLanczos3})
    EXPECT_TRUE(Resized(photo, 40, 30, method).SamePixels(photo)) << "method " << method;
}

TEST(ResizeMethods, BlockAverageOfExtremeRatiosNeitherOverflowsNorDividesByZero) {
  // Blocks just under the pre-pass limit hold more than 255 pixels; a pre-pass four times the
  // target can exceed the source on one axis.
  const TSize cases[][2] = {{{169, 16}, {10, 1}},   {{600, 600}, {35, 35}}, {{20000, 3}, {160, 1}},
                            {{3, 20000}, {1, 160}}, {{4080, 16}, {255, 1}}, {{300, 2}, {100, 3}}};
  for (const auto& c : cases) {
    const Bitmap white = Solid(c[0].cx, c[0].cy, 255, 255, 255);
    EXPECT_TRUE(Resized(white, c[1].cx, c[1].cy, rmAuto).SamePixels(Solid(c[1].cx, c[1].cy, 255, 255, 255)))
        << c[0].cx << "x" << c[0].cy << " to " << c[1].cx << "x" << c[1].cy;
  }
}

TEST(ResizeMethods, BilinearEnlargingOddSizesStaysInsideTheSource) {
  const Bitmap source = test::PhotoLike(3, 2);
  for (const TSize size : {TSize{7, 5}, TSize{255, 3}, TSize{4, 1000}}) {
    const Bitmap out = Resized(source, size.cx, size.cy, rmAuto);
    EXPECT_EQ(out.Width(), size.cx);
  }
}

TEST(ResizeMethods, ZeroSizesAbort) {
  Bitmap empty, target(4, 4);
  EXPECT_THROW(ResizeBitmap(empty, target, rmSinc), EAbort);
  Bitmap picture = Solid(4, 4, 1, 2, 3);
  EXPECT_THROW(ResizeBitmapTo(picture, 0, 3), EAbort);
  EXPECT_THROW(ResizeBitmapTo(empty, 3, 3), EAbort);
}

TEST(ResizeMethods, ProgressRunsFromZeroToHundredOncePerStep) {
  std::vector<int> seen;
  Bitmap out(30, 250);
  FilterResample(test::PhotoLike(60, 500), out, fiSinc, [&](int p) { seen.push_back(p); });
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 100);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
}

TEST(ResizeTo, OneMatchingSideLeavesTheBitmapAndCoverCutsEvenly) {
  Bitmap same = test::PhotoLike(40, 30);
  const Bitmap before = same;
  ResizeBitmapTo(same, 40, 10);
  EXPECT_TRUE(same.SamePixels(before));

  // Columns numbered by value: covering 100x100 from 400x200 scales to 200x100 and keeps the
  // middle 100 columns.
  Bitmap wide(400, 200);
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 400; ++x) wide.Pixel(x, y)[0] = static_cast<uint8_t>(x / 2 / 2);
  ResizeToCover(wide, 100, 100, nullptr, rmNearest);
  ASSERT_EQ(wide.Width(), 100);
  ASSERT_EQ(wide.Height(), 100);
  EXPECT_EQ(wide.Pixel(0, 50)[0], 25);
  EXPECT_EQ(wide.Pixel(99, 50)[0], 74);
}

TEST(Crop, RectangleAndMarginsClipToTheBitmap) {
  const Bitmap source = Grey({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
  Bitmap b = source;
  CropBitmap(b, {1, 1, 3, 3});
  EXPECT_EQ(Values(b), (std::vector<std::vector<int>>{{6, 7}, {10, 11}}));
  b = source;
  CropBitmap(b, {-5, 2, 99, 99});
  EXPECT_EQ(Values(b), (std::vector<std::vector<int>>{{9, 10, 11, 12}}));
  b = source;
  CropMargins(b, 1, 2, 0, 1);
  EXPECT_EQ(Values(b), (std::vector<std::vector<int>>{{2}, {6}}));
}

TEST(CopyRect, ResamplesIntoARectangleAndNamesABadOne) {
  const Bitmap source = Solid(10, 10, 200, 200, 200);
  Bitmap target = Solid(20, 20, 0, 0, 0);
  CopyRectBmpEx(source, {0, 0, 10, 10}, target, fiTriangle, {5, 5, 10, 15});
  EXPECT_EQ(target.Pixel(4, 10)[0], 0);
  EXPECT_EQ(target.Pixel(5, 5)[0], 200);
  EXPECT_EQ(target.Pixel(9, 14)[0], 200);
  EXPECT_EQ(target.Pixel(10, 14)[0], 0);

  struct Case {
    TRect s, d;
    const char* message;
  };
  const Case cases[] = {
      {{5, 0, 2, 10}, {0, 0, 5, 5}, "EInvalidArgument raised in CopyRectBmpEx. (SRect)"},
      {{0, 0, 11, 10}, {0, 0, 5, 5}, "EInvalidArgument raised in CopyRectBmpEx. (SRect)"},
      {{0, 0, 10, 10}, {15, 15, 25, 25}, "EInvalidArgument raised in CopyRectBmpEx. (DRect)"},
  };
  for (const Case& c : cases) {
    try {
      CopyRectBmpEx(source, c.s, target, fiTriangle, c.d);
      ADD_FAILURE() << c.message;
    } catch (const EResizeError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(Orientation, EveryExifOrientationAndTheViewerRotation) {
  // Pixel value 10 * row + column.
  const Bitmap source = Grey({{0, 1, 2}, {10, 11, 12}});
  using Rows = std::vector<std::vector<int>>;
  const Rows expected[9] = {
      {},
      {{0, 1, 2}, {10, 11, 12}},
      {{2, 1, 0}, {12, 11, 10}},
      {{12, 11, 10}, {2, 1, 0}},
      {{10, 11, 12}, {0, 1, 2}},
      {{0, 10}, {1, 11}, {2, 12}},
      {{10, 0}, {11, 1}, {12, 2}},
      {{12, 2}, {11, 1}, {10, 0}},
      {{2, 12}, {1, 11}, {0, 10}},
  };
  for (int o = 1; o <= 8; ++o) {
    Bitmap b = source;
    ApplyOrientation(b, o);
    EXPECT_EQ(Values(b), expected[o]) << "orientation " << o;
  }
  Bitmap unknown = source;
  ApplyOrientation(unknown, 9);
  EXPECT_EQ(Values(unknown), expected[1]);

  struct Case {
    int rotation;
    bool flipV, flipH;
    int sameAsOrientation;
  };
  const Case rotations[] = {{rtNone, false, false, 1},     {rtClockwise, false, false, 6},
                            {rtHalfTurn, false, false, 3}, {rtCounterClockwise, false, false, 8},
                            {rtClockwise, true, false, 7}, {rtNone, true, true, 3},
                            {rtNone, false, true, 2},      {rtCounterClockwise, true, false, 5}};
  for (const Case& c : rotations) {
    Bitmap b = source;
    ApplyRotation(c.rotation, c.flipV, c.flipH, b);
    EXPECT_EQ(Values(b), expected[c.sameAsOrientation]) << c.rotation << c.flipV << c.flipH;
  }
}

}  // namespace
}  // namespace plb

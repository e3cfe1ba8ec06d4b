#include "images/scale/resize.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "images/exif/exif_scanner.h"
#include "images/scale/progress_steps.h"
#include "images/scale/real_convert.h"

namespace plb {
namespace {

int32_t AtLeastOne(int32_t v) {
  return v < 1 ? 1 : v;
}

void RequireSizes(const Bitmap& source, const Bitmap& destination) {
  if (source.Empty() || destination.Empty()) throw EAbort("Operation aborted");
}

// Source index of each destination index for nearest-neighbour sampling.
std::vector<int32_t> NearestIndices(int32_t sourceSize, int32_t destinationSize) {
  const float ratio = static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
  std::vector<int32_t> map(static_cast<size_t>(destinationSize));
  for (int32_t i = 0; i < destinationSize; ++i)
    map[static_cast<size_t>(i)] = std::min(sourceSize - 1, static_cast<int32_t>(static_cast<double>(i) * ratio));
  return map;
}

void ResizeNearest(const Bitmap& source, Bitmap& destination, const TProgressProc& progress) {
  const std::vector<int32_t> xs = NearestIndices(source.Width(), destination.Width());
  const std::vector<int32_t> ys = NearestIndices(source.Height(), destination.Height());
  ProgressSteps steps(progress, destination.Height());
  for (int32_t y = 0; y < destination.Height(); ++y) {
    const uint8_t* s = source.Row(ys[static_cast<size_t>(y)]);
    uint8_t* d = destination.Row(y);
    for (int32_t x = 0; x < destination.Width(); ++x, d += 3) std::memcpy(d, s + xs[static_cast<size_t>(x)] * 3, 3);
    steps.Row(y);
  }
  steps.Done();
}

// Position and 8-bit fraction of each destination index for bilinear sampling; the second
// neighbour is clamped to the last index, on both axes.
struct LinearTap {
  int32_t first;
  int32_t second;
  int32_t fraction;
};

std::vector<LinearTap> LinearTaps(int32_t sourceSize, int32_t destinationSize) {
  const float ratio = static_cast<float>(sourceSize - 1) / static_cast<float>(destinationSize);
  std::vector<LinearTap> taps(static_cast<size_t>(destinationSize));
  for (int32_t i = 0; i < destinationSize; ++i) {
    const double p = static_cast<double>(i) * ratio;
    const int32_t whole = std::min(sourceSize - 1, static_cast<int32_t>(p));
    taps[static_cast<size_t>(i)] = {whole, std::min(whole + 1, sourceSize - 1),
                                    static_cast<int32_t>((p - std::trunc(p)) * 256)};
  }
  return taps;
}

void ResizeBilinear(const Bitmap& source, Bitmap& destination, const TProgressProc& progress) {
  const std::vector<LinearTap> xs = LinearTaps(source.Width(), destination.Width());
  const std::vector<LinearTap> ys = LinearTaps(source.Height(), destination.Height());
  ProgressSteps steps(progress, destination.Height());
  for (int32_t y = 0; y < destination.Height(); ++y) {
    const LinearTap& ty = ys[static_cast<size_t>(y)];
    const uint8_t* upper = source.Row(ty.first);
    const uint8_t* lower = source.Row(ty.second);
    uint8_t* d = destination.Row(y);
    for (int32_t x = 0; x < destination.Width(); ++x) {
      const LinearTap& tx = xs[static_cast<size_t>(x)];
      for (int c = 0; c < 3; ++c) {
        const int a = upper[tx.first * 3 + c], b = upper[tx.second * 3 + c];
        const int e = lower[tx.first * 3 + c], f = lower[tx.second * 3 + c];
        const int top = (a * (256 - tx.fraction) + b * tx.fraction) >> 8;
        const int bottom = (e * (256 - tx.fraction) + f * tx.fraction) >> 8;
        *d++ = static_cast<uint8_t>((top * (256 - ty.fraction) + bottom * ty.fraction) >> 8);
      }
    }
    steps.Row(y);
  }
  steps.Done();
}

// Inclusive source range of each destination index: block k ends at trunc((k+1)(S-1)/D) and
// begins after the previous block; a block that would be empty takes its end pixel, so no block
// is ever empty whatever the two sizes are.
std::vector<std::pair<int32_t, int32_t>> Blocks(int32_t sourceSize, int32_t destinationSize) {
  std::vector<std::pair<int32_t, int32_t>> blocks(static_cast<size_t>(destinationSize));
  int32_t start = 0;
  for (int32_t k = 0; k < destinationSize; ++k) {
    const int32_t end = static_cast<int32_t>((static_cast<int64_t>(k) + 1) * (sourceSize - 1) / destinationSize);
    blocks[static_cast<size_t>(k)] = {std::min(start, end), end};
    start = end + 1;
  }
  return blocks;
}

void BlockAverageOnce(const Bitmap& source, Bitmap& destination, const TProgressProc& progress) {
  const auto xs = Blocks(source.Width(), destination.Width());
  const auto ys = Blocks(source.Height(), destination.Height());
  std::vector<uint32_t> sums(static_cast<size_t>(destination.Width()) * 3);
  ProgressSteps steps(progress, destination.Height());
  for (int32_t y = 0; y < destination.Height(); ++y) {
    const auto [y0, y1] = ys[static_cast<size_t>(y)];
    std::fill(sums.begin(), sums.end(), 0);
    for (int32_t sy = y0; sy <= y1; ++sy) {
      const uint8_t* s = source.Row(sy);
      for (int32_t x = 0; x < destination.Width(); ++x) {
        const auto [x0, x1] = xs[static_cast<size_t>(x)];
        uint32_t* sum = &sums[static_cast<size_t>(x) * 3];
        for (int32_t sx = x0; sx <= x1; ++sx) {
          sum[0] += s[sx * 3];
          sum[1] += s[sx * 3 + 1];
          sum[2] += s[sx * 3 + 2];
        }
      }
    }
    uint8_t* d = destination.Row(y);
    const uint32_t rows = static_cast<uint32_t>(y1 - y0 + 1);
    for (int32_t x = 0; x < destination.Width(); ++x) {
      const auto [x0, x1] = xs[static_cast<size_t>(x)];
      const uint32_t count = rows * static_cast<uint32_t>(x1 - x0 + 1);
      for (int c = 0; c < 3; ++c) *d++ = static_cast<uint8_t>(sums[static_cast<size_t>(x) * 3 + c] / count);
    }
    steps.Row(y);
  }
  steps.Done();
}

void ResizeBlockAverage(const Bitmap& source, Bitmap& destination, const TProgressProc& progress) {
  if (destination.Width() >= source.Width() && destination.Height() >= source.Height()) {
    ResizeNearest(source, destination, progress);
    return;
  }
  const float rw = static_cast<float>(source.Width()) / static_cast<float>(destination.Width());
  const float rh = static_cast<float>(source.Height()) / static_cast<float>(destination.Height());
  if (static_cast<double>(rw) * rh > 255) {
    // Large blocks go through an intermediate four times the target, never larger than the
    // source on either axis.
    const int64_t w4 = std::min<int64_t>(int64_t{destination.Width()} * 4, source.Width());
    const int64_t h4 = std::min<int64_t>(int64_t{destination.Height()} * 4, source.Height());
    Bitmap middle(static_cast<int32_t>(w4), static_cast<int32_t>(h4));
    BlockAverageOnce(source, middle, nullptr);
    BlockAverageOnce(middle, destination, progress);
    return;
  }
  BlockAverageOnce(source, destination, progress);
}

// A 24-bit view of a bitmap: the bitmap itself, or a converted copy.
const Bitmap& As24(const Bitmap& bitmap, Bitmap& copy) {
  if (bitmap.Channels() == 3) return bitmap;
  copy = bitmap;
  copy.MakeBgr24();
  return copy;
}

}  // namespace

TSize FitInside(int32_t maxWidth, int32_t maxHeight, int32_t width, int32_t height) {
  if (width < 1 || height < 1) return {AtLeastOne(maxWidth), AtLeastOne(maxHeight)};
  const float ry = static_cast<float>(maxHeight) / static_cast<float>(height);
  const float rx = static_cast<float>(maxWidth) / static_cast<float>(width);
  TSize size;
  if (maxWidth == 0 || (maxHeight != 0 && rx > ry)) {
    size = {TruncToInt(static_cast<double>(width) * ry + 0.5), maxHeight};
  } else {
    size = {maxWidth, TruncToInt(static_cast<double>(height) * rx + 0.5)};
  }
  return {AtLeastOne(size.cx), AtLeastOne(size.cy)};
}

TSize FitCover(int32_t targetWidth, int32_t targetHeight, int32_t width, int32_t height) {
  if (width < 1 || height < 1) return {AtLeastOne(targetWidth), AtLeastOne(targetHeight)};
  const float rx = static_cast<float>(targetWidth) / static_cast<float>(width);
  const float ry = static_cast<float>(targetHeight) / static_cast<float>(height);
  TSize size;
  if (rx >= ry) {
    size = {targetWidth, TruncToInt(static_cast<double>(rx) * height + 0.5)};
  } else {
    size = {TruncToInt(static_cast<double>(width) * ry + 0.5), targetHeight};
  }
  return {AtLeastOne(size.cx), AtLeastOne(size.cy)};
}

int FilterIndexOfMethod(int method) {
  switch (method) {
    case rmArea:
      return fiArea;
    case rmTriangle:
      return fiTriangle;
    case rmSinc:
      return fiSinc;
    case rmLanczos3:
      return fiLanczos3Alt;
    case rmHermiteLike:
      return fiHermiteLike;
    case rmBSpline:
      return fiBSpline;
    default:
      return -1;
  }
}

void ResizeBitmap(const Bitmap& source, Bitmap& destination, int method, const TProgressProc& progress) {
  RequireSizes(source, destination);
  const int filter = FilterIndexOfMethod(method);
  if (filter >= 0) {
    FilterResample(source, destination, filter, progress);
    return;
  }
  Bitmap copy;
  const Bitmap& s = As24(source, copy);
  destination.SetSize(destination.Width(), destination.Height(), 3);
  if (method == rmNearest) {
    ResizeNearest(s, destination, progress);
  } else if (static_cast<float>(s.Width()) / static_cast<float>(destination.Width()) >= 2) {
    ResizeBlockAverage(s, destination, progress);
  } else {
    ResizeBilinear(s, destination, progress);
  }
}

void ResizeBitmapTo(Bitmap& bitmap, int32_t width, int32_t height, const TProgressProc& progress, int method) {
  if (bitmap.Empty() || width < 1 || height < 1) throw EAbort("Operation aborted");
  // Callers pass sizes that keep the aspect ratio, so one matching side means the size is reached.
  if (bitmap.Width() == width || bitmap.Height() == height) return;
  Bitmap resized(width, height);
  ResizeBitmap(bitmap, resized, method, progress);
  bitmap.Swap(resized);
}

void ResizeToCover(Bitmap& bitmap, int32_t width, int32_t height, const TProgressProc& progress, int method) {
  if (bitmap.Empty() || width < 1 || height < 1) throw EAbort("Operation aborted");
  const TSize cover = FitCover(width, height, bitmap.Width(), bitmap.Height());
  ResizeBitmapTo(bitmap, cover.cx, cover.cy, progress, method);
  const int32_t left = TruncToInt((bitmap.Width() - width) / 2.0 + 0.5);
  const int32_t top = TruncToInt((bitmap.Height() - height) / 2.0 + 0.5);
  CropMargins(bitmap, left, bitmap.Width() - width - left, top, bitmap.Height() - height - top);
}

void CropBitmap(Bitmap& bitmap, const TRect& rect) {
  const int32_t left = std::clamp(rect.left, 0, bitmap.Width());
  const int32_t top = std::clamp(rect.top, 0, bitmap.Height());
  const int32_t right = std::clamp(rect.right, left, bitmap.Width());
  const int32_t bottom = std::clamp(rect.bottom, top, bitmap.Height());
  Bitmap copy;
  const Bitmap& s = As24(bitmap, copy);
  Bitmap out(right - left, bottom - top);
  for (int32_t y = 0; y < out.Height(); ++y)
    std::memcpy(out.Row(y), s.Pixel(left, top + y), static_cast<size_t>(out.Width()) * 3);
  bitmap.Swap(out);
}

void CropMargins(Bitmap& bitmap, int32_t left, int32_t right, int32_t top, int32_t bottom) {
  CropBitmap(bitmap, {std::max(left, 0), std::max(top, 0), bitmap.Width() - std::max(right, 0),
                      bitmap.Height() - std::max(bottom, 0)});
}

}  // namespace plb

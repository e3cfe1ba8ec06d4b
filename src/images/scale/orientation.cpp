#include "images/scale/orientation.h"

#include <algorithm>
#include <cstring>

namespace plb {
namespace {

void Swap3(uint8_t* a, uint8_t* b) {
  uint8_t t[3];
  std::memcpy(t, a, 3);
  std::memcpy(a, b, 3);
  std::memcpy(b, t, 3);
}

void FlipVertical(Bitmap& b) {
  const size_t bytes = static_cast<size_t>(b.Width()) * 3;
  for (int32_t y = 0, z = b.Height() - 1; y < z; ++y, --z) std::swap_ranges(b.Row(y), b.Row(y) + bytes, b.Row(z));
}

void MirrorHorizontal(Bitmap& b) {
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0, z = b.Width() - 1; x < z; ++x, --z) Swap3(b.Pixel(x, y), b.Pixel(z, y));
}

void HalfTurn(Bitmap& b) {
  FlipVertical(b);
  MirrorHorizontal(b);
}

// Destination (x, y) from source (y, H - 1 - x) for a clockwise quarter turn, from
// (W - 1 - y, x) for a counter-clockwise one.
void QuarterTurn(Bitmap& b, bool clockwise) {
  const int32_t w = b.Width(), h = b.Height();
  Bitmap out(h, w);
  for (int32_t y = 0; y < w; ++y) {
    uint8_t* d = out.Row(y);
    for (int32_t x = 0; x < h; ++x, d += 3)
      std::memcpy(d, clockwise ? b.Pixel(y, h - 1 - x) : b.Pixel(w - 1 - y, x), 3);
  }
  b.Swap(out);
}

}  // namespace

void ApplyOrientation(Bitmap& bitmap, int orientation) {
  bitmap.MakeBgr24();
  if (bitmap.Empty()) return;
  switch (orientation) {
    case 2:
      MirrorHorizontal(bitmap);
      break;
    case 3:
      HalfTurn(bitmap);
      break;
    case 4:
      FlipVertical(bitmap);
      break;
    case 5:
      QuarterTurn(bitmap, false);
      FlipVertical(bitmap);
      break;
    case 6:
      QuarterTurn(bitmap, true);
      break;
    case 7:
      QuarterTurn(bitmap, true);
      FlipVertical(bitmap);
      break;
    case 8:
      QuarterTurn(bitmap, false);
      break;
    default:
      break;
  }
}

void ApplyRotation(int rotation, bool flipVertical, bool flipHorizontal, Bitmap& bitmap) {
  bitmap.MakeBgr24();
  if (bitmap.Empty()) return;
  switch (rotation) {
    case rtClockwise:
      QuarterTurn(bitmap, true);
      break;
    case rtHalfTurn:
      HalfTurn(bitmap);
      break;
    case rtCounterClockwise:
      QuarterTurn(bitmap, false);
      break;
    default:
      break;
  }
  if (flipVertical) FlipVertical(bitmap);
  if (flipHorizontal) MirrorHorizontal(bitmap);
}

}  // namespace plb

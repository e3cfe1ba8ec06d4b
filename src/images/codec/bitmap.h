#pragma once
// The in-memory raster every image consumer shares: 24-bit pixels stored B, G, R (32-bit B, G, R,
// A where a decoder yields alpha), rows top-down, each row padded to a multiple of four bytes like
// a device-independent bitmap, so the shell can wrap the pixels for drawing without a copy.
#include <cstdint>
#include <vector>

#include "platform/error.h"

namespace plb {

// Pixel-format codes as the catalog stores them.
enum TPixelFormatCode : int32_t {
  pfDevice = 0,
  pf1Bit = 1,
  pf4Bit = 2,
  pf8Bit = 3,
  pf15Bit = 4,
  pf16Bit = 5,
  pf24Bit = 6,
  pf32Bit = 7,
  pfCustom = 8,
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  bool operator==(const TSize&) const = default;
};

// Left, top inclusive; right, bottom exclusive.
struct TRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const TRect&) const = default;
};

class Bitmap {
 public:
  // Larger bitmaps are refused with ERangeError before anything is allocated: sizes come from
  // files, and a damaged header must not take the machine's memory.
  static constexpr uint64_t kMaxBytes = uint64_t{2} << 30;

  Bitmap() = default;
  Bitmap(int32_t width, int32_t height, int channels = 3) { SetSize(width, height, channels); }

  // New size and depth (3 or 4 bytes per pixel), every byte 0; a side below 1 gives an empty
  // bitmap.
  void SetSize(int32_t width, int32_t height, int channels = 3);
  void Clear() { SetSize(0, 0, channels_); }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int Channels() const { return channels_; }
  int64_t Stride() const { return stride_; }
  bool Empty() const { return width_ < 1 || height_ < 1; }
  // pf24Bit or pf32Bit.
  int32_t PixelFormat() const { return channels_ == 4 ? pf32Bit : pf24Bit; }

  uint8_t* Row(int32_t y) { return pixels_.data() + y * stride_; }
  const uint8_t* Row(int32_t y) const { return pixels_.data() + y * stride_; }
  uint8_t* Pixel(int32_t x, int32_t y) { return Row(y) + x * channels_; }
  const uint8_t* Pixel(int32_t x, int32_t y) const { return Row(y) + x * channels_; }

  // Drops the alpha byte of a 32-bit bitmap; a 24-bit one is left as it is.
  void MakeBgr24();
  void Fill(uint8_t b, uint8_t g, uint8_t r);

  void Swap(Bitmap& other) noexcept;
  // Pixel-for-pixel equality of size, depth and every pixel (padding ignored).
  bool SamePixels(const Bitmap& other) const;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int channels_ = 3;
  int64_t stride_ = 0;
  std::vector<uint8_t> pixels_;
};

// Clamps to a byte: negative values give 0, values above 255 give 255.
inline uint8_t ClampByte(int64_t v) {
  return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint8_t>(v);
}

}  // namespace plb

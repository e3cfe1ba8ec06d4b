#include "images/codec/bitmap.h"

#include <cstring>
#include <string>

#include "platform/checked.h"

namespace plb {

void Bitmap::SetSize(int32_t width, int32_t height, int channels) {
  if (channels != 3 && channels != 4) throw ERangeError("Bitmap depth must be 24 or 32 bits");
  if (width < 1 || height < 1) {
    width = 0;
    height = 0;
  }
  const uint64_t stride = (static_cast<uint64_t>(width) * static_cast<uint64_t>(channels) + 3) & ~uint64_t{3};
  uint64_t bytes = 0;
  if (!CheckedMul(stride, static_cast<uint64_t>(height), bytes) || bytes > kMaxBytes)
    throw ERangeError("Bitmap too large: " + std::to_string(width) + " x " + std::to_string(height));
  std::vector<uint8_t> pixels(static_cast<size_t>(bytes), 0);
  pixels_.swap(pixels);
  width_ = width;
  height_ = height;
  channels_ = channels;
  stride_ = static_cast<int64_t>(stride);
}

void Bitmap::MakeBgr24() {
  if (channels_ == 3) return;
  Bitmap out(width_, height_, 3);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = Row(y);
    uint8_t* d = out.Row(y);
    for (int32_t x = 0; x < width_; ++x, s += 4, d += 3) std::memcpy(d, s, 3);
  }
  Swap(out);
}

void Bitmap::Fill(uint8_t b, uint8_t g, uint8_t r) {
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* p = Row(y);
    for (int32_t x = 0; x < width_; ++x, p += channels_) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
      if (channels_ == 4) p[3] = 255;
    }
  }
}

void Bitmap::Swap(Bitmap& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(channels_, other.channels_);
  std::swap(stride_, other.stride_);
  pixels_.swap(other.pixels_);
}

bool Bitmap::SamePixels(const Bitmap& other) const {
  if (width_ != other.width_ || height_ != other.height_ || channels_ != other.channels_) return false;
  const size_t used = static_cast<size_t>(width_) * static_cast<size_t>(channels_);
  for (int32_t y = 0; y < height_; ++y)
    if (std::memcmp(Row(y), other.Row(y), used) != 0) return false;
  return true;
}

}  // namespace plb

#include "images/effects/effect_kernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "images/effects/image_effect.h"
#include "images/scale/real_convert.h"

namespace plb::effects {
namespace {

// One row with its edge pixels repeated once on either side.
class PaddedRow {
 public:
  explicit PaddedRow(int32_t width) : bytes_((static_cast<size_t>(width) + 2) * 3) {}
  void Load(const uint8_t* row, int32_t width) {
    std::memcpy(bytes_.data() + 3, row, static_cast<size_t>(width) * 3);
    std::memcpy(bytes_.data(), row, 3);
    std::memcpy(bytes_.data() + (static_cast<size_t>(width) + 1) * 3, row + (width - 1) * 3, 3);
  }
  // The pixel at column x (x = -1 and x = width are the repeated edges).
  const uint8_t* At(int32_t x) const { return bytes_.data() + (x + 1) * 3; }

 private:
  std::vector<uint8_t> bytes_;
};

// The nine values of one channel: NW N NE / W C E / SW S SE.
struct Nine {
  int v[9];
  int nw() const { return v[0]; }
  int n() const { return v[1]; }
  int ne() const { return v[2]; }
  int w() const { return v[3]; }
  int c() const { return v[4]; }
  int e() const { return v[5]; }
  int sw() const { return v[6]; }
  int s() const { return v[7]; }
  int se() const { return v[8]; }
  int Sum8() const { return v[0] + v[1] + v[2] + v[3] + v[5] + v[6] + v[7] + v[8]; }
};

Nine Gather(const PaddedRow& up, const PaddedRow& mid, const PaddedRow& down, int32_t x, int ch) {
  return {{up.At(x - 1)[ch], up.At(x)[ch], up.At(x + 1)[ch], mid.At(x - 1)[ch], mid.At(x)[ch], mid.At(x + 1)[ch],
           down.At(x - 1)[ch], down.At(x)[ch], down.At(x + 1)[ch]}};
}

uint8_t Median(Nine n) {
  std::nth_element(n.v, n.v + 4, n.v + 9);
  return static_cast<uint8_t>(n.v[4]);
}

uint8_t SobelValue(const Nine& n) {
  const int gy = (n.nw() + 2 * n.n() + n.ne()) - (n.sw() + 2 * n.s() + n.se());
  const int gx = (n.nw() + 2 * n.w() + n.sw()) - (n.ne() + 2 * n.e() + n.se());
  return RoundClampByte(std::sqrt(static_cast<double>(gx) * gx + static_cast<double>(gy) * gy));
}

uint8_t Laplacian8(const Nine& n) {
  return ClampByte(n.Sum8() - 8 * n.c());
}

// The per-channel result of the filters that treat channels alone.
uint8_t ChannelValue(int code, const Nine& n) {
  switch (code) {
    case efSharpWeak:
      return ClampByte((24 * n.c() - n.Sum8()) / 16);
    case efSharpMedium:
      return ClampByte((16 * n.c() - n.Sum8()) / 8);
    case efSharpStrong:
      return ClampByte((12 * n.c() - n.Sum8()) / 4);
    case efSoft:
    case efSimpleLowPass:
      return static_cast<uint8_t>(
          (n.nw() + n.ne() + n.sw() + n.se() + 2 * (n.n() + n.w() + n.e() + n.s()) + 4 * n.c()) >> 4);
    case efMean:
      return static_cast<uint8_t>(((n.Sum8() + n.c()) * 3640) >> 15);
    case efMaximum:
      return static_cast<uint8_t>(*std::max_element(n.v, n.v + 9));
    case efMinimum:
      return static_cast<uint8_t>(*std::min_element(n.v, n.v + 9));
    case efMedian:
      return Median(n);
    case efEmboss1:
      return ClampByte(n.se() - n.nw() + 128);
    case efEmboss2:
      return ClampByte(n.e() + n.s() + n.se() - n.nw() - n.n() - n.w() + 128);
    case efLaplacian4:
      return ClampByte(n.n() + n.w() + n.e() + n.s() - 4 * n.c());
    case efLaplacian8:
      return Laplacian8(n);
    case efSobel:
      return SobelValue(n);
    default:
      return static_cast<uint8_t>(n.c());
  }
}

// One output pixel (B, G, R) from the neighbourhood.
void PixelValue(int code, const PaddedRow& up, const PaddedRow& mid, const PaddedRow& down, int32_t x, uint8_t* out) {
  std::array<Nine, 3> n = {Gather(up, mid, down, x, 0), Gather(up, mid, down, x, 1), Gather(up, mid, down, x, 2)};
  switch (code) {
    case efSketch:
    case efIllustration1:
    case efPencil:
    case efIllustration2: {
      const bool sobel = code == efSketch || code == efIllustration1;
      uint8_t v[3];
      for (int ch = 0; ch < 3; ++ch) v[ch] = sobel ? SobelValue(n[ch]) : Laplacian8(n[ch]);
      const int y = Luminance(v[2], v[1], v[0]);
      for (int ch = 0; ch < 3; ++ch) {
        const int c = n[ch].c();
        switch (code) {
          case efSketch:
          case efPencil:
            out[ch] = static_cast<uint8_t>(255 - std::min(y, 255));
            break;
          case efIllustration1:
            out[ch] = ClampByte((c / 32) * 32 - ((y >> 1) & 127) + 32);
            break;
          default:
            out[ch] = ClampByte((c / 32) * 32 + 32 - y);
            break;
        }
      }
      return;
    }
    default:
      for (int ch = 0; ch < 3; ++ch) out[ch] = ChannelValue(code, n[ch]);
      return;
  }
}

}  // namespace

void Grayscale(Bitmap& b) {
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* p = b.Row(y);
    for (int32_t x = 0; x < b.Width(); ++x, p += 3) {
      const uint8_t v = static_cast<uint8_t>(std::min(255, Luminance(p[2], p[1], p[0])));
      p[0] = p[1] = p[2] = v;
    }
  }
}

void Neighbourhood(Bitmap& b, int code, ProgressSteps& steps) {
  if (code == efSketch) Grayscale(b);
  if (code == efPencil || code == efIllustration2) {
    ProgressSteps silent(nullptr, b.Height());
    Smooth(b, silent);
  }
  const int32_t w = b.Width(), h = b.Height();
  PaddedRow up(w), mid(w), down(w);
  mid.Load(b.Row(0), w);
  up.Load(b.Row(0), w);
  down.Load(b.Row(std::min(1, h - 1)), w);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = b.Row(y);
    for (int32_t x = 0; x < w; ++x) PixelValue(code, up, mid, down, x, out + x * 3);
    // The next row's neighbours are the rows as they were: the one below is still untouched.
    std::swap(up, mid);
    std::swap(mid, down);
    if (y + 2 < h) {
      down.Load(b.Row(y + 2), w);
    } else {
      down = mid;
    }
    steps.Row(y);
  }
}

void Smooth(Bitmap& b, ProgressSteps& steps) {
  for (int32_t y = 1; y < b.Height() - 1; ++y) {
    for (int32_t x = 1; x < b.Width() - 1; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        auto p = [&](int dx, int dy) { return int{b.Pixel(x + dx, y + dy)[ch]}; };
        const int corners = p(-1, -1) + p(1, -1) + p(-1, 1) + p(1, 1);
        const int sides = p(0, -1) + p(-1, 0) + p(1, 0) + p(0, 1);
        b.Pixel(x, y)[ch] = static_cast<uint8_t>((corners + 4 * sides + 16 * p(0, 0)) / 36);
      }
    }
    steps.Row(y);
  }
}

void Soft2(Bitmap& b, ProgressSteps& steps) {
  static constexpr int kWeights[4] = {75, 113, 56, 9};  // offsets -1, 0, +1, +2
  for (int32_t y = 1; y < b.Height() - 2; ++y) {
    for (int32_t x = 1; x < b.Width() - 2; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        int sum = 0;
        for (int dy = -1; dy <= 2; ++dy)
          for (int dx = -1; dx <= 2; ++dx) sum += kWeights[dx + 1] * kWeights[dy + 1] * b.Pixel(x + dx, y + dy)[ch];
        b.Pixel(x, y)[ch] = static_cast<uint8_t>(sum / 64009);
      }
    }
    steps.Row(y);
  }
}

void RemoveNoise(Bitmap& b, int threshold, ProgressSteps& steps) {
  static constexpr int kWeights[5][5] = {
      {2, 3, 4, 3, 2}, {3, 4, 6, 4, 3}, {4, 6, 8, 6, 4}, {3, 4, 6, 4, 3}, {2, 3, 4, 3, 2}};
  const int32_t w = b.Width(), h = b.Height();
  if (w < 2 || h < 2) return;
  auto at = [&](int32_t x, int32_t y, int ch) {
    return int{b.Pixel(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1))[ch]};
  };
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      for (int ch = 0; ch < 3; ++ch) {
        const int vertical = (at(x - 1, y - 1, ch) + at(x, y - 1, ch) + at(x + 1, y - 1, ch)) -
                             (at(x - 1, y + 1, ch) + at(x, y + 1, ch) + at(x + 1, y + 1, ch));
        const int horizontal = (at(x - 1, y - 1, ch) + at(x - 1, y, ch) + at(x - 1, y + 1, ch)) -
                               (at(x + 1, y - 1, ch) + at(x + 1, y, ch) + at(x + 1, y + 1, ch));
        if (std::abs(vertical) >= threshold || std::abs(horizontal) >= threshold) continue;
        int sum = 0;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -2; dx <= 2; ++dx) sum += kWeights[dy + 2][dx + 2] * at(x + dx, y + dy, ch);
        b.Pixel(x, y)[ch] = static_cast<uint8_t>(sum / 96);
      }
    }
    steps.Row(y);
  }
}

}  // namespace plb::effects

#pragma once
// Small pictures and files for the decoding, scaling and effect tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"

namespace plb::test {

// A picture with smooth gradients and a few hard edges: what photos hold, and what a scaling
// fault shows in.
inline Bitmap PhotoLike(int32_t w, int32_t h) {
  Bitmap b(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = b.Pixel(x, y);
      const double u = double(x) / w, v = double(y) / h;
      p[0] = static_cast<uint8_t>(255 * v);
      p[1] = static_cast<uint8_t>(127 + 120 * std::sin(6 * u + 3 * v));
      p[2] = static_cast<uint8_t>(255 * u);
      if (std::abs(u - 0.5) < 0.1 && std::abs(v - 0.5) < 0.1) p[0] = p[1] = p[2] = 240;
    }
  }
  return b;
}

// A bitmap of one colour.
inline Bitmap Solid(int32_t w, int32_t h, uint8_t b, uint8_t g, uint8_t r) {
  Bitmap out(w, h);
  out.Fill(b, g, r);
  return out;
}

// A bitmap whose three channels of each pixel hold the same value, from rows of values.
inline Bitmap Grey(const std::vector<std::vector<int>>& rows) {
  Bitmap b(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      uint8_t* p = b.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
      p[0] = p[1] = p[2] = static_cast<uint8_t>(rows[y][x]);
    }
  return b;
}

// The mean absolute difference per channel of two bitmaps of the same size.
inline double MeanDifference(const Bitmap& a, const Bitmap& b) {
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty()) return 1e9;
  double sum = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      for (int c = 0; c < 3; ++c) sum += std::abs(int{a.Pixel(x, y)[c]} - int{b.Pixel(x, y)[c]});
  return sum / (3.0 * a.Width() * a.Height());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace plb::test

// JPEG decoding speed at a DCT scale, the way the thumbnail workers decode large photos.
//
//   decode_bench [--scale 0-3] [--repeat N] FILE...
//
// Reads and decodes every file, N rounds; prints one line of "key value" pairs with the best
// round's wall-clock and processor time. bench/decode_bench.sh runs djpeg on the same files beside it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"
#include "images/codec/jpeg_codec.h"
#include "images/codec/stream.h"

int main(int argc, char** argv) {
  int scale = plb::dsEighth, repeat = 1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--scale" && i + 1 < argc) {
      scale = std::atoi(argv[++i]);
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: decode_bench [--scale 0-3] [--repeat N] FILE...\n");
    return 2;
  }
  double best = 1e300, bestCpu = 1e300;
  uint64_t pixels = 0, decoded = 0;
  for (int r = 0; r < repeat; ++r) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    pixels = decoded = 0;
    for (const std::string& file : files) {
      plb::Bitmap bitmap;
      std::vector<uint8_t> bytes;
      try {
        plb::TFileStream in(file, plb::TFileStream::Mode::kRead);
        bytes.resize(static_cast<size_t>(in.Size()));
        in.ReadBuffer(bytes.data(), in.Size());
        plb::DecodeJpeg(bytes, bitmap, scale);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
        return 1;
      }
      plb::TSize full = plb::JpegImageSize(bytes);
      pixels += static_cast<uint64_t>(full.cx) * static_cast<uint64_t>(full.cy);
      decoded += static_cast<uint64_t>(bitmap.Width()) * static_cast<uint64_t>(bitmap.Height());
    }
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    bestCpu = std::min(bestCpu, 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
  }
  std::printf("files %zu megapixels %.1f decoded_pixels %llu ms %.1f cpu_ms %.1f\n", files.size(), pixels / 1e6,
              static_cast<unsigned long long>(decoded), best, bestCpu);
  return 0;
}

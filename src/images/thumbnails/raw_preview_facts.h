#pragma once
// What the thumbs stage needs of a RAW file: the main image's facts and its small preview. A
// file of its own because the RAW reader's names and the orientation helpers' names collide.
#include <cstdint>
#include <string>
#include <vector>

namespace plb {

struct TCacheRawPreview {
  int32_t pixelFormat = 6;
  int32_t width = 0;
  int32_t height = 0;
  bool hasExif = false;
  int32_t orientation = 1;
  double shootingDate = 0;
  int32_t thumbWidth = 0;
  int32_t thumbHeight = 0;
  int32_t thumbCompression = 6;  // 1: uncompressed RGB rows, otherwise JPEG
  int32_t thumbOrientation = 1;
  std::vector<uint8_t> thumb;  // empty when there is none
};

// Never raises: a file without a preview gives an empty thumbnail.
TCacheRawPreview ReadCacheRawPreview(const std::string& fileName);

}  // namespace plb

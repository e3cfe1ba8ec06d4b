#pragma once
// Windows bitmap files (".BMP"): the header query the catalog needs, decoding into a 24-bit
// bitmap and writing one. Reads uncompressed 1-, 4-, 8-, 16-, 24- and 32-bit files, bottom-up or
// top-down, with or without bit-field masks, and the 8- and 4-bit run-length encodings.
#include <cstdint>
#include <span>
#include <string>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

// A file that is not a bitmap this reader understands.
PLB_DECLARE_ERROR(EInvalidGraphic, Error);

struct TBmpInfo {
  int32_t pixel_format = pfDevice;  // pixel-format code of the stored bit count
  int32_t width = 0;
  int32_t height = 0;  // always positive
};

// The header of a bitmap file; EInvalidGraphic when it is not one.
TBmpInfo ReadBmpInfo(std::span<const uint8_t> bytes);
// Decodes a whole bitmap file; EInvalidGraphic on any fault.
void DecodeBmp(std::span<const uint8_t> bytes, Bitmap& bitmap);
// A 24-bit bottom-up bitmap file.
std::string EncodeBmp(const Bitmap& bitmap);

}  // namespace plb

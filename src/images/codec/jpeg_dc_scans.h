#pragma once
// Progressive JPEGs at one eighth, from their DC coefficients. At that scale each 8 x 8 block of
// a full-resolution component becomes one pixel computed from its DC coefficient alone, yet a
// progressive file keeps most of its bytes in AC scans, and libjpeg decodes every scan into a
// coefficient store of the whole picture before showing any of it (hundreds of milliseconds and
// tens of megabytes for a 15-megapixel photo). Both functions give the picture libjpeg gives.
#include <cstdint>
#include <span>
#include <vector>

#include "images/codec/bitmap.h"

namespace plb {

// Decodes a progressive Huffman JPEG whose components all have the same sampling (greyscale, or
// YCbCr without subsampling) at one eighth into a 24-bit B, G, R bitmap, reading only its DC
// scans: the pixels libjpeg computes, each side divided by 8 and rounded up. False, the bitmap
// untouched, for any other picture or for markers not laid out whole up to the end of the
// picture: the caller then decodes through libjpeg, which reports the fault.
bool DecodeProgressiveDcOnly(std::span<const uint8_t> jpeg, Bitmap& bitmap);

// The progressive JPEG without the AC scans of the components that libjpeg shows at one eighth
// through a 1 x 1 transform (those not subsampled in both directions); empty when the data are
// not a progressive Huffman JPEG, when nothing would be left out, or when the markers are not
// laid out whole up to the end of the picture.
std::vector<uint8_t> ProgressiveWithoutUnneededAcScans(std::span<const uint8_t> jpeg);

}  // namespace plb

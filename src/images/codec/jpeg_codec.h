#pragma once
// JPEG decoding and encoding through libjpeg-turbo. Decoding can scale in the DCT domain by 1/2,
// 1/4 and 1/8 (each side rounded up), which is how thumbnails avoid decoding full-size pixels;
// the output is always 24-bit B, G, R (greyscale and CMYK pictures are converted).
#include <cstdint>
#include <span>
#include <string>

#include "images/codec/bitmap.h"
#include "images/codec/stream.h"
#include "platform/error.h"

namespace plb {

// A JPEG that the codec cannot decode or encode: damaged, truncated, unsupported.
PLB_DECLARE_ERROR(EJpegError, Error);

// Decode scales: 0 full size, 1 one half, 2 one quarter, 3 one eighth.
enum TDecodeScale : int { dsFull = 0, dsHalf = 1, dsQuarter = 2, dsEighth = 3 };

// Decodes a whole JPEG at the scale, best quality; EJpegError on any fault, including data that
// end before the last row.
void DecodeJpeg(std::span<const uint8_t> bytes, Bitmap& bitmap, int scale);
// The same with the fast integer transform (for benchmarks and previews where speed counts).
void DecodeJpegFast(std::span<const uint8_t> bytes, Bitmap& bitmap, int scale);

// The full-speed decode the loaders try first: a file, or a memory stream from its position to
// its end. False, the bitmap emptied, on any fault; never raises.
bool DecodeJpegIjl(const std::string& fileName, Bitmap& bitmap, int scale);
bool DecodeJpegIjl(TMemoryStream& stream, Bitmap& bitmap, int scale);

// The frame size of a JPEG as the codec sees it; EJpegError when the header cannot be read.
TSize JpegImageSize(std::span<const uint8_t> bytes);

// A baseline JPEG of a bitmap at quality 1..100.
std::string EncodeJpeg(const Bitmap& bitmap, int quality);

}  // namespace plb

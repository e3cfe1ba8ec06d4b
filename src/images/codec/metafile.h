#pragma once
// Metafiles (".WMF", ".EMF") are measured from their headers; the catalog never lists them, so
// their pictures are blank pages of the measured size rather than a played drawing.
#include <cstdint>
#include <span>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EImageLoadError, Error);

// The texts of the image-load errors.
inline constexpr const char* kUnsupportedFormatText = "未サポートの形式です。";
inline constexpr const char* kUnsupportedWmfText = "この形式のWMFは未対応です。";

// Sides above this are refused: they come from a header anyone can write.
constexpr int32_t kMaxMetafileSide = 16384;

// The 22-byte header of a placeable metafile.
struct TPlaceableHeader {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  uint16_t units_per_inch = 96;  // 0 in the file counts as 96
};

// The header of a placeable metafile; the WMF error when the key or checksum is wrong.
TPlaceableHeader ReadPlaceableHeader(std::span<const uint8_t> bytes);

// The size of a placeable metafile at screen dpi and scale (1, 1/2, 1/4, 1/8): truncated, or
// rounded for the information query. The WMF error when a side is not positive or too large.
TSize PlaceableSize(const TPlaceableHeader& header, int screenDpi, double scale, bool rounded);

// The size of an enhanced metafile from its bounds; the unsupported-format error when the bytes
// are not one.
TSize EnhancedMetafileSize(std::span<const uint8_t> bytes);

}  // namespace plb

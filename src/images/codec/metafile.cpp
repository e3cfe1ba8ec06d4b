#include "images/codec/metafile.h"

#include "images/scale/real_convert.h"
#include "platform/byte_reader.h"

namespace plb {

TPlaceableHeader ReadPlaceableHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < 22) throw EImageLoadError(kUnsupportedWmfText);
  ByteReader r(bytes.first(22));
  uint16_t words[10];
  for (uint16_t& w : words) w = r.U16();
  const uint16_t checksum = r.U16();
  uint16_t x = 0;
  for (uint16_t w : words) x ^= w;
  const uint32_t key = uint32_t{words[0]} | uint32_t{words[1]} << 16;
  if (key != 0x9AC6CDD7u || checksum != x) throw EImageLoadError(kUnsupportedWmfText);
  TPlaceableHeader h;
  h.left = static_cast<int16_t>(words[3]);
  h.top = static_cast<int16_t>(words[4]);
  h.right = static_cast<int16_t>(words[5]);
  h.bottom = static_cast<int16_t>(words[6]);
  h.units_per_inch = words[7] == 0 ? 96 : words[7];
  return h;
}

TSize PlaceableSize(const TPlaceableHeader& h, int screenDpi, double scale, bool rounded) {
  const double add = rounded ? 0.5 : 0.0;
  const int32_t w = TruncToInt((h.right - h.left) * static_cast<double>(screenDpi) * scale / h.units_per_inch + add);
  const int32_t ht = TruncToInt((h.bottom - h.top) * static_cast<double>(screenDpi) * scale / h.units_per_inch + add);
  if (w < 1 || ht < 1 || w > kMaxMetafileSide || ht > kMaxMetafileSide) throw EImageLoadError(kUnsupportedWmfText);
  return {w, ht};
}

TSize EnhancedMetafileSize(std::span<const uint8_t> bytes) {
  try {
    ByteReader r(bytes);
    if (r.U32() != 1) throw EImageLoadError(kUnsupportedFormatText);
    r.Skip(4);
    const int64_t left = r.I32(), top = r.I32(), right = r.I32(), bottom = r.I32();
    r.Seek(40);
    if (r.U32() != 0x464D4520u) throw EImageLoadError(kUnsupportedFormatText);
    const int64_t w = right - left + 1, h = bottom - top + 1;
    if (w < 1 || h < 1 || w > kMaxMetafileSide || h > kMaxMetafileSide) throw EImageLoadError(kUnsupportedFormatText);
    return {static_cast<int32_t>(w), static_cast<int32_t>(h)};
  } catch (const EReadError&) {
    throw EImageLoadError(kUnsupportedFormatText);
  }
}

}  // namespace plb

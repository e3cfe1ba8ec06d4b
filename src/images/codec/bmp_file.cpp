#include "images/codec/bmp_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/byte_reader.h"
#include "platform/checked.h"

namespace plb {
namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic("Bitmap image is not valid");
}

struct Header {
  uint32_t pixel_offset = 0;
  uint32_t header_size = 0;
  int32_t width = 0;
  int32_t height = 0;  // positive
  bool top_down = false;
  uint16_t bit_count = 0;
  uint32_t compression = kBiRgb;
  uint32_t colors_used = 0;
  std::array<uint32_t, 4> masks = {0, 0, 0, 0};  // red, green, blue, alpha
  uint64_t palette_offset = 0;
  int palette_entry = 4;  // bytes per palette entry (3 in the old core header)
};

Header ParseHeader(std::span<const uint8_t> bytes) {
  try {
    ByteReader r(bytes);
    if (r.U8() != 'B' || r.U8() != 'M') Invalid();
    r.Skip(8);
    Header h;
    h.pixel_offset = r.U32();
    h.header_size = r.U32();
    if (h.header_size == 12) {
      h.width = r.U16();
      h.height = r.U16();
      r.Skip(2);
      h.bit_count = r.U16();
      h.palette_entry = 3;
    } else if (h.header_size >= 40) {
      h.width = r.I32();
      const int32_t height = r.I32();
      if (height == INT32_MIN) Invalid();
      h.top_down = height < 0;
      h.height = height < 0 ? -height : height;
      r.Skip(2);
      h.bit_count = r.U16();
      h.compression = r.U32();
      r.Skip(12);
      h.colors_used = r.U32();
      r.Skip(4);
      if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        // Masks follow the 40-byte header, inside the larger headers or after the small one.
        r.Seek(14 + 40);
        for (int i = 0; i < (h.compression == kBiAlphaBitfields || h.header_size >= 56 ? 4 : 3); ++i)
          h.masks[static_cast<size_t>(i)] = r.U32();
      }
    } else {
      Invalid();
    }
    h.palette_offset = 14 + uint64_t{h.header_size};
    if (h.compression == kBiBitfields && h.header_size == 40) h.palette_offset += 12;
    if (h.width < 1 || h.height < 1) Invalid();
    return h;
  } catch (const EReadError&) {
    Invalid();
  }
}

int32_t FormatOfBitCount(uint16_t bits) {
  switch (bits) {
    case 1:
      return pf1Bit;
    case 4:
      return pf4Bit;
    case 8:
      return pf8Bit;
    case 16:
      return pf16Bit;
    case 24:
      return pf24Bit;
    case 32:
      return pf32Bit;
    default:
      return pfCustom;
  }
}

std::vector<std::array<uint8_t, 3>> ReadPalette(std::span<const uint8_t> bytes, const Header& h) {
  uint32_t entries = h.colors_used != 0 ? h.colors_used : 1u << h.bit_count;
  entries = std::min<uint32_t>(entries, 1u << h.bit_count);
  std::vector<std::array<uint8_t, 3>> palette(static_cast<size_t>(1) << h.bit_count, {0, 0, 0});
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t at = h.palette_offset + uint64_t{i} * static_cast<uint64_t>(h.palette_entry);
    if (!RangeInside(at, 3, bytes.size())) break;  // a short palette leaves the rest black
    std::memcpy(palette[i].data(), bytes.data() + at, 3);
  }
  return palette;
}

// Extracts a channel with a bit-field mask, scaled to 0..255.
uint8_t MaskedChannel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = __builtin_ctz(mask);
  const uint32_t max = mask >> shift;
  return static_cast<uint8_t>(((v & mask) >> shift) * 255u / max);
}

void DecodeUncompressed(std::span<const uint8_t> bytes, const Header& h, Bitmap& out) {
  const uint64_t stride = (uint64_t{static_cast<uint32_t>(h.width)} * h.bit_count + 31) / 32 * 4;
  uint64_t need = 0;
  if (!CheckedMul(stride, static_cast<uint64_t>(h.height), need) || !RangeInside(h.pixel_offset, need, bytes.size()))
    Invalid();
  const auto palette = h.bit_count <= 8 ? ReadPalette(bytes, h) : std::vector<std::array<uint8_t, 3>>{};
  std::array<uint32_t, 4> masks = h.masks;
  if (h.compression == kBiRgb && h.bit_count == 16) masks = {0x7C00, 0x03E0, 0x001F, 0};
  const bool useMasks = h.bit_count == 16 || (h.bit_count == 32 && h.compression != kBiRgb);
  for (int32_t row = 0; row < h.height; ++row) {
    const uint8_t* s = bytes.data() + h.pixel_offset + stride * static_cast<uint64_t>(row);
    uint8_t* d = out.Row(h.top_down ? row : h.height - 1 - row);
    for (int32_t x = 0; x < h.width; ++x, d += 3) {
      if (h.bit_count <= 8) {
        const uint64_t bit = uint64_t{static_cast<uint32_t>(x)} * h.bit_count;
        const uint8_t byte = s[bit / 8];
        const unsigned index = (byte >> (8 - h.bit_count - bit % 8)) & ((1u << h.bit_count) - 1);
        std::memcpy(d, palette[index].data(), 3);
      } else if (useMasks) {
        uint32_t v = s[x * (h.bit_count / 8)] | (s[x * (h.bit_count / 8) + 1] << 8);
        if (h.bit_count == 32) v |= (uint32_t{s[x * 4 + 2]} << 16) | (uint32_t{s[x * 4 + 3]} << 24);
        d[0] = MaskedChannel(v, masks[2]);
        d[1] = MaskedChannel(v, masks[1]);
        d[2] = MaskedChannel(v, masks[0]);
      } else {
        std::memcpy(d, s + x * (h.bit_count / 8), 3);
      }
    }
  }
}

// Run-length encoded 8- or 4-bit pixels; what the runs never reach stays at palette entry 0.
void DecodeRle(std::span<const uint8_t> bytes, const Header& h, Bitmap& out) {
  const auto palette = ReadPalette(bytes, h);
  if (h.top_down || h.pixel_offset > bytes.size()) Invalid();
  for (int32_t y = 0; y < h.height; ++y)
    for (int32_t x = 0; x < h.width; ++x) std::memcpy(out.Pixel(x, y), palette[0].data(), 3);
  ByteReader r(bytes.subspan(h.pixel_offset));
  const bool four = h.compression == kBiRle4;
  int64_t x = 0, y = 0;
  auto put = [&](unsigned index) {
    if (x < h.width && y < h.height)
      std::memcpy(out.Pixel(static_cast<int32_t>(x), h.height - 1 - static_cast<int32_t>(y)),
                  palette[index & ((1u << h.bit_count) - 1)].data(), 3);
    ++x;
  };
  try {
    while (y < h.height) {
      const uint8_t count = r.U8(), value = r.U8();
      if (count > 0) {
        for (unsigned i = 0; i < count; ++i) put(four ? (i % 2 ? value & 15 : value >> 4) : value);
      } else if (value == 0) {
        x = 0;
        ++y;
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        x += r.U8();
        y += r.U8();
      } else {
        const unsigned bytesUsed = four ? (value + 1u) / 2 : value;
        const std::span<const uint8_t> run = r.Bytes(bytesUsed);
        for (unsigned i = 0; i < value; ++i) put(four ? (i % 2 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
        if (bytesUsed % 2) r.Skip(1);
      }
    }
  } catch (const EReadError&) {
    // A run list cut short leaves the remaining pixels as they are, as viewers show it.
  }
}

}  // namespace

TBmpInfo ReadBmpInfo(std::span<const uint8_t> bytes) {
  const Header h = ParseHeader(bytes);
  return {FormatOfBitCount(h.bit_count), h.width, h.height};
}

void DecodeBmp(std::span<const uint8_t> bytes, Bitmap& bitmap) {
  const Header h = ParseHeader(bytes);
  const bool rle = (h.compression == kBiRle8 && h.bit_count == 8) || (h.compression == kBiRle4 && h.bit_count == 4);
  const bool plain = h.compression == kBiRgb || h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
  const uint16_t b = h.bit_count;
  if (!rle && !(plain && (b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32))) Invalid();
  Bitmap out(h.width, h.height);
  if (rle) {
    DecodeRle(bytes, h, out);
  } else {
    DecodeUncompressed(bytes, h, out);
  }
  bitmap.Swap(out);
}

std::string EncodeBmp(const Bitmap& source) {
  Bitmap copy;
  const Bitmap* b = &source;
  if (source.Channels() != 3) {
    copy = source;
    copy.MakeBgr24();
    b = &copy;
  }
  const uint64_t stride = static_cast<uint64_t>(b->Stride());
  const uint64_t imageBytes = stride * static_cast<uint64_t>(b->Height());
  std::string out;
  out.reserve(54 + imageBytes);
  auto u16 = [&](uint32_t v) { out.push_back(static_cast<char>(v & 255)), out.push_back(static_cast<char>(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  out += "BM";
  u32(static_cast<uint32_t>(54 + imageBytes));
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<uint32_t>(b->Width()));
  u32(static_cast<uint32_t>(b->Height()));
  u16(1);
  u16(24);
  u32(kBiRgb);
  u32(static_cast<uint32_t>(imageBytes));
  u32(3780);  // 96 dots per inch
  u32(3780);
  u32(0);
  u32(0);
  for (int32_t y = b->Height() - 1; y >= 0; --y) out.append(reinterpret_cast<const char*>(b->Row(y)), stride);
  return out;
}

}  // namespace plb

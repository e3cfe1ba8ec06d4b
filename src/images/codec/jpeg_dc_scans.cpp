#include "images/codec/jpeg_dc_scans.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/byte_reader.h"

namespace plb {

namespace {

constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDht = 0xC4, kDri = 0xDD;
constexpr uint8_t kApp0 = 0xE0, kApp14 = 0xEE, kSofProgressive = 0xC2;

bool IsFrameMarker(uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xC8 && m != 0xCC;  // not DHT, JPG, DAC
}

bool IsRestartMarker(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

// One marker segment; for a scan, data is its entropy-coded data (restart markers included).
struct Segment {
  uint8_t marker = 0;
  std::span<const uint8_t> body;
  std::span<const uint8_t> data;
  size_t start = 0, end = 0;  // the whole segment in the file, data included
};

// The length of the entropy-coded data from offset: up to the first marker that is neither a
// stuffed zero nor a restart; 0 when the data end first.
size_t EntropyDataLength(std::span<const uint8_t> bytes, size_t offset) {
  size_t at = offset;
  while (at < bytes.size()) {
    const void* ff = std::memchr(bytes.data() + at, 0xFF, bytes.size() - at);
    if (ff == nullptr) return 0;
    at = static_cast<size_t>(static_cast<const uint8_t*>(ff) - bytes.data());
    if (at + 1 >= bytes.size()) return 0;
    const uint8_t next = bytes[at + 1];
    if (next != 0 && next != 0xFF && !IsRestartMarker(next)) return at - offset;
    at += next == 0xFF ? 1 : 2;  // 0xFF 0xFF: fill before a marker
  }
  return 0;
}

// The segments from SOI to EOI (EOI not included); false when they do not reach EOI whole or
// the first frame header is not a progressive Huffman one.
bool WalkMarkers(std::span<const uint8_t> jpeg, std::vector<Segment>& segments) {
  try {
    ByteReader r(jpeg, Endian::kBig);
    if (r.U8() != 0xFF || r.U8() != kSoi) return false;
    bool framed = false;
    for (;;) {
      if (r.U8() != 0xFF) return false;
      uint8_t marker = r.U8();
      while (marker == 0xFF) marker = r.U8();
      if (marker == kEoi) return framed;
      Segment s;
      s.marker = marker;
      s.start = static_cast<size_t>(r.Position() - 2);
      const uint16_t length = r.U16();
      if (length < 2) return false;
      s.body = r.Bytes(length - 2u);
      if (IsFrameMarker(marker)) {
        if (marker != kSofProgressive || framed) return false;
        framed = true;
      }
      if (marker == kSos) {
        if (!framed) return false;
        const size_t from = static_cast<size_t>(r.Position());
        const size_t length = EntropyDataLength(jpeg, from);
        if (length == 0) return false;
        s.data = jpeg.subspan(from, length);
        r.Seek(from + length);
      }
      s.end = static_cast<size_t>(r.Position());
      segments.push_back(s);
    }
  } catch (const EReadError&) {
    return false;
  }
}

struct Component {
  uint8_t id = 0, h = 1, v = 1, table = 0;
  bool needsAc = false;        // shown through a transform larger than 1 x 1 at one eighth
  int blocksWide = 0, blocksHigh = 0;  // stored blocks, whole MCUs
  int scanWide = 0, scanHigh = 0;      // blocks of a scan of this component alone
  std::array<uint16_t, 64> quant{};
  bool latched = false;
  std::vector<int16_t> dc;
};

struct Frame {
  int precision = 0, width = 0, height = 0, maxH = 1, maxV = 1, mcusWide = 0, mcusHigh = 0;
  std::vector<Component> components;
};

int DivUp(int a, int b) { return (a + b - 1) / b; }

bool ReadFrame(std::span<const uint8_t> body, Frame& f) {
  ByteReader r(body, Endian::kBig);
  f.precision = r.U8();
  f.height = r.U16();
  f.width = r.U16();
  const uint8_t count = r.U8();
  if (count < 1 || count > 4 || f.width < 1 || f.height < 1) return false;
  f.components.resize(count);
  for (Component& c : f.components) {
    c.id = r.U8();
    const uint8_t factors = r.U8();
    c.h = factors >> 4;
    c.v = factors & 15;
    c.table = r.U8();
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.table > 3) return false;
    f.maxH = std::max<int>(f.maxH, c.h);
    f.maxV = std::max<int>(f.maxV, c.v);
  }
  f.mcusWide = DivUp(f.width, 8 * f.maxH);
  f.mcusHigh = DivUp(f.height, 8 * f.maxV);
  for (Component& c : f.components) {
    // libjpeg's choice of a larger transform for a component that has fewer samples.
    c.needsAc = f.maxH % (2 * c.h) == 0 && f.maxV % (2 * c.v) == 0;
    c.blocksWide = f.mcusWide * c.h;
    c.blocksHigh = f.mcusHigh * c.v;
    c.scanWide = DivUp(DivUp(f.width * c.h, f.maxH), 8);
    c.scanHigh = DivUp(DivUp(f.height * c.v, f.maxV), 8);
  }
  return true;
}

// A Huffman table in the canonical form of the JPEG standard (F.2.2.3).
struct HuffmanTable {
  bool defined = false;
  std::array<int32_t, 18> maxCode{};
  std::array<int32_t, 17> valueOffset{};
  std::array<uint8_t, 256> values{};
};

bool ReadHuffmanTables(std::span<const uint8_t> body, std::array<HuffmanTable, 4>& dcTables) {
  ByteReader r(body, Endian::kBig);
  while (!r.AtEnd()) {
    const uint8_t kind = r.U8();
    std::array<uint8_t, 17> counts{};
    int total = 0;
    for (int l = 1; l <= 16; ++l) total += counts[l] = r.U8();
    if (total > 256) return false;
    const std::span<const uint8_t> values = r.Bytes(static_cast<uint64_t>(total));
    if ((kind & 0xF0) != 0) continue;  // an AC table: not needed here
    if ((kind & 15) > 3) return false;
    HuffmanTable& t = dcTables[kind & 15];
    t = HuffmanTable{};
    t.defined = true;
    std::copy(values.begin(), values.end(), t.values.begin());
    int32_t code = 0, index = 0;
    for (int l = 1; l <= 16; ++l) {
      t.valueOffset[l] = index - code;
      code += counts[l];
      index += counts[l];
      t.maxCode[l] = counts[l] ? code - 1 : -1;
      if (code > (1 << l)) return false;  // more codes than this length can hold
      code <<= 1;
    }
    t.maxCode[17] = 0x7FFFFFFF;  // stops a decode that never matches
  }
  return true;
}

bool ReadQuantTables(std::span<const uint8_t> body, std::array<std::array<uint16_t, 64>, 4>& tables) {
  ByteReader r(body, Endian::kBig);
  while (!r.AtEnd()) {
    const uint8_t kind = r.U8();
    if ((kind & 15) > 3) return false;
    auto& t = tables[kind & 15];
    for (uint16_t& q : t) q = (kind >> 4) ? r.U16() : r.U8();
  }
  return true;
}

// Bits of entropy-coded data. Past the end of the data or at a marker it gives zeros, as libjpeg
// does, until the next restart.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> data) : data_(data) {}

  uint32_t Bits(int n) {
    while (count_ < n) Fill();
    count_ -= n;
    return static_cast<uint32_t>(buffer_ >> count_) & ((1u << n) - 1);
  }

  // At a restart: the bits left in the current byte are dropped and the restart marker is read.
  void Restart() {
    count_ = 0;
    buffer_ = 0;
    if (pos_ + 1 < data_.size() && data_[pos_] == 0xFF && IsRestartMarker(data_[pos_ + 1])) pos_ += 2;
  }

 private:
  void Fill() {
    uint8_t byte = 0;
    if (pos_ < data_.size() && !(data_[pos_] == 0xFF && pos_ + 1 < data_.size() && data_[pos_ + 1] != 0)) {
      byte = data_[pos_];
      pos_ += byte == 0xFF ? 2 : 1;  // 0xFF 0x00 stands for 0xFF
    }
    buffer_ = (buffer_ << 8) | byte;
    count_ += 8;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  uint64_t buffer_ = 0;
  int count_ = 0;
};

int DecodeSymbol(BitReader& bits, const HuffmanTable& t) {
  int32_t code = static_cast<int32_t>(bits.Bits(1));
  int l = 1;
  while (code > t.maxCode[l]) {
    if (++l > 16) return 0;  // a damaged code: libjpeg also goes on with 0
    code = (code << 1) | static_cast<int32_t>(bits.Bits(1));
  }
  return t.values[static_cast<uint8_t>(code + t.valueOffset[l])];
}

int Extend(uint32_t value, int size) {
  return value < (1u << (size - 1)) ? static_cast<int>(value) - (1 << size) + 1 : static_cast<int>(value);
}

struct ScanState {
  Frame& frame;
  std::array<HuffmanTable, 4>& dcTables;
  int restartInterval;
};

// One DC scan (first pass or refinement) into the components' DC values.
bool DecodeDcScan(const Segment& scan, ScanState& state, const std::array<std::array<uint16_t, 64>, 4>& quant) {
  Frame& f = state.frame;
  ByteReader r(scan.body, Endian::kBig);
  const uint8_t count = r.U8();
  if (count < 1 || count > f.components.size()) return false;
  std::vector<Component*> in(count);
  std::vector<const HuffmanTable*> tables(count);
  for (uint8_t i = 0; i < count; ++i) {
    const uint8_t id = r.U8();
    const uint8_t selectors = r.U8();
    auto it = std::find_if(f.components.begin(), f.components.end(), [id](const Component& c) { return c.id == id; });
    if (it == f.components.end()) return false;
    in[i] = &*it;
    tables[i] = &state.dcTables[selectors >> 4 & 3];
    if (!it->latched) {  // libjpeg takes a component's quantisation table at its first scan
      it->quant = quant[it->table];
      it->latched = true;
    }
  }
  const uint8_t spectralStart = r.U8();
  const uint8_t spectralEnd = r.U8();
  const uint8_t approximation = r.U8();
  if (spectralStart != 0) return true;  // an AC scan: nothing to take from it
  if (spectralEnd != 0) return false;
  const int high = approximation >> 4, low = approximation & 15;
  if (low > 13) return false;
  const bool refine = high != 0;
  if (!refine) {
    for (const HuffmanTable* t : tables)
      if (!t->defined) return false;
  }

  BitReader bits(scan.data);
  std::array<int, 4> predictor{};
  auto block = [&](int i, int x, int y) {
    int16_t& dc = in[i]->dc[static_cast<size_t>(y) * in[i]->blocksWide + x];
    if (refine) {
      if (bits.Bits(1)) dc = static_cast<int16_t>(dc | (1 << low));
      return;
    }
    const int size = DecodeSymbol(bits, *tables[i]);
    if (size > 16) return;
    const int diff = size ? Extend(bits.Bits(std::min(size, 16)), std::min(size, 16)) : 0;
    predictor[i] += diff;
    dc = static_cast<int16_t>(static_cast<uint32_t>(predictor[i]) << low);
  };
  const bool interleaved = count > 1;
  const int wide = interleaved ? f.mcusWide : in[0]->scanWide;
  const int high_ = interleaved ? f.mcusHigh : in[0]->scanHigh;
  int untilRestart = state.restartInterval;
  for (int my = 0; my < high_; ++my) {
    for (int mx = 0; mx < wide; ++mx) {
      if (state.restartInterval > 0) {
        if (untilRestart == 0) {
          bits.Restart();
          predictor = {};
          untilRestart = state.restartInterval;
        }
        --untilRestart;
      }
      if (!interleaved) {
        block(0, mx, my);
        continue;
      }
      for (int i = 0; i < count; ++i) {
        for (int by = 0; by < in[i]->v; ++by)
          for (int bx = 0; bx < in[i]->h; ++bx) block(i, mx * in[i]->h + bx, my * in[i]->v + by);
      }
    }
  }
  return true;
}

// libjpeg's 1 x 1 transform with its range limit: the DC value scaled back and centred, where
// values far outside the range wrap as in libjpeg's table.
uint8_t PixelFromDc(int16_t dc, uint16_t quant) {
  const int value = (static_cast<int>(dc) * static_cast<int16_t>(quant) + 4) >> 3;
  const int m = value & 1023;
  if (m < 128) return static_cast<uint8_t>(m + 128);
  if (m < 512) return 255;
  if (m < 896) return 0;
  return static_cast<uint8_t>(m - 896);
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// libjpeg's YCbCr to R, G, B in 16-bit fixed point.
struct YccTables {
  std::array<int, 256> crR{}, cbB{};
  std::array<int32_t, 256> crG{}, cbG{};
  YccTables() {
    constexpr int kScale = 16;
    constexpr int32_t kHalf = 1 << (kScale - 1);
    auto fix = [](double x) { return static_cast<int32_t>(x * (1 << kScale) + 0.5); };
    for (int i = 0; i < 256; ++i) {
      const int32_t x = i - 128;
      crR[i] = (fix(1.40200) * x + kHalf) >> kScale;
      cbB[i] = (fix(1.77200) * x + kHalf) >> kScale;
      crG[i] = -fix(0.71414) * x;
      cbG[i] = -fix(0.34414) * x + kHalf;
    }
  }
};

// Whether libjpeg takes three components as YCbCr (not as R, G, B).
bool ThreeComponentsAreYcc(const std::vector<Segment>& segments, const Frame& f) {
  for (const Segment& s : segments) {
    if (s.marker == kApp0 && s.body.size() >= 5 && std::memcmp(s.body.data(), "JFIF\0", 5) == 0) return true;
  }
  for (const Segment& s : segments) {
    if (s.marker == kApp14 && s.body.size() >= 12 && std::memcmp(s.body.data(), "Adobe", 5) == 0)
      return s.body[11] != 0;
  }
  return !(f.components[0].id == 'R' && f.components[1].id == 'G' && f.components[2].id == 'B');
}

}  // namespace

bool DecodeProgressiveDcOnly(std::span<const uint8_t> jpeg, Bitmap& bitmap) {
  std::vector<Segment> segments;
  if (!WalkMarkers(jpeg, segments)) return false;
  try {
    Frame f;
    std::array<HuffmanTable, 4> dcTables{};
    std::array<std::array<uint16_t, 64>, 4> quant{};
    ScanState state{f, dcTables, 0};
    for (const Segment& s : segments) {
      if (IsFrameMarker(s.marker)) {
        if (!ReadFrame(s.body, f) || f.precision != 8) return false;
        if (f.components.size() != 1 && f.components.size() != 3) return false;
        for (const Component& c : f.components)
          if (c.h != f.maxH || c.v != f.maxV) return false;
        if (f.components.size() == 3 && !ThreeComponentsAreYcc(segments, f)) return false;
        for (Component& c : f.components) c.dc.assign(static_cast<size_t>(c.blocksWide) * c.blocksHigh, 0);
      } else if (s.marker == kDht) {
        if (!ReadHuffmanTables(s.body, dcTables)) return false;
      } else if (s.marker == kDqt) {
        if (!ReadQuantTables(s.body, quant)) return false;
      } else if (s.marker == kDri) {
        ByteReader r(s.body, Endian::kBig);
        state.restartInterval = r.U16();
      } else if (s.marker == kSos) {
        if (!DecodeDcScan(s, state, quant)) return false;
      }
    }
    for (const Component& c : f.components)
      if (!c.latched) return false;  // a component no scan carried

    const int width = DivUp(f.width, 8), height = DivUp(f.height, 8);
    Bitmap out(width, height, 3);
    static const YccTables ycc;
    for (int y = 0; y < height; ++y) {
      uint8_t* row = out.Row(y);
      const auto at = [&](const Component& c, int x) {
        return PixelFromDc(c.dc[static_cast<size_t>(y) * c.blocksWide + x], c.quant[0]);
      };
      for (int x = 0; x < width; ++x, row += 3) {
        const int luma = at(f.components[0], x);
        if (f.components.size() == 1) {
          row[0] = row[1] = row[2] = static_cast<uint8_t>(luma);
          continue;
        }
        const int cb = at(f.components[1], x), cr = at(f.components[2], x);
        row[0] = Clamp(luma + ycc.cbB[cb]);
        row[1] = Clamp(luma + ((ycc.cbG[cb] + ycc.crG[cr]) >> 16));
        row[2] = Clamp(luma + ycc.crR[cr]);
      }
    }
    bitmap.Swap(out);
    return true;
  } catch (const EReadError&) {
    return false;
  }
}

std::vector<uint8_t> ProgressiveWithoutUnneededAcScans(std::span<const uint8_t> jpeg) {
  std::vector<Segment> segments;
  if (!WalkMarkers(jpeg, segments)) return {};
  try {
    Frame f;
    std::vector<uint8_t> out{0xFF, kSoi};
    bool left = false;
    for (const Segment& s : segments) {
      if (IsFrameMarker(s.marker) && !ReadFrame(s.body, f)) return {};
      if (s.marker == kSos) {
        ByteReader r(s.body, Endian::kBig);
        const uint8_t count = r.U8();
        bool needed = false;
        for (uint8_t i = 0; i < count; ++i) {
          const uint8_t id = r.U8();
          r.Skip(1);  // entropy tables
          for (const Component& c : f.components) needed |= c.id == id && c.needsAc;
        }
        if (r.U8() != 0 && !needed) {  // an AC scan that nothing shown at one eighth reads
          left = true;
          continue;
        }
      }
      out.insert(out.end(), jpeg.begin() + static_cast<ptrdiff_t>(s.start), jpeg.begin() + static_cast<ptrdiff_t>(s.end));
    }
    if (!left) return {};
    out.push_back(0xFF);
    out.push_back(kEoi);
    return out;
  } catch (const EReadError&) {
    return {};
  }
}

}  // namespace plb

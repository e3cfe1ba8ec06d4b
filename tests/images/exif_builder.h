#pragma once
// Builds small TIFF blocks and JPEG files byte by byte for the EXIF tests: every entry, offset and
// segment is laid out here, in either byte order, so a test states exactly the bytes it reads.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plb::test {

using Bytes = std::vector<uint8_t>;

class TiffBuilder {
 public:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    Bytes data;  // the value bytes in the block's byte order
  };
  using Ifd = std::vector<Entry>;

  explicit TiffBuilder(bool bigEndian) : big_(bigEndian) {}

  Bytes U16(uint32_t v) const { return big_ ? Bytes{uint8_t(v >> 8), uint8_t(v)} : Bytes{uint8_t(v), uint8_t(v >> 8)}; }
  Bytes U32(uint32_t v) const {
    return big_ ? Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}
                : Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  }

  Entry Ascii(uint16_t tag, const std::string& text, bool terminate = true) const {
    Bytes b(text.begin(), text.end());
    if (terminate) b.push_back(0);
    return {tag, 2, static_cast<uint32_t>(b.size()), b};
  }
  Entry Shorts(uint16_t tag, std::vector<uint32_t> values) const {
    Bytes b;
    for (uint32_t v : values) Append(b, U16(v));
    return {tag, 3, static_cast<uint32_t>(values.size()), b};
  }
  Entry Short(uint16_t tag, uint32_t v) const { return Shorts(tag, {v}); }
  Entry Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, U32(v)}; }
  Entry Rationals(uint16_t tag, std::vector<std::pair<int64_t, int64_t>> values, bool isSigned = false) const {
    Bytes b;
    for (auto [n, d] : values) {
      Append(b, U32(static_cast<uint32_t>(n)));
      Append(b, U32(static_cast<uint32_t>(d)));
    }
    return {tag, static_cast<uint16_t>(isSigned ? 10 : 5), static_cast<uint32_t>(values.size()), b};
  }
  Entry Rational(uint16_t tag, int64_t n, int64_t d, bool isSigned = false) const {
    return Rationals(tag, {{n, d}}, isSigned);
  }
  Entry Undefined(uint16_t tag, Bytes b) const { return {tag, 7, static_cast<uint32_t>(b.size()), b}; }
  Entry ByteValues(uint16_t tag, Bytes b) const { return {tag, 1, static_cast<uint32_t>(b.size()), b}; }

  Ifd ifd0, exif, gps, ifd1;
  Bytes thumbnail;                     // when set, IFD1 points at it (tags 513 and 514)
  bool sort_entries = true;            // directories in ascending tag order, as the standard wants
  int64_t thumbnail_length_delta = 0;  // lie about the thumbnail's length

  Bytes Build() const {
    Ifd i0 = ifd0, ie = exif, ig = gps, i1 = ifd1;
    // Pointer entries get their values once the layout is known.
    if (!ie.empty()) i0.push_back(Long(0x8769, 0));
    if (!ig.empty()) i0.push_back(Long(0x8825, 0));
    if (!thumbnail.empty()) {
      i1.push_back(Long(513, 0));
      i1.push_back(Long(514, static_cast<uint32_t>(static_cast<int64_t>(thumbnail.size()) + thumbnail_length_delta)));
    }
    if (sort_entries) {
      for (Ifd* d : {&i0, &ie, &ig, &i1}) {
        std::stable_sort(d->begin(), d->end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
      }
    }
    auto ifd_size = [](const Ifd& d) { return static_cast<uint32_t>(2 + 12 * d.size() + 4); };
    const uint32_t p0 = 8;
    const uint32_t pe = p0 + ifd_size(i0);
    const uint32_t pg = pe + (ie.empty() ? 0 : ifd_size(ie));
    const uint32_t p1 = pg + (ig.empty() ? 0 : ifd_size(ig));
    uint32_t data_at = p1 + (i1.empty() ? 0 : ifd_size(i1));

    Bytes data;
    auto place = [&](Entry& e) -> Bytes {
      if (e.data.size() <= 4) {
        Bytes field = e.data;
        field.resize(4, 0);
        return field;
      }
      const uint32_t at = data_at + static_cast<uint32_t>(data.size());
      Append(data, e.data);
      if (data.size() % 2) data.push_back(0);
      return U32(at);
    };
    uint32_t thumb_at = 0;
    if (!thumbnail.empty()) {
      thumb_at = data_at;
      Append(data, thumbnail);
      if (data.size() % 2) data.push_back(0);
    }
    Bytes out = big_ ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    Append(out, U16(42));
    Append(out, U32(p0));
    auto write_ifd = [&](Ifd& d, uint32_t next) {
      Append(out, U16(static_cast<uint32_t>(d.size())));
      for (Entry& e : d) {
        if (e.tag == 0x8769) e.data = U32(pe);
        if (e.tag == 0x8825) e.data = U32(pg);
        if (e.tag == 513) e.data = U32(thumb_at);
        Append(out, U16(e.tag));
        Append(out, U16(e.type));
        Append(out, U32(e.count));
        Append(out, place(e));
      }
      Append(out, U32(next));
    };
    write_ifd(i0, i1.empty() ? 0 : p1);
    if (!ie.empty()) write_ifd(ie, 0);
    if (!ig.empty()) write_ifd(ig, 0);
    if (!i1.empty()) write_ifd(i1, 0);
    Append(out, data);
    return out;
  }

  static void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

 private:
  bool big_;
};

// A JPEG segment: marker, big-endian length, payload.
inline Bytes Segment(uint8_t marker, const Bytes& payload) {
  const size_t length = payload.size() + 2;
  Bytes out = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
  TiffBuilder::Append(out, payload);
  return out;
}

inline Bytes FrameSegment(int width, int height, int components, uint8_t marker = 0xC0) {
  Bytes payload = {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width), uint8_t(components)};
  for (int i = 0; i < components; ++i) TiffBuilder::Append(payload, {uint8_t(i + 1), 0x11, 0});
  return Segment(marker, payload);
}

inline Bytes ExifSegment(const Bytes& tiff) {
  Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
  TiffBuilder::Append(payload, tiff);
  return Segment(0xE1, payload);
}

inline Bytes XmpSegment() {
  const std::string ns = "http://ns.adobe.com/xap/1.0/";
  Bytes payload(ns.begin(), ns.end());
  payload.push_back(0);
  const std::string packet = "<x:xmpmeta xmlns:x='adobe:ns:meta/'></x:xmpmeta>";
  payload.insert(payload.end(), packet.begin(), packet.end());
  return Segment(0xE1, payload);
}

// SOI, the given segments, a frame header, a start of scan with a little entropy-coded data, EOI.
inline Bytes Jpeg(const std::vector<Bytes>& segments, int width, int height, int components = 3) {
  Bytes out = {0xFF, 0xD8};
  for (const Bytes& s : segments) TiffBuilder::Append(out, s);
  TiffBuilder::Append(out, FrameSegment(width, height, components));
  TiffBuilder::Append(out, Segment(0xDA, {1, 1, 0, 0, 0x3F, 0}));
  TiffBuilder::Append(out, {0x12, 0x34, 0xFF, 0x00, 0x56, 0xFF, 0xD9});
  return out;
}

// The smallest thing the scanners take for a thumbnail: SOI, a frame header, EOI.
inline Bytes TinyJpeg(int width, int height) {
  Bytes out = {0xFF, 0xD8};
  TiffBuilder::Append(out, FrameSegment(width, height, 3));
  TiffBuilder::Append(out, {0xFF, 0xD9});
  return out;
}

}  // namespace plb::test

#include "images/exif/tiff_reader.h"

#include <cstring>

#include "platform/checked.h"

namespace plb {

TiffReader::TiffReader(TStream& stream) : stream_(stream) {
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
    memory_ = memory->Bytes();
    in_memory_ = true;
  }
  size_ = stream.Size();
}

bool TiffReader::ReadHeader(bool strict) {
  base_ = stream_.Position();
  uint8_t header[8];
  if (!RangeInside(static_cast<uint64_t>(base_), 8, static_cast<uint64_t>(size_))) return false;
  ReadAt(base_, header, 8);
  const bool mm = header[0] == 'M' && header[1] == 'M';
  const bool ii = header[0] == 'I' && header[1] == 'I';
  if (strict && !mm && !ii) return false;
  big_endian_ = mm;
  first_ifd_ = Order32(header + 4);
  return true;
}

TiffReader TiffReader::Rebased(int64_t base, bool bigEndian) const {
  TiffReader other = *this;
  other.base_ = base;
  other.big_endian_ = bigEndian;
  return other;
}

uint16_t TiffReader::Order16(const uint8_t* p) const {
  return big_endian_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t TiffReader::Order32(const uint8_t* p) const {
  return big_endian_ ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                     : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

void TiffReader::ReadAt(int64_t position, void* out, uint64_t count) {
  if (position < 0 || !RangeInside(static_cast<uint64_t>(position), count, static_cast<uint64_t>(size_))) {
    throw EReadError("Stream read error: a TIFF value lies outside the data");
  }
  if (count == 0) return;
  if (in_memory_) {
    std::memcpy(out, memory_.data() + position, static_cast<size_t>(count));
    return;
  }
  stream_.Seek(position, TSeekOrigin::soBeginning);
  stream_.ReadBuffer(out, static_cast<int64_t>(count));
}

uint16_t TiffReader::U16At(int64_t position) {
  uint8_t b[2];
  ReadAt(position, b, 2);
  return Order16(b);
}

uint32_t TiffReader::U32At(int64_t position) {
  uint8_t b[4];
  ReadAt(position, b, 4);
  return Order32(b);
}

std::vector<uint8_t> TiffReader::BytesAt(int64_t position, uint64_t count) {
  if (position < 0 || !RangeInside(static_cast<uint64_t>(position), count, static_cast<uint64_t>(size_))) {
    throw EReadError("Stream read error: a TIFF value lies outside the data");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  ReadAt(position, bytes.data(), count);
  return bytes;
}

TiffEntry TiffReader::EntryAt(int64_t position) {
  uint8_t b[12];
  ReadAt(position, b, 12);
  TiffEntry e;
  e.tag = Order16(b);
  e.type = Order16(b + 2);
  e.count = Order32(b + 4);
  std::memcpy(e.field.data(), b + 8, 4);
  e.value = Order32(b + 8);
  e.field_position = position + 8;
  return e;
}

uint32_t TiffReader::Integer(const TiffEntry& e) const {
  switch (e.type) {
    case kTiffByte:
    case kTiffSByte:
      return e.field[0];
    case kTiffShort:
    case kTiffSShort:
      return Order16(e.field.data());
    case kTiffUndefined:
      if (e.count == 1) return e.field[0];
      if (e.count == 2) return Order16(e.field.data());
      return e.value;
    default:
      return e.value;
  }
}

std::vector<uint8_t> TiffReader::ValueBytes(const TiffEntry& e, uint64_t element_size) {
  uint64_t total;
  if (!CheckedMul(e.count, element_size, total)) throw EReadError("Stream read error: a TIFF value is too large");
  if (total <= 4) return {e.field.begin(), e.field.begin() + static_cast<ptrdiff_t>(total)};
  return BytesAt(At(e.value), total);
}

std::vector<uint32_t> TiffReader::Shorts(const TiffEntry& e, uint32_t limit) {
  const uint32_t n = e.count < limit ? e.count : limit;
  std::vector<uint32_t> values;
  if (e.count < 3) {
    for (uint32_t i = 0; i < n; ++i) values.push_back(Order16(e.field.data() + 2 * i));
    return values;
  }
  const std::vector<uint8_t> bytes = BytesAt(At(e.value), uint64_t{n} * 2);
  values.reserve(n);
  for (uint32_t i = 0; i < n; ++i) values.push_back(Order16(bytes.data() + 2 * i));
  return values;
}

double TiffReader::Rational(const TiffEntry& e, uint32_t index, bool* zero_denominator) {
  uint8_t b[8];
  ReadAt(At(e.value) + 8 * static_cast<int64_t>(index), b, 8);
  const uint32_t num = Order32(b);
  const uint32_t den = Order32(b + 4);
  if (zero_denominator) *zero_denominator = den == 0;
  if (den == 0) return 0;
  if (e.type == kTiffSRational) return static_cast<double>(static_cast<int32_t>(num)) / static_cast<int32_t>(den);
  return static_cast<double>(num) / den;
}

}  // namespace plb

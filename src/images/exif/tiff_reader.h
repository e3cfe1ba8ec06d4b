#pragma once
// Checked reading of a TIFF block (the body of an EXIF segment or a TIFF file) from a stream:
// byte order, directory entries and their values, with every offset and count from the file
// checked against the stream's size in 64-bit arithmetic before anything is read or allocated.
// Reads past the end raise EReadError.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "images/codec/stream.h"
#include "images/exif/tiff_tags.h"

namespace plb {

// One 12-byte directory entry.
struct TiffEntry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint32_t value = 0;                 // the value-or-offset field in the block's byte order
  std::array<uint8_t, 4> field = {};  // the same four bytes as stored
  int64_t field_position = 0;         // absolute position of those bytes
};

class TiffReader {
 public:
  // Reads from stream, whose size is taken once; the stream must outlive the reader.
  explicit TiffReader(TStream& stream);

  // Reads the 8-byte header at the stream's position, which becomes the base. "MM" means
  // big-endian, anything else little-endian unless strict, where only "II" is; false when the
  // header cannot be read (or, strict, has no byte-order mark). The magic number is not checked.
  bool ReadHeader(bool strict);

  int64_t Base() const { return base_; }
  int64_t Size() const { return size_; }
  bool BigEndian() const { return big_endian_; }
  uint32_t FirstIfdOffset() const { return first_ifd_; }
  // base + offset: an absolute position (never overflows: offsets are 32-bit).
  int64_t At(uint32_t offset) const { return base_ + static_cast<int64_t>(offset); }
  // The same stream read with another base and byte order: a maker note inside the block that
  // counts its offsets from elsewhere or stores its numbers the other way round.
  TiffReader Rebased(int64_t base, bool bigEndian) const;

  uint16_t U16At(int64_t position);
  uint32_t U32At(int64_t position);
  void ReadAt(int64_t position, void* out, uint64_t count);
  // count bytes at position; fails before allocating when they are not all in the stream.
  std::vector<uint8_t> BytesAt(int64_t position, uint64_t count);

  // The entry at position (12 bytes).
  TiffEntry EntryAt(int64_t position);

  // The entry's single integer value, read inline: BYTE (and SBYTE) the first stored byte, SHORT
  // (and SSHORT) the first stored 16 bits, UNDEFINED with count 1 or 2 one or two bytes, anything
  // else the whole 32-bit field.
  uint32_t Integer(const TiffEntry& e) const;
  // The bytes of a value of count elements of element_size bytes: inline when they fit in four
  // bytes, else at base + offset.
  std::vector<uint8_t> ValueBytes(const TiffEntry& e, uint64_t element_size);
  // SHORT values (inline when fewer than 3); at most `limit` of them are read.
  std::vector<uint32_t> Shorts(const TiffEntry& e, uint32_t limit = UINT32_MAX);
  // The index-th rational at base + offset; signed for SRATIONAL. A zero denominator gives 0 and
  // sets zero_denominator when given.
  double Rational(const TiffEntry& e, uint32_t index, bool* zero_denominator = nullptr);

  uint16_t Order16(const uint8_t* p) const;
  uint32_t Order32(const uint8_t* p) const;

 private:
  TStream& stream_;
  std::span<const uint8_t> memory_;  // the bytes themselves when the stream is in memory
  bool in_memory_ = false;
  int64_t size_ = 0;
  int64_t base_ = 0;
  bool big_endian_ = false;
  uint32_t first_ifd_ = 0;
};

}  // namespace plb

#pragma once
// Bounds-checked reading of integers, reals and texts from a block of bytes, in little- or
// big-endian order. Every read checks what remains first and raises EReadError instead of reading
// past the end, so a parser built on it cannot overrun its input whatever the input claims.
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "platform/checked.h"
#include "platform/error.h"

namespace plb {

enum class Endian { kLittle, kBig };

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes, Endian endian = Endian::kLittle)
      : bytes_(bytes), endian_(endian) {}

  void SetEndian(Endian e) { endian_ = e; }
  Endian GetEndian() const { return endian_; }

  uint64_t Size() const { return bytes_.size(); }
  uint64_t Position() const { return pos_; }
  uint64_t Remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }

  // Moves to an absolute offset; the end itself is a valid position.
  void Seek(uint64_t offset) {
    if (offset > bytes_.size()) Fail("seek beyond the end");
    pos_ = offset;
  }
  void Skip(uint64_t n) { Take(n); }

  uint8_t U8() { return *Take(1); }
  uint16_t U16() { return static_cast<uint16_t>(Unsigned(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Unsigned(4)); }
  uint64_t U64() { return Unsigned(8); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() { return static_cast<int64_t>(U64()); }
  double F64() {
    uint64_t bits = U64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

  // n bytes as a view into the block.
  std::span<const uint8_t> Bytes(uint64_t n) { return {Take(n), static_cast<size_t>(n)}; }

  // A text of n bytes.
  std::string Text(uint64_t n) {
    const uint8_t* p = Take(n);
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
  }

  // A text stored as a 32-bit byte length followed by the bytes; a negative or overlong length
  // fails before anything is allocated.
  std::string LengthPrefixedText() {
    int32_t n = I32();
    if (n < 0) Fail("negative text length");
    return Text(static_cast<uint64_t>(n));
  }

  // A count that must be non-negative and whose items, each at least min_item_bytes long, must
  // fit in what remains; stops a stored count from driving a huge allocation or loop.
  uint32_t Count(uint64_t min_item_bytes) {
    int32_t n = I32();
    if (n < 0) Fail("negative count");
    uint64_t need;
    if (!CheckedMul(static_cast<uint64_t>(n), min_item_bytes, need) || need > Remaining()) Fail("count beyond the end");
    return static_cast<uint32_t>(n);
  }

  [[noreturn]] void Fail(const char* what) const {
    throw EReadError(std::string("Stream read error: ") + what + " at offset " + std::to_string(pos_));
  }

 private:
  const uint8_t* Take(uint64_t n) {
    if (n > Remaining()) Fail("read beyond the end");
    const uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }
  uint64_t Unsigned(int n) {
    const uint8_t* p = Take(static_cast<uint64_t>(n));
    uint64_t v = 0;
    if (endian_ == Endian::kLittle) {
      for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    } else {
      for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    }
    return v;
  }

  std::span<const uint8_t> bytes_;
  uint64_t pos_ = 0;
  Endian endian_;
};

}  // namespace plb

#pragma once
// Checked arithmetic for sizes, counts and offsets read from files and the network. Every such
// value is hostile until one of these has accepted it.
#include <cstdint>
#include <limits>

namespace plb {

// a + b, or false when it does not fit in 64 bits.
inline bool CheckedAdd(uint64_t a, uint64_t b, uint64_t& out) { return !__builtin_add_overflow(a, b, &out); }

// a * b, or false when it does not fit in 64 bits.
inline bool CheckedMul(uint64_t a, uint64_t b, uint64_t& out) { return !__builtin_mul_overflow(a, b, &out); }

// True when the range [offset, offset + length) lies inside [0, size).
inline bool RangeInside(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

}  // namespace plb

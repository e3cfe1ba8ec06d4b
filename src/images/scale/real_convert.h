#pragma once
// Converting a real number to an integer where a NaN, an infinity or a value out of range can
// reach the conversion (sizes and ratios from files, stored settings): C++ leaves that undefined,
// so these raise ERangeError instead, which the callers treat as any other failure.
#include <cmath>
#include <cstdint>

#include "platform/error.h"

namespace plb {

// trunc(v) as a 32-bit integer, or ERangeError.
inline int32_t TruncToInt(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0))
    throw ERangeError("Range check error: invalid real to integer conversion");
  return static_cast<int32_t>(v);
}

// 0 for v <= 0, 255 for v >= 255, otherwise trunc(v + 0.5); a NaN gives 0.
inline uint8_t RoundClampByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v + 0.5);
}

}  // namespace plb

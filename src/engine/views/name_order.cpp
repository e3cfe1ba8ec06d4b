#include "engine/views/name_order.h"

#include <algorithm>
#include <cstdint>

namespace plb {

namespace {

// Full-width "Ａ" to "Ｚ" are EF BC A1..BA in UTF-8; their lower-case forms "ａ" to "ｚ" are
// EF BD 81..9A. Folding rewrites the last two bytes and keeps every sequence three bytes long.
bool IsFullWidthUpper(std::string_view s, size_t i) {
  return i + 2 < s.size() && static_cast<uint8_t>(s[i]) == 0xEF && static_cast<uint8_t>(s[i + 1]) == 0xBC &&
         static_cast<uint8_t>(s[i + 2]) >= 0xA1 && static_cast<uint8_t>(s[i + 2]) <= 0xBA;
}

// The folded byte at i; full-width capitals are handled a whole sequence at a time by the caller.
uint8_t FoldAscii(uint8_t c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c;
}

// Yields the folded bytes of a text one by one.
class FoldedBytes {
 public:
  // From byte start on, which must begin a character.
  FoldedBytes(std::string_view s, size_t start) : s_(s), i_(start) {}
  bool Done() const { return i_ >= s_.size() && pending_ == 0; }
  uint8_t Next() {
    if (pending_ > 0) {
      --pending_;
      return pending_ == 1 ? second_ : third_;
    }
    if (IsFullWidthUpper(s_, i_)) {
      const uint8_t last = static_cast<uint8_t>(s_[i_ + 2]);
      second_ = 0xBD;
      third_ = static_cast<uint8_t>(last - 0xA1 + 0x81);
      pending_ = 2;
      i_ += 3;
      return 0xEF;
    }
    return FoldAscii(static_cast<uint8_t>(s_[i_++]));
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
  int pending_ = 0;
  uint8_t second_ = 0, third_ = 0;
};

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  // Equal ASCII bytes fold alike; the folding starts behind them, at a character boundary of both.
  size_t same = 0;
  const size_t shorter = std::min(a.size(), b.size());
  while (same < shorter && a[same] == b[same] && static_cast<uint8_t>(a[same]) < 0x80) ++same;
  FoldedBytes fa(a, same), fb(b, same);
  while (!fa.Done() && !fb.Done()) {
    const uint8_t ca = fa.Next(), cb = fb.Next();
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (!fa.Done()) return 1;
  if (!fb.Done()) return -1;
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  FoldedBytes f(text, 0);
  while (!f.Done()) out.push_back(static_cast<char>(f.Next()));
  return out;
}

}  // namespace plb

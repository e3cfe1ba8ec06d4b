#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <string>

namespace plb::platform {

namespace {

// Lower case with "_" as "-", for comparing encoding names.
std::string CanonicalName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '_') c = '-';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out += c;
  }
  return out;
}

bool IsShiftJisName(const std::string& n) {
  return n == "shift-jis" || n == "windows-31j" || n == "cp932" || n == "ms-kanji" || n == "x-sjis" || n == "sjis" ||
         n == "csshiftjis" || n == "ms932";
}

bool IsEucJpName(const std::string& n) {
  return n == "euc-jp" || n == "eucjp" || n == "x-euc-jp" || n == "cseucpkdfmtjapanese";
}

// The decoded code point at text[i] and its length; length 0 when the bytes there are no valid
// UTF-8 sequence.
char32_t DecodeUtf8(std::string_view text, size_t i, size_t& length) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  length = 0;
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  size_t need;
  char32_t cp;
  if ((b0 & 0xE0) == 0xC0) {
    need = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + need > text.size()) return 0;
  for (size_t k = 1; k < need; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[need] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = need;
  return cp;
}

}  // namespace

bool IsJapaneseLegacyEncoding(std::string_view encoding_name) {
  std::string n = CanonicalName(encoding_name);
  return IsShiftJisName(n) || IsEucJpName(n);
}

std::string ConvertToUtf8(std::string_view text, std::string_view encoding_name) {
  std::string n = CanonicalName(encoding_name);
  std::string from = IsShiftJisName(n) ? "CP932" : IsEucJpName(n) ? "EUC-JP" : std::string(encoding_name);
  // One converter per call: an iconv_t keeps shift state and must not be shared between threads.
  iconv_t cd = ::iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw ETextEncodingError("Unknown text encoding: " + std::string(encoding_name));
  }
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char buffer[4096];
  bool flushing = false;
  while (true) {
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    size_t rc =
        flushing ? ::iconv(cd, nullptr, nullptr, &out_ptr, &out_left) : ::iconv(cd, &in, &in_left, &out_ptr, &out_left);
    out.append(buffer, sizeof buffer - out_left);
    if (rc != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // the input is done; let a stateful encoding close its state
      continue;
    }
    if (errno == E2BIG) continue;
    size_t offset = text.size() - in_left;
    ::iconv_close(cd);
    throw ETextEncodingError("Invalid " + std::string(encoding_name) + " text at byte " + std::to_string(offset));
  }
  ::iconv_close(cd);
  return out;
}

int ShiftJisWidth(std::string_view utf8) {
  int width = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t length;
    char32_t cp = DecodeUtf8(utf8, i, length);
    if (length == 0) {
      width += 1;
      i += 1;
      continue;
    }
    width += cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F) ? 1 : 2;
    i += length;
  }
  return width;
}

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    uint32_t code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xe0) == 0xc0) {
      extra = 1, code = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
      extra = 2, code = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
      extra = 3, code = c & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    i += extra + 1;
  }
  return true;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

}  // namespace plb::platform

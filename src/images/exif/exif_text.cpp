#include "images/exif/exif_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace plb {
namespace {

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    if (n == 2 && c < 0xC2) return false;  // overlong
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Shift_JIS (CP932) bytes to UTF-8; false when they are not valid CP932. A converter per call:
// iconv state is not shared between threads.
bool Cp932ToUtf8(std::string_view in, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  std::vector<char> input(in.begin(), in.end());
  char* src = input.data();
  size_t src_left = input.size();
  char chunk[1024];
  bool ok = true;
  while (src_left > 0) {
    char* dst = chunk;
    size_t dst_left = sizeof chunk;
    const size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(chunk, static_cast<size_t>(dst - chunk));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

std::string Latin1ToUtf8(std::string_view in) {
  std::string out;
  for (unsigned char c : in) AppendUtf8(out, c);
  return out;
}

std::string UpToNul(std::span<const uint8_t> bytes) {
  size_t n = 0;
  while (n < bytes.size() && bytes[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

// ISO-2022-JP style text: ESC "$" x enters two-byte mode, ESC "(" x leaves it; every pair in
// two-byte mode is a JIS X 0208 code, turned into Shift_JIS by the standard arithmetic.
std::string JisToShiftJis(std::span<const uint8_t> bytes) {
  std::string out;
  bool two_byte = false;
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t c = bytes[i];
    if (c == 0x1B && i + 2 < bytes.size() && (bytes[i + 1] == '$' || bytes[i + 1] == '(')) {
      two_byte = bytes[i + 1] == '$';
      i += 3;
      continue;
    }
    if (two_byte && i + 1 < bytes.size()) {
      uint8_t j1 = c;
      uint8_t j2 = bytes[i + 1];
      const uint8_t s1 = static_cast<uint8_t>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
      const uint8_t s2 = static_cast<uint8_t>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
      out += static_cast<char>(s1);
      out += static_cast<char>(s2);
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
    ++i;
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\0')) out.pop_back();
  return out;
}

std::string Utf16ToUtf8(std::span<const uint8_t> bytes, bool big_endian) {
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t u = big_endian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t lo = big_endian ? (bytes[i + 2] << 8 | bytes[i + 3]) : (bytes[i + 3] << 8 | bytes[i + 2]);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = '?';  // a lone surrogate has no character
    AppendUtf8(out, u);
  }
  return out;
}

}  // namespace

TDateTime ParseExifDateTime(std::string_view text) {
  return ParseDateTimeText(text);
}

std::string FormatExifDateTime(TDateTime value) {
  return FormatDateTime("yyyy:mm:dd hh:nn:ss", value);
}

std::string UpperFileExtension(std::string_view fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return "";
  std::string ext(fileName.substr(dot));
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return ext;
}

bool IsExifExtension(std::string_view fileName) {
  const std::string ext = UpperFileExtension(fileName);
  if (ext.size() < 2) return false;
  static constexpr std::string_view kList =
      ".JPEG;.JPE;.JPG;.THM;.TIF;.TIFF;.NSK;.NEF;.CR2;.CRW;.ORF;.PEF;.SRF;.ERF;.DNG;.RAF";
  return kList.find(ext) != std::string_view::npos;
}

bool IsOldOwnWriter(std::string_view software) {
  if (software.find("Orin") == std::string_view::npos) return false;
  const size_t start = software.find_first_of("0123456789.");
  if (start == std::string_view::npos) return false;
  size_t end = software.find_first_not_of("0123456789.", start);
  if (end == std::string_view::npos) end = software.size();
  const std::string run(software.substr(start, end - start));
  // The run must read as a whole number: digits with at most one point, at least one digit.
  if (run.find('.') != run.rfind('.') || run.find_first_of("0123456789") == std::string::npos) return false;
  return std::strtod(run.c_str(), nullptr) <= 4;
}

std::string ExifAsciiBytes(std::span<const uint8_t> bytes) {
  std::string text = UpToNul(bytes);
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 0x01 && u <= 0x09) || u == 0x0B || u == 0x0C || (u >= 0x0E && u <= 0x1E)) c = ' ';
  }
  return text;
}

std::string ExifAsciiText(std::span<const uint8_t> bytes) {
  return DecodeCameraText(ExifAsciiBytes(bytes));
}

std::string DecodeCameraText(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  if (Cp932ToUtf8(bytes, out)) return out;
  return Latin1ToUtf8(bytes);
}

std::string DecodeCodedText(std::span<const uint8_t> bytes, bool bigEndianBlock, std::string_view software) {
  if (bytes.size() <= 8) return "";
  const std::string code = UpToNul(bytes.first(8));
  const std::span<const uint8_t> text = bytes.subspan(8);
  if (code == "ASCII") return DecodeCameraText(UpToNul(text));
  if (code == "JIS") return DecodeCameraText(JisToShiftJis(text));
  if (code == "UNICODE") {
    if (IsOldOwnWriter(software)) return Utf16ToUtf8(text, false);
    if (text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF) return Utf16ToUtf8(text.subspan(2), true);
    if (text.size() >= 2 && text[0] == 0xFF && text[1] == 0xFE) return Utf16ToUtf8(text.subspan(2), false);
    return Utf16ToUtf8(text, bigEndianBlock);
  }
  return DecodeCameraText(UpToNul(text));
}

}  // namespace plb

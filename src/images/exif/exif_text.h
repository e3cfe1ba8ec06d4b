#pragma once
// The texts of EXIF blocks: the date text form, the file-name test, the recognition of files from
// the program's own old EXIF writer, and the decoding of camera texts and coded comments into
// UTF-8.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/date_time.h"

namespace plb {

// "yyyy:mm:dd hh:nn:ss" → date-time; 0 when the date is not valid, the date alone when the time
// is not.
TDateTime ParseExifDateTime(std::string_view text);
// date-time → "yyyy:mm:dd hh:nn:ss".
std::string FormatExifDateTime(TDateTime value);

// The file name's extension, dot included, in upper case; "" when it has none.
std::string UpperFileExtension(std::string_view fileName);

// True when the file name's extension (dot included, any letter case) belongs to the formats that
// carry EXIF: JPEG, THM, TIFF and the camera RAW formats.
bool IsExifExtension(std::string_view fileName);

// True for the Software text of files written by old versions (4 and below) of the program's own
// EXIF writer: the text contains "Orin" and its first run of digits and dots reads as a number
// not above 4.
bool IsOldOwnWriter(std::string_view software);

// An EXIF ASCII value as shown: up to the first NUL, control bytes (other than LF and CR) as
// spaces, then decoded to UTF-8 (see DecodeCameraText).
std::string ExifAsciiText(std::span<const uint8_t> bytes);
// The bytes up to the first NUL with control bytes 01-09, 0B-0C, 0E-1E replaced by spaces.
std::string ExifAsciiBytes(std::span<const uint8_t> bytes);

// Camera texts are ASCII by the standard but in practice UTF-8 or Shift_JIS: the bytes as they
// are when they are valid UTF-8, else converted from Shift_JIS (CP932), else read as Latin-1.
std::string DecodeCameraText(std::string_view bytes);

// A coded text (user comment, GPS processing method and area name): the first 8 bytes name the
// character code ("ASCII", "JIS", "UNICODE" or another), the rest is the text. UNICODE texts
// follow a byte-order mark when there is one, else the block's byte order; texts from the
// program's old writer (software) are always little-endian. The result is UTF-8.
std::string DecodeCodedText(std::span<const uint8_t> bytes, bool bigEndianBlock, std::string_view software);

}  // namespace plb

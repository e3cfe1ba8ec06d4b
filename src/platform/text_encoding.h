#pragma once
// Texts in the legacy Japanese encodings the service may still send, the display width the
// fixed-width columns of reports count in, and the checks and forms for bytes that are not UTF-8.
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace plb::platform {

PLB_DECLARE_ERROR(ETextEncodingError, Error);

// True for names of the Japanese legacy encodings that are converted before parsing:
// Shift_JIS and its aliases (windows-31j, cp932, ms_kanji, x-sjis, sjis) and EUC-JP (any letter
// case, "-" and "_" alike).
bool IsJapaneseLegacyEncoding(std::string_view encoding_name);

// Converts text from encoding_name to UTF-8 with iconv. Shift_JIS and its aliases are read as
// the Windows code page 932, which is what such documents really are (it adds NEC and IBM
// characters and maps 0x5C to the backslash). Raises ETextEncodingError for an unknown encoding
// and for bytes that are not valid in it, naming the offset.
std::string ConvertToUtf8(std::string_view text, std::string_view encoding_name);

// The width of a UTF-8 text as the Shift-JIS code page counted it: one column for ASCII and for
// half-width katakana (U+FF61 to U+FF9F), two for every other character. A byte that does not
// start a valid UTF-8 sequence counts one.
int ShiftJisWidth(std::string_view utf8);

// True when text is well-formed UTF-8: no stray or missing continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Bytes as two lower-case hexadecimal digits each, and back; FromHex answers nothing for a text
// that is not such pairs (either letter case).
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);

}  // namespace plb::platform

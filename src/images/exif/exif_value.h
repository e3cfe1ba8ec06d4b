#pragma once
// The value of one EXIF or GPS property as read from its directory entry, before it becomes a
// display text: how the entry is read (ExifValueKind) and what that yields (ExifValue).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/date_time.h"

namespace plb {

// How a property's value is read from its entry; each kind fills its own fields of ExifValue.
enum class ExifValueKind {
  kText,         // text: ASCII bytes shown as camera text
  kCopyright,    // text: the first of the two NUL-separated notices of one Copyright entry
  kVersion,      // text: the first four bytes ("0220")
  kMakerNote,    // integer: where the note lies; count: its length in bytes
  kCodedText,    // bytes: an 8-byte character-code name and the text, as stored
  kDate,         // date: "yyyy:mm:dd hh:nn:ss"
  kSubSecond,    // integer: the digits of a sub-second text
  kInteger,      // integer: the first value of an integer entry
  kRational,     // real, zero_denominator: the first rational
  kShorts,       // numbers, count: every value
  kShortPair,    // numbers, count: the first two values
  kSubjectArea,  // numbers, count: two to four values; more or fewer only counted
  kNone,         // nothing is read, the property is only present
  kSoundFile,    // text: a file name of at most 13 bytes
  kGpsVersion,   // numbers: four bytes
  kTriple,       // triple: three rationals (degrees or hours, minutes, seconds)
  kGpsDate,      // date: "yyyy:mm:dd", the day only
};

// The decoded value of one property; which fields are used depends on its kind.
struct ExifValue {
  std::string text;            // texts (UTF-8), version bytes
  std::vector<uint8_t> bytes;  // coded texts, as stored
  int64_t integer = 0;         // enumerations, sub-seconds, sizes, maker-note position
  int64_t count = 0;           // maker-note byte count, number of values
  double real = 0;             // rationals
  bool zero_denominator = false;
  TDateTime date = 0;
  std::vector<int64_t> numbers;    // ISO speeds, subject area and location, GPS version
  std::array<double, 3> triple{};  // GPS coordinates and time
};

}  // namespace plb

#pragma once
// The formatters that turn a property's value into its Japanese display text. The property table
// (exif_property.cpp) names one per property, with the pick-list it looks codes up in and the
// companion property whose value it also shows. A formatter throws when the value cannot be shown;
// the caller shows "Error" then.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "images/exif/exif_value.h"

namespace plb {

// One code of a pick-list and its text. Letter codes (GPS references) are the letter's byte.
struct PickEntry {
  int64_t code;
  const char* text;
};

// A property's codes and their texts, and the text of every code not listed.
struct PickList {
  std::span<const PickEntry> entries;
  const char* other = "";
};

// The text of a code.
std::string PickedText(const PickList& picks, int64_t code);
// The text of a one-letter value; a longer or empty value is not listed.
std::string PickedLetterText(const PickList& picks, std::string_view text);

// What a formatter sees.
struct FormatArgs {
  const ExifValue& value;
  const PickList& picks;       // the row's pick-list (a companion's unit list where it shows one)
  const ExifValue* companion;  // the row's companion property; null when it names none or it is absent
  bool big_endian;             // the block's byte order, for coded texts without a byte-order mark
};

using ExifFormatter = std::string (*)(const FormatArgs&);

namespace exif_format {

// Texts and codes.
std::string TextAsIs(const FormatArgs& a);            // the text as read
std::string PickedCode(const FormatArgs& a);          // the pick-list's text of the integer
std::string PickedLetter(const FormatArgs& a);        // the pick-list's text of a one-letter text
std::string CodedText(const FormatArgs& a);           // user comment; companion: Software
std::string VersionNumber(const FormatArgs& a);       // "0220" as "2.20"
std::string MakerNotePlace(const FormatArgs& a);      // where the note lies and its length
std::string NotSupported(const FormatArgs& a);        // present but never shown
std::string DateWithSubSeconds(const FormatArgs& a);  // companion: the sub-seconds property
std::string Milliseconds(const FormatArgs& a);        // sub-seconds on their own
std::string NumberList(const FormatArgs& a);          // "100,200"
std::string GpsVersion(const FormatArgs& a);          // "2.2.0.0"
std::string GpsDate(const FormatArgs& a);             // "2010/05/12"
std::string GpsTime(const FormatArgs& a);             // "14:30:12"

// Sizes and resolutions.
std::string BitsPerPixel(const FormatArgs& a);
std::string Pixels(const FormatArgs& a);
std::string Resolution(const FormatArgs& a);  // companion: the unit, named by the pick-list
std::string Millimetres(const FormatArgs& a);
std::string WholeMillimetres(const FormatArgs& a);

// Exposure.
std::string ShutterSpeed(const FormatArgs& a);  // APEX time value
std::string ExposureTime(const FormatArgs& a);  // seconds
std::string Aperture(const FormatArgs& a);      // APEX aperture value
std::string FNumber(const FormatArgs& a);
std::string ExposureValue(const FormatArgs& a);
std::string FlashState(const FormatArgs& a);  // the flash bit fields
std::string FlashEnergy(const FormatArgs& a);
std::string UpToTwoDecimals(const FormatArgs& a);
std::string SubjectDistance(const FormatArgs& a);
std::string SubjectLocation(const FormatArgs& a);
std::string SubjectArea(const FormatArgs& a);
std::string DigitalZoom(const FormatArgs& a);

// GPS measures.
std::string Coordinate(const FormatArgs& a);  // companion: the N/S or E/W reference
std::string Metres(const FormatArgs& a);
std::string TwoDecimals(const FormatArgs& a);
std::string InCompanionUnit(const FormatArgs& a);  // companion: the unit letter, named by the pick-list
std::string Degrees(const FormatArgs& a);

}  // namespace exif_format
}  // namespace plb

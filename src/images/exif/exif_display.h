#pragma once
// TExifItem decodes the 95 EXIF and GPS properties of one file (exif_property.h) into typed
// values and turns each into its Japanese display text, for the EXIF panel, the overwrite dialog
// and the catalog item's EXIF listing. It only reads; a property that cannot be decoded is
// absent, one that cannot be formatted shows "Error".
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/date_time.h"
#include "images/exif/exif_property.h"
#include "images/codec/stream.h"

namespace plb {

class TiffReader;
struct TiffEntry;

class TExifItem {
 public:
  // A JPEG's first APP1 segment (only when it is EXIF), or, for other files but RAF, the TIFF
  // block found by FindTiffHeader. True when an EXIF block was parsed; every error gives false.
  bool LoadFromFile(const std::string& fileName, bool isJpeg);
  // Parses the TIFF block at the stream's position.
  bool LoadFromStream(TStream& stream);

  bool HasProperty(int index) const;
  // The value's display text; absentText when the property is absent, "Error" when it cannot be
  // formatted.
  std::string ValueText(int index, std::string_view absentText) const;
  // The value text on one line, trimmed; with a label, Format(format, label, text).
  std::string PropertyText(int index, bool withLabel, std::string_view absentText, std::string_view format) const;
  // Lines in display order: only the present properties, or all 95 with absentText for the rest.
  std::vector<std::string> PropertyLines(bool allProperties, std::string_view format,
                                         std::string_view absentText) const;

  // The shooting date (DateTimeOriginal), 0 when absent.
  TDateTime ShootingDate() const;

 private:
  // The decoded value of one property; which fields are used depends on the property.
  struct Value {
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

  void DecodeEntry(TiffReader& r, const TiffEntry& e, bool gps);
  void DecodeValue(TiffReader& r, const TiffEntry& e, int property, Value& v);
  std::string FormatValue(int index) const;
  std::string FormatDate(int date_property, int sub_property) const;
  std::string FormatResolution(int index, int unit_property) const;
  std::string FormatCoordinate(int index, int letter_property) const;

  std::bitset<kExifPropertyCount> present_;
  std::array<Value, kExifPropertyCount> values_;
  bool big_endian_ = false;
};

}  // namespace plb

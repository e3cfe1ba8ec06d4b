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
  using Value = ExifValue;

  void DecodeEntry(TiffReader& r, const TiffEntry& e, bool gps);
  void DecodeValue(TiffReader& r, const TiffEntry& e, int property, Value& v);
  std::string FormatValue(int index) const;

  std::bitset<kExifPropertyCount> present_;
  std::array<Value, kExifPropertyCount> values_;
  bool big_endian_ = false;
};

}  // namespace plb

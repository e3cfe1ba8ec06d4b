#pragma once
// The 95 EXIF and GPS properties that the EXIF listing shows, one table row each: the label, the
// tag the value is read from, how it is read, how it is shown, and the fixed order in which lists
// show them. Properties 0-63 come from IFD0 and the Exif directory, 64-94 from the GPS directory.
#include <array>
#include <string>

#include "images/exif/exif_value.h"
#include "images/exif/exif_value_format.h"

namespace plb {

constexpr int kExifPropertyCount = 95;
constexpr int kFirstGpsProperty = 64;

struct ExifProperty {
  const char* label;
  int tag;
  ExifValueKind kind;
  ExifFormatter format;
  PickList picks{};
  int companion = -1;  // another property whose value the text also shows (-1 for none)
};

// The row of a property in 0..94.
const ExifProperty& PropertyAt(int index);

// The label shown for a property ("" outside 0..94).
std::string PropertyLabel(int index);
// The tag a property is read from; -1 outside 0..94.
int PropertyTag(int index);
// The property a tag feeds, 95 for a tag of no property. IFD0/Exif tags and GPS tags share the
// number space here; the reader asks only for the directory's own range.
int TagProperty(int tag);
// Like TagProperty, restricted to the GPS directory (64..94) or the others (0..63).
int TagPropertyIn(int tag, bool gps);

// The order in which lists show the properties.
const std::array<int, kExifPropertyCount>& PropertyDisplayOrder();

}  // namespace plb

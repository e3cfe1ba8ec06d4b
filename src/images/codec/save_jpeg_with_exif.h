#pragma once
// Saving an edited photo as a JPEG that keeps the EXIF data of its source file, brought up to
// date for the new picture (size, orientation, modification date, subject area, thumbnail).
#include <cstdint>
#include <string>

#include "images/codec/jpeg_image.h"
#include "images/codec/stream.h"

namespace plb {

// The position of the first marker after the start of image that is not an application segment:
// where the EXIF segment goes. -1 when the stream holds no JPEG or it ends before such a marker.
int64_t FindJpegInsertPoint(TStream& stream);

// A 160 × 120 (120 × 160 for upright pictures) thumbnail of the image, black-padded, quality 95.
TJpegImage MakeExifThumbnail(const TJpegImage& image);

// Writes image (already in its final orientation and size) to destination with the EXIF block of
// source; rotation (0-3) and the flips say how the source pixels were turned. Returns the size of
// the file written with EXIF, or -1 when it was written as a plain JPEG because the EXIF block
// could not be carried. The destination, which may be the source itself, is replaced through a
// temporary file: when even the plain write fails, the error is raised and the old file stays.
int64_t SaveJpegWithExif(const TJpegImage& image, const std::string& source, const std::string& destination, bool flipH,
                         bool flipV, int rotation);

// The turn that a catalog item's orientation (1..8) applies, as SaveJpegWithExif takes it.
struct TOrientationTurn {
  int rotation = 0;
  bool flipV = false;
  bool flipH = false;
};
TOrientationTurn TurnOfOrientation(int orientation);

}  // namespace plb

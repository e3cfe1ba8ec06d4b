#pragma once
// The numbers of the TIFF and EXIF world that the readers and writers share: field types and the
// tags they look for, each named once here. (The property table of the EXIF listing keeps its own
// tag column: it is the one place that maps all 95 displayed properties.)
#include <cstdint>

namespace plb {

// TIFF field types as stored in a directory entry.
enum TiffType : uint16_t {
  kTiffByte = 1,
  kTiffAscii = 2,
  kTiffShort = 3,
  kTiffLong = 4,
  kTiffRational = 5,
  kTiffSByte = 6,
  kTiffUndefined = 7,
  kTiffSShort = 8,
  kTiffSLong = 9,
  kTiffSRational = 10,
  kTiffFloat = 11,
  kTiffDouble = 12,
  kTiffIfd = 13,  // a LONG that points at a directory
};

// Image structure (IFD0 and IFD1).
constexpr uint16_t kTagImageWidth = 0x0100;
constexpr uint16_t kTagImageLength = 0x0101;
constexpr uint16_t kTagBitsPerSample = 0x0102;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagPhotometricInterpretation = 0x0106;
constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagStripOffsets = 0x0111;
constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagSamplesPerPixel = 0x0115;
constexpr uint16_t kTagRowsPerStrip = 0x0116;
constexpr uint16_t kTagStripByteCounts = 0x0117;
constexpr uint16_t kTagXResolution = 0x011A;
constexpr uint16_t kTagYResolution = 0x011B;
constexpr uint16_t kTagPlanarConfiguration = 0x011C;
constexpr uint16_t kTagResolutionUnit = 0x0128;
constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagSubIfds = 0x014A;
constexpr uint16_t kTagJpegInterchangeFormat = 0x0201;        // the thumbnail's offset
constexpr uint16_t kTagJpegInterchangeFormatLength = 0x0202;  // the thumbnail's length
constexpr uint16_t kTagYCbCrSubSampling = 0x0212;
constexpr uint16_t kTagPrintImageMatching = 0xC4A5;

// Pointers to the other directories of a block.
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTagInteroperabilityIfd = 0xA005;

// The Exif directory.
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagSubjectArea = 0x9214;
constexpr uint16_t kTagMakerNote = 0x927C;
constexpr uint16_t kTagFlashpixVersion = 0xA000;
constexpr uint16_t kTagPixelXDimension = 0xA002;
constexpr uint16_t kTagPixelYDimension = 0xA003;
constexpr uint16_t kTagSceneType = 0xA301;

// The GPS directory.
constexpr uint16_t kTagGpsVersionId = 0x0000;

// The interoperability directory.
constexpr uint16_t kTagRelatedImageWidth = 0x1001;
constexpr uint16_t kTagRelatedImageLength = 0x1002;

}  // namespace plb

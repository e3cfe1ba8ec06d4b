#pragma once
// Camera RAW files are shown through the JPEG preview their makers embed; the sensor data are
// never demosaiced. This reader finds that preview by the layout each maker uses (TIFF
// directories, sub-directories, maker notes, the CIFF heap of ".CRW") and copies it out.
#include <cstdint>
#include <string>
#include <string_view>

#include "images/codec/stream.h"
#include "images/exif/exif_scanner.h"

namespace plb {

// RAW types by extension: 1 CR2, 2 CRW, 3 DNG, 4 ERF, 5 MRW, 6 NEF, 7 NSK, 8 ORF, 9 PEF, 10 RAF,
// 11 SRF, 0 anything else.
enum TRawType : int {
  rtNone = 0,
  rtCR2 = 1,
  rtCRW = 2,
  rtDNG = 3,
  rtERF = 4,
  rtMRW = 5,
  rtNEF = 6,
  rtNSK = 7,
  rtORF = 8,
  rtPEF = 9,
  rtRAF = 10,
  rtSRF = 11,
};
int RawTypeOfExtension(std::string_view extension);
int RawTypeOfFile(const std::string& fileName);

// What ReadRawInfo found: the main preview's pixel format beside the TIFF record, whose main
// fields describe the main preview and whose thumbnail fields (and owned stream) the preview
// that is decoded.
struct TRawInfoRec {
  int32_t pixel_format = 6;
  TTiffInfoRec tiff;
};

// mainOnly: the thumbnail fields describe the main preview (what a full view decodes);
// otherwise the thumbnail preview is read only when withThumbnail is set. Never raises: a file
// without a preview or with a layout this reader does not know gives an empty result.
TRawInfoRec ReadRawInfo(const std::string& fileName, bool mainOnly, bool withThumbnail);
TRawInfoRec ReadRawInfo(TStream& stream, int rawType, bool mainOnly, bool withThumbnail);

}  // namespace plb

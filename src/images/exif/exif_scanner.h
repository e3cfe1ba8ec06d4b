#pragma once
// Fast, stateless scanners that read what the catalog needs from photo files without decoding a
// pixel: the JPEG start and marker walk, frame size, application segments, and the TIFF walk of
// an EXIF block for orientation, shooting date, main image size and the embedded thumbnail.
// Every scanner contains its errors: it answers what it found so far or its "nothing" value.
// Only FindJpegStart raises (EAbort), and the other scanners catch that.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/date_time.h"
#include "images/codec/stream.h"
#include "platform/error.h"

namespace plb {

// Pixel-format codes of the frame scan.
constexpr int32_t kPixelFormat8Bit = 3;
constexpr int32_t kPixelFormat24Bit = 6;

struct TJpegFrameInfoRec {
  int32_t pixel_format = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool has_exif = false;  // an APP1 segment starting "Exif\0\0" was passed
};

struct TTiffInfoRec {
  // Main image (IFD0).
  int32_t width = 0;
  int32_t height = 0;
  int32_t compression = 1;
  int64_t strip_offset = 0;  // absolute position
  int64_t strip_byte_count = 0;
  bool has_exif_ifd = false;
  int32_t orientation = 1;
  TDateTime shooting_date = 0;  // DateTimeOriginal of the Exif directory
  // Thumbnail (IFD1).
  int32_t thumb_width = 0;
  int32_t thumb_height = 0;
  int32_t thumb_compression = 6;
  int32_t thumb_orientation = 1;
  int64_t thumb_offset = 0;  // absolute position
  int64_t thumb_length = 0;
  std::unique_ptr<TMemoryStream> thumb_stream;  // exactly the thumbnail's bytes, or none
};

struct TJpegInfoExRec {
  int32_t pixel_format = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool has_exif = false;
  int32_t orientation = 1;
  TDateTime shooting_date = 0;
  int32_t thumb_width = 0;
  int32_t thumb_height = 0;
  int32_t thumb_orientation = 1;
  int64_t thumb_offset = 0;  // absolute position of the thumbnail in the scanned stream
  int64_t thumb_length = 0;
  std::unique_ptr<TMemoryStream> thumb_stream;
};

// The request and obtained bits of ReadJpegInfo.
constexpr uint32_t kJpegInfoExif = 1;       // orientation and shooting date
constexpr uint32_t kJpegInfoThumbnail = 2;  // the EXIF thumbnail

// Position of the start-of-image marker: at 0, at 128 (a 128-byte prefix header) or the first
// FF D8 within the first 1024 bytes; the stream is left there. EAbort when there is none.
int64_t FindJpegStart(TStream& stream);

// Frame size, pixel format and the presence of EXIF; width and height -1 on a damaged stream.
// Leaves the stream where it was.
void ReadJpegFrameInfo(TStream& stream, bool findStart, TJpegFrameInfoRec& info);

// Walks the TIFF block at the stream's position (a byte-order mark). Never raises; leaves the
// stream at the block's start.
void ReadTiffInfo(TStream& stream, bool readThumbnail, TTiffInfoRec& info);
// A TIFF file: the block at offset 0, without the thumbnail.
void ReadTiffInfoFromFile(const std::string& fileName, TTiffInfoRec& info);

// Orientation, shooting date and thumbnail of a JPEG stream as requested in flags; flags comes
// back as the obtained set. Never raises.
void ReadJpegInfo(TStream& stream, uint32_t& flags, TJpegInfoExRec& info);
void ReadJpegInfoFromFile(const std::string& fileName, uint32_t& flags, TJpegInfoExRec& info);

void FreeJpegInfo(TJpegInfoExRec& info);
void FreeTiffInfo(TTiffInfoRec& info);

// One marker segment of a JPEG stream: where its marker is, the marker byte, and the stored length
// (the payload and the two length bytes; 0 for a marker that stands alone).
struct TJpegSegment {
  int64_t position = 0;
  uint8_t marker = 0;
  uint16_t length = 0;
};
// The one walk over the marker segments of a JPEG stream, from the start of image up to the
// image data. visit is called with the stream just after the segment's length bytes and answers
// whether to go on. Raises what the stream raises.
void WalkJpegSegments(TStream& stream, const std::function<bool(const TJpegSegment&)>& visit);

// Position of the first APPn marker (n 0..15), the stream left there; -1 when there is none.
int64_t FindAppSegment(TStream& stream, int n);
// Position of the first APP1 segment that holds an EXIF block, wherever other APP1 segments
// (an XMP packet, say) stand before it; the stream is left there. -1 when there is none.
int64_t FindExifSegment(TStream& stream);
// Copies the payload of the first APPn segment of a file (without marker and length) into target
// and rewinds it; false (target cleared) when there is none.
bool CopyAppSegment(const std::string& fileName, int n, TMemoryStream& target);

// The first "II" or "MM" within 255 bytes from the stream's position; the stream is left there.
// When there is none, -1 and the stream stays after the bytes read.
int64_t FindTiffHeader(TStream& stream);

// "Exif" followed by two NUL bytes.
bool IsExifSignature(const uint8_t* sixBytes);

// True when the 8 bytes at the stream's position are "ORIN_MNH", the maker-note mark of the
// program's own writer; the position is restored.
bool IsMarkedMakerNote(TStream& stream);

}  // namespace plb

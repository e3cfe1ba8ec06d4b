// Feeds arbitrary bytes to every EXIF and JPEG reader, directly from memory and through a small
// buffered stream, and formats every property that comes out.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "images/codec/buffered_stream.h"
#include "images/exif/exif_display.h"
#include "images/exif/exif_scanner.h"

namespace {

void ReadAll(plb::TStream& s) {
  uint32_t flags = plb::kJpegInfoExif | plb::kJpegInfoThumbnail;
  plb::TJpegInfoExRec jpeg;
  plb::ReadJpegInfo(s, flags, jpeg);
  plb::TJpegFrameInfoRec frame;
  s.SetPosition(0);
  plb::ReadJpegFrameInfo(s, true, frame);
  plb::FindAppSegment(s, 1);
  s.SetPosition(0);
  plb::TTiffInfoRec tiff;
  plb::ReadTiffInfo(s, true, tiff);
  s.SetPosition(0);
  if (plb::FindTiffHeader(s) >= 0) {
    plb::TExifItem item;
    if (item.LoadFromStream(s)) item.PropertyLines(true, "%-17s:%s", "---");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  plb::TMemoryStream memory(bytes);
  try {
    ReadAll(memory);
    // The segment copy the property reader works on: after "Exif\0\0" when there is one.
    plb::TExifItem item;
    memory.SetPosition(size >= 6 && plb::IsExifSignature(data) ? 6 : 0);
    if (item.LoadFromStream(memory)) item.PropertyLines(false, "%-17s:%s", "---");

    memory.SetPosition(0);
    plb::TBufferedStream buffered(memory, 7);
    ReadAll(buffered);
  } catch (const plb::Error&) {
    // The stream positioning around the scanners may refuse; the scanners themselves never raise.
  }
  return 0;
}

#include "images/thumbnails/raw_preview_facts.h"

#include "images/codec/raw_reader.h"

namespace plb {

TCacheRawPreview ReadCacheRawPreview(const std::string& fileName) {
  TRawInfoRec raw = ReadRawInfo(fileName, false, true);
  const TTiffInfoRec& t = raw.tiff;
  TCacheRawPreview out;
  out.pixelFormat = raw.pixel_format;
  out.width = t.width;
  out.height = t.height;
  out.hasExif = t.has_exif_ifd;
  out.orientation = t.orientation;
  out.shootingDate = t.shooting_date;
  out.thumbWidth = t.thumb_width;
  out.thumbHeight = t.thumb_height;
  out.thumbCompression = t.thumb_compression;
  out.thumbOrientation = t.thumb_orientation;
  if (t.thumb_stream) out.thumb.assign(t.thumb_stream->Bytes().begin(), t.thumb_stream->Bytes().end());
  return out;
}

}  // namespace plb

#include "images/codec/save_jpeg_with_exif.h"

#include <string_view>

#include "host/log_file.h"
#include "images/exif/exif_block_rewriter.h"
#include "images/exif/exif_scanner.h"
#include "images/codec/photo_write.h"
#include "images/scale/resize.h"

namespace plb {
namespace {

bool IsMarker(uint8_t b) {
  return b != 0x00 && b != 0xFF;
}

}  // namespace

int64_t FindJpegInsertPoint(TStream& stream) {
  try {
    FindJpegStart(stream);
    const int64_t size = stream.Size();
    uint8_t b[2];
    if (stream.Read(b, 2) != 2 || b[0] != 0xFF || b[1] != 0xD8) return -1;
    while (true) {
      const int64_t m = stream.Position();
      if (stream.Read(b, 2) != 2) return -1;  // the stream ended before the image data
      if (b[0] == 0xFF && b[1] >= 0xE0 && b[1] <= 0xEF) {
        uint8_t len[2];
        if (stream.Read(len, 2) != 2) return -1;
        const int64_t next = m + 2 + (int64_t{len[0]} << 8 | len[1]);
        if (next >= size) return -1;
        stream.SetPosition(next);
      } else if (b[0] == 0xFF && IsMarker(b[1])) {
        return m;
      } else {
        stream.SetPosition(m + 6);
        if (stream.Read(b, 2) != 2 || b[0] != 0xFF || !IsMarker(b[1])) return -1;
        return m + 6;
      }
    }
  } catch (const Error&) {
    return -1;
  }
}

TJpegImage MakeExifThumbnail(const TJpegImage& image) {
  const TSize size = image.Size();
  if (size.cx <= 0 || size.cy <= 0) throw EJpegError("an image without pixels has no thumbnail");
  const TSize box = size.cx >= size.cy ? TSize{160, 120} : TSize{120, 160};
  const TSize fit = FitInside(box.cx, box.cy, size.cx, size.cy);
  int scale = dsFull;
  if (size.cx >= 8 * fit.cx) {
    scale = dsEighth;
  } else if (size.cx >= 4 * fit.cx) {
    scale = dsQuarter;
  } else if (size.cx >= 2 * fit.cx) {
    scale = dsHalf;
  }
  Bitmap decoded;
  image.Decode(decoded, scale);
  decoded.MakeBgr24();
  Bitmap small(fit.cx, fit.cy);
  ResizeBitmap(decoded, small, 4);
  Bitmap boxed(box.cx, box.cy);
  boxed.Fill(0, 0, 0);
  const int32_t left = (box.cx - fit.cx) / 2;
  const int32_t top = (box.cy - fit.cy) / 2;
  for (int32_t y = 0; y < fit.cy; ++y) {
    std::copy_n(small.Row(y), int64_t{fit.cx} * 3, boxed.Pixel(left, top + y));
  }
  TJpegImage thumbnail;
  thumbnail.Assign(boxed, 95);
  return thumbnail;
}

namespace {

int64_t WriteWithExif(const TJpegImage& image, const std::string& source, const std::string& destination, bool flipH,
                      bool flipV, int rotation) {
  TExifItemEx exif;
  exif.LoadExif(source);
  if (!exif.Loaded()) throw EExifWriteError("no EXIF block in " + source);
  if (!exif.JpegForm()) exif.ToJpegForm();
  const TSize size = image.Size();
  TSubjectAreaRec area = exif.GetSubjectArea();
  if (area.kind != 3) {
    RotateSubjectArea(area, rotation, flipV, flipH);
    ScaleSubjectArea(area, size.cx, size.cy);
    exif.SetSubjectArea(area);
  }
  TMemoryStream main(std::vector<uint8_t>(image.data.begin(), image.data.end()));
  const int64_t insertPoint = FindJpegInsertPoint(main);
  if (insertPoint < 0) throw EExifWriteError("the new image is not a JPEG");
  exif.SetMainImage(main, insertPoint, size.cy, size.cx, flipH || flipV || rotation != 0);
  if (!exif.Thumbnail().empty()) {
    const TJpegImage thumbnail = MakeExifThumbnail(image);
    TMemoryStream small(std::vector<uint8_t>(thumbnail.data.begin(), thumbnail.data.end()));
    exif.SetThumbnail(small, FindJpegInsertPoint(small));
  } else {
    exif.DropThumbnail();
  }
  return exif.WriteExifJpeg(destination, true);
}

}  // namespace

int64_t SaveJpegWithExif(const TJpegImage& image, const std::string& source, const std::string& destination, bool flipH,
                         bool flipV, int rotation) {
  int64_t result = -1;
  try {
    result = WriteWithExif(image, source, destination, flipH, flipV, rotation);
  } catch (const std::exception& e) {
    LogFailure("SaveJpegWithExif", source, e);
    result = -1;
  }
  if (result < 0) WritePhotoAtomically(destination, image.data);
  return result;
}

TOrientationTurn TurnOfOrientation(int o) {
  TOrientationTurn turn;
  if (o == 3) turn.rotation = 2;
  if (o == 5 || o == 8) turn.rotation = 3;
  if (o == 6 || o == 7) turn.rotation = 1;
  turn.flipV = o == 4 || o == 5 || o == 7;
  turn.flipH = o == 2;
  return turn;
}

}  // namespace plb

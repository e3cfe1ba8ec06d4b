#pragma once
// Turning an image file into a bitmap by its file kind, and the cheap question of what an image is
// (size, pixel format, orientation, shooting date) without decoding its pixels.
//   kind 0 Windows bitmap, 1 JPEG, 3 metafile, 4 JPEG thumbnail file, 5 camera RAW (through its
//   embedded JPEG preview; ".RAF" as a JPEG), 6 movie (a frame), 7 sound (no picture).
// The loaders run on the UI thread and on the thumbnail workers at once; reading whole files,
// extracting movie frames and reading RAW previews for sized loading are serialised by one load
// lock, decoding and resampling run outside it.
#include <cstdint>
#include <mutex>
#include <string>

#include "host/date_time.h"
#include "images/codec/bitmap.h"
#include "images/codec/jpeg_codec.h"
#include "images/codec/metafile.h"
#include "images/scale/resize.h"
#include "images/codec/stream.h"

namespace plb {

struct TImageInfoRec {
  int32_t pixel_format = pf24Bit;
  int32_t width = 0;
  int32_t height = 0;
  bool has_exif = false;
  bool rotated = false;  // orientation > 1
  int32_t orientation = 1;
  int32_t resampled = 0;  // set by sized loading when the picture had to be resampled
  TDateTime shooting_date = 0;
};

// The process-wide load lock.
std::mutex& LoadLock();

// The screen resolution metafiles are measured at; 96 until the shell sets the real one.
void SetScreenDpi(int dpi);
int ScreenDpi();

// Size, pixel format, EXIF orientation and shooting date of a file of a kind.
TImageInfoRec GetImageInfo(const std::string& fileName, int kind);

// Decodes a file of a kind at a decode scale (TDecodeScale). Kind 2 and kinds above 6 raise
// EImageLoadError "未サポートの形式です。"; a RAW file without a preview leaves the bitmap empty.
void LoadImageFile(Bitmap& bitmap, int kind, const std::string& fileName, const TProgressProc& progress = nullptr,
                   int scale = dsFull);

// Decodes a file into a maxWidth by maxHeight box without enlarging it: JPEGs and RAW previews
// at the smallest DCT scale that stays at or above the target, then a final resample (quality:
// the triangle filter, otherwise nearest neighbour). info receives what was learned. JPEG and RAW
// decoder errors reach the caller; other kinds fail silently with an empty bitmap.
void LoadImageToSize(Bitmap& bitmap, const std::string& fileName, int kind, TImageInfoRec& info, bool quality,
                     int32_t maxHeight, int32_t maxWidth);

// Decodes the JPEG at the stream's position into the box; 1 when the result was resampled.
int DecodeJpegToSize(TMemoryStream& stream, Bitmap& bitmap, int32_t maxWidth, bool quality, int32_t imageHeight,
                     int32_t imageWidth, int32_t maxHeight);

// Installs GetImageInfo as the catalog's reader of image headers (pixel size, pixel format,
// orientation, shooting date of an item's file), and the item's EXIF listing ("%-17s:%s" lines of
// the properties the file holds).
void InstallCatalogImageReader();

// The DCT scale for an image of a width shown at a target width: the largest reduction that stays
// at or above the target.
int DecodeScaleFor(int32_t imageWidth, int32_t targetWidth);

}  // namespace plb

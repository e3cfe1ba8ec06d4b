#include "images/codec/image_load.h"

#include "images/exif/exif_display.h"
#include "images/exif/exif_text.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/bmp_file.h"
#include "images/exif/exif_display.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/codec/movie_frame.h"
#include "images/codec/raw_reader.h"

namespace plb {
namespace {

std::atomic<int> g_screenDpi{96};

// Whole files are read only up to this size: nothing the loaders handle comes near it, and a
// larger file is not worth the memory.
constexpr int64_t kMaxWholeFile = int64_t{1} << 31;

std::vector<uint8_t> ReadWholeFileLocked(const std::string& fileName) {
  std::lock_guard<std::mutex> hold(LoadLock());
  TFileStream file(fileName, TFileStream::Mode::kRead);
  const int64_t size = file.Size();
  if (size > kMaxWholeFile) throw EImageLoadError("File too large: " + fileName);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file.ReadBuffer(bytes.data(), size);
  return bytes;
}

// The first bytes of a file, for the header queries: a whole bitmap need not be read to learn
// its size.
std::vector<uint8_t> ReadFileHead(const std::string& fileName, int64_t count) {
  TFileStream file(fileName, TFileStream::Mode::kRead);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min(count, file.Size())));
  file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

std::string LowerExtension(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = fileName.substr(dot);
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return ext;
}

double ScaleFactor(int scale) {
  switch (scale) {
    case dsHalf:
      return 0.5;
    case dsQuarter:
      return 0.25;
    case dsEighth:
      return 0.125;
    default:
      return 1.0;
  }
}

// Decoders without DCT scaling reach the decode scale by resampling with the triangle filter.
void ScaleDown(Bitmap& bitmap, int scale) {
  if (scale == dsFull || bitmap.Empty()) return;
  const float s = static_cast<float>(ScaleFactor(scale));
  const int32_t w = static_cast<int32_t>(static_cast<double>(bitmap.Width() * s) + 0.5);
  const int32_t h = static_cast<int32_t>(static_cast<double>(bitmap.Height() * s) + 0.5);
  Bitmap scaled(w < 1 ? 1 : w, h < 1 ? 1 : h);
  FilterResample(bitmap, scaled, fiTriangle);
  bitmap.Swap(scaled);
}

std::span<const uint8_t> FromPosition(TMemoryStream& stream) {
  const int64_t position = stream.Position();
  const std::span<const uint8_t> all = stream.Bytes();
  if (position < 0 || static_cast<uint64_t>(position) > all.size()) return {};
  return all.subspan(static_cast<size_t>(position));
}

void LoadMetafile(Bitmap& bitmap, const std::string& fileName, int scale) {
  const std::vector<uint8_t> bytes = ReadWholeFileLocked(fileName);
  TSize size;
  if (LowerExtension(fileName) == ".wmf") {
    size = PlaceableSize(ReadPlaceableHeader(bytes), ScreenDpi(), ScaleFactor(scale), false);
  } else {
    size = EnhancedMetafileSize(bytes);
  }
  Bitmap page(size.cx, size.cy);
  page.Fill(255, 255, 255);
  bitmap.Swap(page);
  if (LowerExtension(fileName) != ".wmf") ScaleDown(bitmap, scale);
}

void LoadJpeg(Bitmap& bitmap, const std::string& fileName, int scale) {
  if (scale == dsFull && DecodeJpegIjl(fileName, bitmap, dsFull)) return;
  TMemoryStream stream(ReadWholeFileLocked(fileName));
  FindJpegStart(stream);
  DecodeJpeg(FromPosition(stream), bitmap, scale);
}

void LoadRaw(Bitmap& bitmap, const std::string& fileName, int scale) {
  TRawInfoRec raw = ReadRawInfo(fileName, true, true);
  bitmap.Clear();
  if (!raw.tiff.thumb_stream) return;
  TMemoryStream& preview = *raw.tiff.thumb_stream;
  preview.SetPosition(0);
  if (scale == dsFull && DecodeJpegIjl(preview, bitmap, dsFull)) return;
  preview.SetPosition(0);
  DecodeJpeg(FromPosition(preview), bitmap, scale);
}

void LoadMovie(Bitmap& bitmap, const std::string& fileName, int scale) {
  {
    std::lock_guard<std::mutex> hold(LoadLock());
    GetAnotherImageBMP(fileName, &bitmap);
  }
  ScaleDown(bitmap, scale);
}

void InfoFromJpeg(const TJpegInfoExRec& jpeg, uint32_t obtained, TImageInfoRec& info) {
  info.pixel_format = jpeg.pixel_format;
  info.width = jpeg.width;
  info.height = jpeg.height;
  info.has_exif = jpeg.has_exif;
  if (obtained & kJpegInfoExif) {
    info.orientation = jpeg.orientation;
    info.rotated = jpeg.orientation > 1;
    info.shooting_date = jpeg.shooting_date;
  }
}

void InfoFromRaw(const TRawInfoRec& raw, TImageInfoRec& info) {
  info.pixel_format = raw.pixel_format;
  info.width = raw.tiff.width;
  info.height = raw.tiff.height;
  info.has_exif = raw.tiff.has_exif_ifd;
  info.orientation = raw.tiff.orientation;
  info.rotated = raw.tiff.orientation > 1;
  info.shooting_date = raw.tiff.shooting_date;
}

bool IsRaf(int kind, const std::string& fileName) {
  return kind == 5 && RawTypeOfFile(fileName) == rtRAF;
}

void Resample(const Bitmap& source, Bitmap& destination, bool quality) {
  ResizeBitmap(source, destination, quality ? rmTriangle : rmNearest);
}

}  // namespace

std::mutex& LoadLock() {
  static std::mutex lock;
  return lock;
}

void SetScreenDpi(int dpi) {
  g_screenDpi = dpi > 0 ? dpi : 96;
}
int ScreenDpi() {
  return g_screenDpi;
}

void InstallCatalogImageReader() {
  SetImageHeaderReader([](const TCatalogItem& item, const std::string& path, TItemImageInfo& out) {
    const TImageInfoRec info = GetImageInfo(path, item.Kind());
    if (info.width < 1 || info.height < 1) return false;
    out.pixelFormat = static_cast<uint8_t>(info.pixel_format);
    out.width = info.width;
    out.height = info.height;
    out.hasExif = info.has_exif;
    out.orientation = static_cast<uint16_t>(info.orientation >= 1 && info.orientation <= 8 ? info.orientation : 1);
    out.exifDate = info.shooting_date;
    return true;
  });
  // The information panel's listing: the present properties, label and text.
  SetExifTextsReader([](const TCatalogItem& item, std::vector<std::string>& lines) {
    const std::string path = item.FullPath();
    if (!IsExifExtension(path)) return false;
    TExifItem exif;
    const uint8_t kind = item.Kind();
    if (!exif.LoadFromFile(path, kind == 1 || kind == 4)) return false;
    lines = exif.PropertyLines(false, "%-17s:%s", "---");
    return true;
  });
}

int DecodeScaleFor(int32_t imageWidth, int32_t targetWidth) {
  if (targetWidth < 1) return dsFull;
  const double r = static_cast<double>(imageWidth) / targetWidth;
  return r >= 8 ? dsEighth : r >= 4 ? dsQuarter : r >= 2 ? dsHalf : dsFull;
}

TImageInfoRec GetImageInfo(const std::string& fileName, int kind) {
  TImageInfoRec info;
  switch (kind) {
    case 0: {
      const TBmpInfo bmp = ReadBmpInfo(ReadFileHead(fileName, 256));
      info.pixel_format = bmp.pixel_format;
      info.width = bmp.width;
      info.height = bmp.height;
      break;
    }
    case 1:
    case 4: {
      uint32_t flags = kJpegInfoExif;
      TJpegInfoExRec jpeg;
      ReadJpegInfoFromFile(fileName, flags, jpeg);
      InfoFromJpeg(jpeg, flags, info);
      break;
    }
    case 3: {
      const std::vector<uint8_t> bytes = ReadFileHead(fileName, 64);
      const TSize size = LowerExtension(fileName) == ".wmf"
                             ? PlaceableSize(ReadPlaceableHeader(bytes), ScreenDpi(), 1.0, true)
                             : EnhancedMetafileSize(bytes);
      info.pixel_format = pf24Bit;
      info.width = size.cx;
      info.height = size.cy;
      break;
    }
    case 5:
      InfoFromRaw(ReadRawInfo(fileName, false, false), info);
      break;
    default:
      if (kind >= 6) info.pixel_format = pfDevice;
      break;
  }
  return info;
}

void LoadImageFile(Bitmap& bitmap, int kind, const std::string& fileName, const TProgressProc& progress, int scale) {
  if (IsRaf(kind, fileName)) kind = 1;
  // Kind 2 has no decoder: it fails like the kinds that do not exist.
  if (kind < 0 || kind > 6 || kind == 2) throw EImageLoadError(kUnsupportedFormatText);
  if (progress) progress(0);
  switch (kind) {
    case 0:
      DecodeBmp(ReadWholeFileLocked(fileName), bitmap);
      ScaleDown(bitmap, scale);
      break;
    case 1:
    case 4:
      LoadJpeg(bitmap, fileName, scale);
      break;
    case 3:
      LoadMetafile(bitmap, fileName, scale);
      break;
    case 5:
      LoadRaw(bitmap, fileName, scale);
      break;
    case 6:
      LoadMovie(bitmap, fileName, scale);
      break;
    default:
      break;
  }
  if (progress) progress(100);
}

int DecodeJpegToSize(TMemoryStream& stream, Bitmap& bitmap, int32_t maxWidth, bool quality, int32_t imageHeight,
                     int32_t imageWidth, int32_t maxHeight) {
  if (imageWidth < 1 && imageHeight < 1) throw EAbort("Operation aborted");
  const std::span<const uint8_t> jpeg = FromPosition(stream);
  if (maxWidth >= imageWidth && maxHeight >= imageHeight) {
    DecodeJpeg(jpeg, bitmap, dsFull);
    return 0;
  }
  const TSize target = FitInside(maxWidth, maxHeight, imageWidth, imageHeight);
  const bool reduce = imageWidth >= 2 * int64_t{maxWidth} || imageHeight >= 2 * int64_t{maxHeight};
  Bitmap decoded;
  DecodeJpeg(jpeg, decoded, reduce ? DecodeScaleFor(imageWidth, target.cx) : dsFull);
  if (decoded.Width() == target.cx && decoded.Height() == target.cy) {
    bitmap.Swap(decoded);
    return 0;
  }
  Bitmap out(target.cx, target.cy);
  Resample(decoded, out, quality);
  bitmap.Swap(out);
  return 1;
}

void LoadImageToSize(Bitmap& bitmap, const std::string& fileName, int kind, TImageInfoRec& info, bool quality,
                     int32_t maxHeight, int32_t maxWidth) {
  if (kind == 1 || kind == 4 || IsRaf(kind, fileName)) {
    TMemoryStream stream(ReadWholeFileLocked(fileName));
    if (stream.Size() == 0) return;
    uint32_t flags = kJpegInfoExif;
    TJpegInfoExRec jpeg;
    ReadJpegInfo(stream, flags, jpeg);
    InfoFromJpeg(jpeg, flags, info);
    FindJpegStart(stream);
    info.resampled = DecodeJpegToSize(stream, bitmap, maxWidth, quality, info.height, info.width, maxHeight);
    return;
  }
  if (kind == 5) {
    TRawInfoRec raw;
    {
      std::lock_guard<std::mutex> hold(LoadLock());
      raw = ReadRawInfo(fileName, true, true);
    }
    InfoFromRaw(raw, info);
    if (!raw.tiff.thumb_stream) return;
    TMemoryStream& preview = *raw.tiff.thumb_stream;
    preview.SetPosition(0);
    FindJpegStart(preview);
    info.resampled =
        DecodeJpegToSize(preview, bitmap, maxWidth, quality, raw.tiff.thumb_height, raw.tiff.thumb_width, maxHeight);
    return;
  }
  if (kind == 7) throw EAbort("Operation aborted");
  try {
    Bitmap loaded;
    LoadImageFile(loaded, kind, fileName, nullptr, dsFull);
    info.pixel_format = loaded.PixelFormat();
    info.width = loaded.Width();
    info.height = loaded.Height();
    if (loaded.Empty()) return;
    if (maxWidth < loaded.Width() || maxHeight < loaded.Height()) {
      const TSize size = FitInside(maxWidth, maxHeight, loaded.Width(), loaded.Height());
      Bitmap out(size.cx, size.cy);
      Resample(loaded, out, quality);
      bitmap.Swap(out);
      info.resampled = 1;
    } else {
      bitmap.Swap(loaded);
    }
  } catch (const std::exception&) {
    // Sized loading of these kinds shows nothing rather than an error.
  }
}

}  // namespace plb

#include "output/save/photo_save.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_image.h"
#include "images/codec/save_jpeg_with_exif.h"
#include "images/effects/image_effect.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"
#include "platform/error.h"

namespace plb {

namespace {

// Runs one step; its errors leave as ESaveImagesError naming the owner and the step.
template <typename Step>
void RunStep(const std::string& owner, const char* label, Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    throw ESaveImagesError{ClassNameOf(e) + " raised in " + owner + "." + label + ". ( " + e.what() + " )"};
  }
}

// The smallest DCT decode scale that still gives at least the size the photo is saved at: a
// photo brought down to 1600 pixels never needs its full-size pixels.
int SaveDecodeScale(const TCatalogItem& item, const TSaveOptions& options) {
  if (!options.resize || item.Width() <= 0 || item.Height() <= 0) return dsFull;
  int32_t w = item.Width(), h = item.Height();
  if (item.TrimmingInForce()) {
    const TTrimRect r = item.TrimRect();
    w = r.right - r.left, h = r.bottom - r.top;
  }
  if (OrientationSwapsSides(item.Orientation())) std::swap(w, h);
  if (w <= 0 || h <= 0) return dsFull;
  const TSize target = options.keepAspect ? FitInside(options.width, options.height, w, h)
                                          : FitCover(options.width, options.height, w, h);
  int scale = dsFull;
  // One more pixel a side keeps the rounding of the scaled decode from going below the target.
  while (scale < dsEighth && (w >> (scale + 1)) >= target.cx + 1 && (h >> (scale + 1)) >= target.cy + 1) ++scale;
  return scale;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

Bitmap RenderPhotoForSave(const TCatalogItem& item, const TSaveOptions& options, const std::string& owner) {
  Bitmap bitmap;
  const std::string path = item.FullPath();
  RunStep(owner, "LoadImage", [&] {
    LoadImageFile(bitmap, item.Kind(), path, nullptr, SaveDecodeScale(item, options));
    if (item.TrimmingInForce() && !bitmap.Empty()) {
      // The rectangle is kept for the stored picture; a RAW preview can be smaller than that.
      const TTrimRect r = item.ScaledTrimRect(bitmap.Width(), bitmap.Height());
      if (r.right > r.left && r.bottom > r.top) CropBitmap(bitmap, TRect{r.left, r.top, r.right, r.bottom});
    }
    const TOrientationTurn turn = TurnOfOrientation(item.Orientation());
    if (!bitmap.Empty()) ApplyRotation(turn.rotation, turn.flipV, turn.flipH, bitmap);
  });
  if (bitmap.Empty()) return bitmap;
  if (options.resize) {
    RunStep(owner, "ResizeImage", [&] {
      if (options.keepAspect) {
        const TSize size = FitInside(options.width, options.height, bitmap.Width(), bitmap.Height());
        ResizeBitmapTo(bitmap, size.cx, size.cy, nullptr, rmSinc);
      } else {
        ResizeToCover(bitmap, options.width, options.height, nullptr, rmSinc);
      }
    });
  }
  RunStep(owner, "EffectImage", [&] {
    TColorAdjustment adjustment;
    {
      std::lock_guard lock(item.Lock());
      adjustment = item.Color();
    }
    ApplyItemEffect(bitmap, adjustment);
  });
  return bitmap;
}

void WriteSavedPhoto(const Bitmap& picture, const TCatalogItem& item, const std::string& destination,
                     const TSaveOptions& options, const std::string& owner) {
  RunStep(owner, "SaveJpegImage", [&] {
    TJpegImage image;
    image.Assign(picture, options.quality);
    const TOrientationTurn turn = TurnOfOrientation(item.Orientation());
    // A plain JPEG is written by SaveJpegWithExif itself when the EXIF block cannot be carried.
    SaveJpegWithExif(image, item.FullPath(), destination, turn.flipH, turn.flipV, turn.rotation);
  });
}

bool SavePhoto(const TCatalogItem& item, const std::string& destination, const TSaveOptions& options,
               const std::string& owner) {
  const std::string source = item.FullPath();
  if (!FileExists(source)) throw ESaveImagesError{source + " is not Exists."};
  const Bitmap picture = RenderPhotoForSave(item, options, owner);
  if (picture.Empty()) return false;
  WriteSavedPhoto(picture, item, destination, options, owner);
  return true;
}

std::string ProposedSaveName(const TCatalogItem& item) {
  std::string name = item.FileName();
  if (item.Kind() != fkJpeg) name = item.FileNameWithoutExtension() + ".jpg";
  const std::string folder = item.FolderPath();
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  std::string candidate = name;
  std::error_code ec;
  for (int n = 1; std::filesystem::exists(folder + candidate, ec); ++n)
    candidate = stem + "(" + std::to_string(n) + ")" + ext;
  return candidate;
}

TSize DisplayedSaveSize(TCatalogItem& item) {
  if (item.Width() <= 0 || item.Height() <= 0) item.ReadDimensions();
  int32_t w = item.DisplayWidth(), h = item.DisplayHeight();
  if (item.TrimmingInForce()) {
    const TTrimRect r = item.DisplayedTrimRect(w, h);
    w = r.right - r.left;
    h = r.bottom - r.top;
  }
  return TSize{w > 0 ? w : 0, h > 0 ? h : 0};
}

void ResetEditsAfterOwnOverwrite(TCatalogItem& item) {
  {
    std::lock_guard lock(item.Lock());
    item.SetColor(TColorAdjustment{});
    item.SetTrimming(false, TTrimRect{}, 0, 0);
    item.SetOrientation(1);
  }
  item.ReadDimensions();
  RaiseCatalogUpdateEvent(&item, cukFileOverwritten);
}

}  // namespace plb

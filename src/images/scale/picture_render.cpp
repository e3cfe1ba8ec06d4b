#include "images/scale/picture_render.h"

#include <utility>

#include "images/effects/image_effect.h"
#include "images/codec/image_load.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"

namespace plb {
namespace {

bool SwapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

bool DctScalable(int kind) {
  return kind == 1 || kind == 4 || kind == 5;
}

}  // namespace

Bitmap RenderPicture(const TRenderRequest& request) {
  if (request.max_width < 1 || request.max_height < 1) throw EImageLoadError("The box has no area");
  TImageInfoRec info;
  try {
    info = GetImageInfo(request.file_name, request.kind);
  } catch (const std::exception&) {
    // The decode below reports what is wrong with the file.
  }
  const int orientation = request.orientation >= 0 ? request.orientation : info.orientation;
  // The box in the file's stored orientation.
  int32_t boxWidth = request.max_width, boxHeight = request.max_height;
  if (SwapsSides(orientation)) std::swap(boxWidth, boxHeight);

  // The size comes from the file's own dimensions where they are known: the rounded-up sides of a
  // DCT-scaled decode would otherwise shift the aspect ratio by a pixel.
  const bool known = info.width > 0 && info.height > 0;
  TSize target{0, 0};
  int scale = dsFull;
  if (known && (info.width > boxWidth || info.height > boxHeight)) {
    target = FitInside(boxWidth, boxHeight, info.width, info.height);
    if (DctScalable(request.kind)) scale = DecodeScaleFor(info.width, target.cx);
  }
  Bitmap bitmap;
  LoadImageFile(bitmap, request.kind, request.file_name, nullptr, scale);
  if (bitmap.Empty()) throw EImageLoadError("The file holds no picture: " + request.file_name);
  if (target.cx == 0 && (bitmap.Width() > boxWidth || bitmap.Height() > boxHeight))
    target = FitInside(boxWidth, boxHeight, bitmap.Width(), bitmap.Height());
  if (target.cx > 0 && (bitmap.Width() != target.cx || bitmap.Height() != target.cy)) {
    Bitmap scaled(target.cx, target.cy);
    ResizeBitmap(bitmap, scaled, request.method);
    bitmap.Swap(scaled);
  }
  ApplyOrientation(bitmap, orientation);
  ApplyItemEffect(bitmap, request.adjustment);
  return bitmap;
}

}  // namespace plb

#pragma once
// Fitting sizes into boxes and the bitmap operations that every image consumer shares: resampling
// by method 0 to 7, cropping, and the filter resampler with precomputed kernel tables and 14-bit
// fixed-point weights. Every operation works on 24-bit bitmaps (32-bit inputs are made 24-bit).
// Resampling from or to a size below 1 raises EAbort.
#include <cstdint>
#include <functional>

#include "images/codec/bitmap.h"

namespace plb {

// Progress of a long operation: 0 at the start, percentages, 100 at the end. An error raised
// inside cancels the operation.
using TProgressProc = std::function<void(int percent)>;

// Resampling methods as callers pass them.
enum TResizeMethod : int {
  rmNearest = 0,
  rmAuto = 1,  // block average when shrinking by 2 or more, otherwise bilinear
  rmArea = 2,
  rmTriangle = 3,
  rmSinc = 4,
  rmLanczos3 = 5,
  rmHermiteLike = 6,  // 3t(1-t)^2 with t = (|x|+1)/3
  rmBSpline = 7,
};

// Filter indices of FilterResample and CopyRectBmpEx.
enum TFilterIndex : int {
  fiArea = 0,
  fiTriangle = 1,
  fiSinc = 2,
  fiHermiteLike = 3,
  fiBSpline = 4,
  fiLanczos3 = 5,
  fiLanczos3Alt = 6,  // the same kernel
};

// The largest size of a w by h picture inside a W by H box (W 0: by height only); sides of 0
// become 1.
TSize FitInside(int32_t maxWidth, int32_t maxHeight, int32_t width, int32_t height);
// The smallest size of a w by h picture that covers a W by H box; sides of 0 become 1.
TSize FitCover(int32_t targetWidth, int32_t targetHeight, int32_t width, int32_t height);

// The filter index that method 2 to 7 stands for; -1 for the others.
int FilterIndexOfMethod(int method);

// Resamples source into destination, which already has its size.
void ResizeBitmap(const Bitmap& source, Bitmap& destination, int method, const TProgressProc& progress = nullptr);
// Resamples bitmap to width by height, unless either side already has its target value.
void ResizeBitmapTo(Bitmap& bitmap, int32_t width, int32_t height, const TProgressProc& progress = nullptr,
                    int method = rmSinc);
// Scales bitmap to cover width by height and cuts the overhang off evenly on both sides.
void ResizeToCover(Bitmap& bitmap, int32_t width, int32_t height, const TProgressProc& progress = nullptr,
                   int method = rmSinc);

// The separable filter resampler.
void FilterResample(const Bitmap& source, Bitmap& destination, int filterIndex,
                    const TProgressProc& progress = nullptr);
// The same from a source rectangle into a destination rectangle. An inverted rectangle or one
// reaching outside its bitmap raises EInvalidArgument ("SRect", "DRect"); every error leaves as
// EResizeError with "%s raised in CopyRectBmpEx. (%s)".
void CopyRectBmpEx(const Bitmap& source, const TRect& sourceRect, Bitmap& destination, int filterIndex,
                   const TRect& destinationRect);

// Copies a rectangle (clipped to the bitmap) into a new 24-bit bitmap that replaces bitmap.
void CropBitmap(Bitmap& bitmap, const TRect& rect);
// Keeps what lies inside the four margins.
void CropMargins(Bitmap& bitmap, int32_t left, int32_t right, int32_t top, int32_t bottom);

PLB_DECLARE_ERROR(EInvalidArgument, Error);
PLB_DECLARE_ERROR(EResizeError, Error);

}  // namespace plb

#pragma once
// Turning and mirroring bitmaps: the EXIF orientation of a photo (1 to 8) and the viewer's
// rotation with its two flips. Both make the bitmap 24-bit.
#include <cstdint>

#include "images/codec/bitmap.h"

namespace plb {

// Rotation codes of ApplyRotation.
enum TRotation : int { rtNone = 0, rtClockwise = 1, rtHalfTurn = 2, rtCounterClockwise = 3 };

// Makes a photo stored with this EXIF orientation upright; 1 and unknown values change nothing.
void ApplyOrientation(Bitmap& bitmap, int orientation);
// The rotation first, then the vertical flip, then the horizontal mirror.
void ApplyRotation(int rotation, bool flipVertical, bool flipHorizontal, Bitmap& bitmap);

}  // namespace plb

#pragma once
// The neighbourhood effect filters (3 x 3 filters, the larger in-place kernels and the noise
// removal), shared by ApplyEffectFilter.
#include <cstdint>

#include "images/codec/bitmap.h"
#include "images/scale/progress_steps.h"

namespace plb::effects {

// Codes 8-22, 36, 39, 40: each pixel from the 3 x 3 neighbourhood of the picture as it was before
// the filter, edges repeated outside the picture.
void Neighbourhood(Bitmap& bitmap, int code, ProgressSteps& steps);
// Code 38, in place on interior pixels.
void Smooth(Bitmap& bitmap, ProgressSteps& steps);
// Code 37, a 4 x 4 kernel in place.
void Soft2(Bitmap& bitmap, ProgressSteps& steps);
// Codes 27-29: the 5 x 5 weighted mean where the local differences stay below the threshold.
void RemoveNoise(Bitmap& bitmap, int threshold, ProgressSteps& steps);
// Code 1 on the whole picture.
void Grayscale(Bitmap& bitmap);

}  // namespace plb::effects

#pragma once
// The colour adjustment and effect filters a catalog item carries. The file itself never changes:
// every picture derived from the item (viewer, cached thumbnails, collages, uploads, prints,
// saved copies) passes through ApplyItemEffect. All work on 24-bit bitmaps.
#include <cstdint>
#include <string>

#include "engine/model/catalog_item.h"
#include "images/codec/bitmap.h"
#include "images/scale/resize.h"

namespace plb {

// Effect filter codes; 0 is none and codes from 41 do nothing.
constexpr int kEffectFilterCount = 41;
enum TEffectFilter : int {
  efNone = 0,
  efGrayscale = 1,
  efSepia = 2,
  efInvert = 3,
  efRotateChannels = 4,
  efSwapRedGreen = 5,
  efSwapGreenBlue = 6,
  efSwapRedBlue = 7,
  efSharpWeak = 8,
  efSharpMedium = 9,
  efSharpStrong = 10,
  efSoft = 11,
  efMean = 12,
  efMaximum = 13,
  efMinimum = 14,
  efMedian = 15,
  efEmboss1 = 16,
  efEmboss2 = 17,
  efLaplacian4 = 18,
  efLaplacian8 = 19,
  efSobel = 20,
  efSketch = 21,
  efIllustration1 = 22,
  efBevelThin = 23,
  efBevelMedium = 24,
  efBevelThick = 25,
  efBevelHeavy = 26,
  efNoiseWeak = 27,
  efNoiseMedium = 28,
  efNoiseStrong = 29,
  efEqualize1 = 30,
  efEqualize2 = 31,
  efEqualize3 = 32,
  efContrast1 = 33,
  efContrast2 = 34,
  efContrast3 = 35,
  efSimpleLowPass = 36,
  efSoft2 = 37,
  efSmooth = 38,
  efPencil = 39,
  efIllustration2 = 40,
};

// Luminance of a pixel: (9798 R + 19234 G + 3736 B + 16384) >> 15.
inline int Luminance(int r, int g, int b) {
  return (9798 * r + 19234 * g + 3736 * b + 16384) >> 15;
}

// Nothing when the adjustment is not enabled; otherwise the colour adjustment, then filter1,
// filter2 and filter3 in that order.
void ApplyItemEffect(Bitmap& bitmap, const TColorAdjustment& adjustment, const TProgressProc& progress = nullptr);

// Gains red, green, blue in percent (0 neutral), gamma (100 neutral), contrast and brightness
// (-100..100, 0 neutral). Nothing when all are neutral. A gamma at or below 0 maps every value
// to 0 before the other steps.
void ApplyColourAdjustment(Bitmap& bitmap, int red, int green, int gamma, int contrast, int brightness, int blue);

// One effect filter; codes 0 and 41 or above do nothing.
void ApplyEffectFilter(Bitmap& bitmap, int code, const TProgressProc& progress = nullptr);

// The display name of a code; "Unknown" for codes outside 0..40.
std::string EffectFilterName(int code);

}  // namespace plb

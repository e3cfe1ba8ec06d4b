#pragma once
// A still picture of a movie file for its thumbnail and preview, through the FFmpeg libraries.
#include <string>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EAnotherImageError, Error);

// The largest side of a movie frame picture; smaller frames are never enlarged.
constexpr int32_t kMovieFrameMaxSide = 2048;

// Decodes the frame about a tenth into the movie (the first frame when the movie cannot seek),
// fitted inside 2048 x 2048, as a 24-bit bitmap. False, the bitmap empty, when the file cannot be
// opened or decoded as a movie. A null bitmap ("BMP is nil.") or a missing file ("SourceFile is
// not exists.") raises EAnotherImageError in the "%s Raised in %s. ( %s )" form.
bool GetAnotherImageBMP(const std::string& fileName, Bitmap* bitmap);

}  // namespace plb

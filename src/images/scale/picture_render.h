#pragma once
// The picture of a file as the catalog draws it: decoded at the DCT scale the box allows, scaled
// to fit the box with a resampling method, turned upright by its orientation and passed through
// the item's colour adjustment and effect filters.
#include <cstdint>
#include <string>

#include "engine/model/catalog_item.h"
#include "images/codec/bitmap.h"

namespace plb {

struct TRenderRequest {
  std::string file_name;
  int kind = 1;           // file kind
  int32_t max_width = 0;  // the box, as displayed (after orientation)
  int32_t max_height = 0;
  int method = 4;               // resampling method 0..7 of the final scale
  int orientation = -1;         // -1: the file's own EXIF orientation
  TColorAdjustment adjustment;  // the item's edits (not enabled: none)
};

// The rendered picture; never larger than the box, never enlarged. Errors of the loaders reach
// the caller; a file that yields no picture (a RAW without preview, a movie that cannot be
// decoded) raises EImageLoadError.
Bitmap RenderPicture(const TRenderRequest& request);

}  // namespace plb

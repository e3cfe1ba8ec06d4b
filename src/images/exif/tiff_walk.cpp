#include "images/exif/tiff_walk.h"

#include <algorithm>

namespace plb {

bool TiffWalk::Walked(int64_t position) const {
  return std::find(walked_.begin(), walked_.begin() + walked_count_, position) != walked_.begin() + walked_count_;
}

bool TiffWalk::Enter(int64_t position) {
  if (Walked(position) || walked_count_ == kMaxDirectories) return false;
  walked_[static_cast<size_t>(walked_count_++)] = position;
  return true;
}

int64_t TiffWalk::Next(TiffReader& r, int64_t position) {
  if (!Inside(r, position, 2)) return 0;
  const int64_t link = position + 2 + 12 * int64_t{r.U16At(position)};
  if (!Inside(r, link, 4)) return 0;
  const uint32_t offset = r.U32At(link);
  if (offset == 0 || Walked(r.At(offset))) return 0;
  return r.At(offset);
}

bool TakeImageField(const TiffReader& r, const TiffEntry& e, bool jpegTags, TiffImageFields& fields) {
  switch (e.tag) {
    case kTagImageWidth:
      fields.width = static_cast<int32_t>(r.Integer(e));
      return true;
    case kTagImageLength:
      fields.height = static_cast<int32_t>(r.Integer(e));
      return true;
    case kTagCompression:
      fields.compression = static_cast<int32_t>(r.Integer(e));
      return true;
    case kTagOrientation:
      fields.orientation = static_cast<int32_t>(r.Integer(e));
      return true;
    case kTagJpegInterchangeFormat:
      if (!jpegTags) return false;
      [[fallthrough]];
    case kTagStripOffsets:
      fields.data_offset = r.At(r.Integer(e));
      return true;
    case kTagJpegInterchangeFormatLength:
      if (!jpegTags) return false;
      [[fallthrough]];
    case kTagStripByteCounts:
      fields.data_length = r.Integer(e);
      return true;
    default:
      return false;
  }
}

}  // namespace plb

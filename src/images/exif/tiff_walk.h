#pragma once
// The one way through the directories of a TIFF block. A walk hands each 12-byte entry of a
// directory to a visitor, after checking that the entry lies inside the block; it refuses a
// directory with more entries than its owner allows, and a directory it has walked before, so
// that pointers and next-directory links that lead back (to a directory itself or round a loop)
// end the walk instead of repeating it. Nothing is allocated per entry: the scanners run through
// here for every photo of a folder.
#include <array>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "images/exif/tiff_reader.h"

namespace plb {

// How the walk of one directory ended.
enum class TiffWalkEnd : uint8_t {
  kComplete,    // every entry was visited
  kStopped,     // the visitor asked to stop
  kUnreadable,  // the entry count lies outside the block: nothing was visited
  kTruncated,   // an entry lies outside the block: the ones before it were visited
  kTooMany,     // more entries than the walk allows: nothing was visited
  kRefused,     // walked before in this walk (a loop), or past the walk's directory budget
};

class TiffWalk {
 public:
  static constexpr uint32_t kAnyCount = 0xFFFF;
  // More directories than any block of a photo has; a walk asked for more refuses them.
  static constexpr int kMaxDirectories = 32;

  // A walk of the block that ends at blockEnd (absolute; the stream's end when it is nearer) with
  // at most maxEntries entries a directory.
  explicit TiffWalk(int64_t blockEnd = std::numeric_limits<int64_t>::max(), uint32_t maxEntries = kAnyCount)
      : end_(blockEnd), max_entries_(maxEntries) {}

  // Visits the entries of the directory at position (absolute) in stored order. visit takes a
  // const TiffEntry& and returns nothing, or a bool that is false to stop. What visit throws
  // passes through.
  template <class Visit>
  TiffWalkEnd Directory(TiffReader& r, int64_t position, Visit&& visit);

  // The directory that the one at position links to after its entries, as an absolute position;
  // 0 when the link is 0, lies outside the block, or leads to a directory this walk has walked.
  int64_t Next(TiffReader& r, int64_t position);

  bool Walked(int64_t position) const;

 private:
  bool Inside(const TiffReader& r, int64_t position, int64_t length) const {
    const int64_t end = end_ < r.Size() ? end_ : r.Size();
    return position >= 0 && position <= end - length;
  }
  // Notes position as walked; false when it was already or the budget is spent.
  bool Enter(int64_t position);

  int64_t end_;
  uint32_t max_entries_;
  std::array<int64_t, kMaxDirectories> walked_{};
  int walked_count_ = 0;
};

template <class Visit>
TiffWalkEnd TiffWalk::Directory(TiffReader& r, int64_t position, Visit&& visit) {
  if (!Enter(position)) return TiffWalkEnd::kRefused;
  if (!Inside(r, position, 2)) return TiffWalkEnd::kUnreadable;
  const uint32_t count = r.U16At(position);
  if (count > max_entries_) return TiffWalkEnd::kTooMany;
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t at = position + 2 + 12 * int64_t{i};
    if (!Inside(r, at, 12)) return TiffWalkEnd::kTruncated;
    if constexpr (std::is_void_v<std::invoke_result_t<Visit&, const TiffEntry&>>) {
      visit(r.EntryAt(at));
    } else {
      if (!visit(r.EntryAt(at))) return TiffWalkEnd::kStopped;
    }
  }
  return TiffWalkEnd::kComplete;
}

// The fields that place and describe the image of a directory (the main image in IFD0, the
// thumbnail in IFD1, a RAW file's previews): size, compression, orientation, and where its data
// lie, in strips or, with jpegTags, as a JPEG stream. The caller sets the defaults it needs.
struct TiffImageFields {
  int32_t width = 0;
  int32_t height = 0;
  int32_t compression = 1;
  int32_t orientation = 1;
  int64_t data_offset = 0;  // absolute
  int64_t data_length = 0;
};

// Takes e into fields when it is one of them; false for any other tag.
bool TakeImageField(const TiffReader& r, const TiffEntry& e, bool jpegTags, TiffImageFields& fields);

}  // namespace plb

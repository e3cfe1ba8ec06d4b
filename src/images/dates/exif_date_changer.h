#pragma once
// Changing the shooting date of photos: the date is rewritten in the EXIF DateTimeOriginal field
// of the file itself when the file has one that can be rewritten safely, otherwise the file's
// modification time carries the new date. TExifDateChanger does this for a list of catalog items
// on a worker thread; the file-level functions serve it and the command-line tool.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/workers/thread_base.h"
#include "host/date_time.h"
#include "platform/error.h"

namespace plb {

class TCatalogItem;

// Carries the path of the photo whose date could not be changed at all.
PLB_DECLARE_ERROR(EExifDateChangeError, Error);

// Change flags: which parts of the target replace those of the old date.
constexpr uint8_t kChangeYear = 1;
constexpr uint8_t kChangeMonth = 2;
constexpr uint8_t kChangeDay = 4;
constexpr uint8_t kChangeTime = 8;
constexpr uint8_t kChangeDate = kChangeYear | kChangeMonth | kChangeDay;  // 7
constexpr uint8_t kChangeDateAndTime = kChangeDate | kChangeTime;         // 15
constexpr uint8_t kChangeYearAndMonth = kChangeYear | kChangeMonth;       // 3

// The old date with the flagged parts taken from the target; the day is clamped to the length of
// the resulting month (31 January moved to February gives 28 or 29 February).
TDateTime CombineShootingDate(TDateTime oldDate, TDateTime target, uint8_t flags);

// Why the field was not rewritten; kPatched when it was.
enum class TDatePatchResult {
  kPatched,
  kNoExif,         // no EXIF block or no TIFF header where one belongs
  kBadHeader,      // a byte-order mark without the TIFF magic number
  kNoField,        // no Exif directory or no DateTimeOriginal in it
  kNotRewritable,  // DateTimeOriginal is not 20 ASCII bytes
  kOutOfBounds,    // a directory or the field lies beyond the block or the file
  kFileError,      // the file may not be written, or cannot be read or written
};
const char* DatePatchResultText(TDatePatchResult result);

// Rewrites the 20 bytes of DateTimeOriginal ("yyyy:mm:dd hh:nn:ss" and NUL) and nothing else, in
// place and flushed to disk: the file stays the same file (hard links, owner, extended
// attributes), and a file the user may not write is left alone.
// JPEG files (isJpeg) and ".RAF" files are looked up through their APP1 segment, other files of
// the EXIF-carrying formats through the TIFF header near their start; files of any other format
// are never written. Every offset is checked against the block and the file first.
TDatePatchResult PatchExifDateInFile(const std::string& fileName, bool isJpeg, TDateTime date);
// True when the field was rewritten.
bool WriteExifDateInPlace(const std::string& fileName, bool isJpeg, TDateTime date);

// What a date change did to one file.
struct TFileDateChange {
  enum How { kUnchanged, kExifField, kModificationTime } how = kUnchanged;
  TDateTime date = 0;      // the shooting date the file now has (the modification time as read back)
  TDateTime fileDate = 0;  // the file's modification time afterwards
  TDatePatchResult patch = TDatePatchResult::kPatched;  // why the EXIF route was not taken
};

// The shooting date the file's own metadata gives (EXIF of a JPEG, RAW or TIFF file), or 0.
TDateTime ReadOwnShootingDate(const std::string& fileName, bool isJpeg);

// Gives a file the new shooting date: the EXIF field when it can be rewritten, else, in a file
// without a shooting date of its own, the modification time. Nothing is touched when the dates
// are equal. EExifDateChangeError (message: the path, and why when the file has a date of its own
// that cannot be rewritten) when neither route works; the file is then left as it was.
TFileDateChange ChangeFileShootingDate(const std::string& fileName, bool isJpeg, TDateTime oldDate, TDateTime newDate);

// The worker that changes the shooting date of a list of catalog items.
class TExifDateChanger : public TOstraThreadBase {
 public:
  // The items are not owned; they stay valid while the engine runs.
  TExifDateChanger(std::vector<TCatalogItem*> items, TDateTime target, uint8_t flags);

  uint8_t WorkerKind() const override { return wkExifDateChanger; }

  TDateTime CombineShootingDate(TDateTime oldDate) const;
  // Changes one item; ordinary errors are counted and logged, never raised.
  void DoChangeExifDate(TCatalogItem* item);

 protected:
  void Execute() override;

 private:
  const std::vector<TCatalogItem*> items_;
  const TDateTime target_;
  const uint8_t flags_;
};

}  // namespace plb

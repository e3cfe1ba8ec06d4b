#include "images/dates/exif_date_changer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/catalog_item.h"
#include "host/file_functions.h"
#include "host/log_file.h"
#include "images/codec/buffered_stream.h"
#include "images/codec/image_load.h"
#include "images/codec/raw_reader.h"
#include "images/codec/stream.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/exif/tiff_reader.h"
#include "images/exif/tiff_walk.h"

namespace plb {
namespace {

constexpr int kDateFieldSize = 20;

// Looks for tag in the directory at base + offset; every entry read must lie inside the block.
TDatePatchResult FindEntry(TiffReader& block, TiffWalk& walk, uint32_t offset, uint16_t tag, TiffEntry& found) {
  bool seen = false;
  const TiffWalkEnd end = walk.Directory(block, block.At(offset), [&](const TiffEntry& e) {
    if (e.tag != tag) return true;
    found = e;
    seen = true;
    return false;
  });
  if (seen) return TDatePatchResult::kPatched;
  const bool outside = end == TiffWalkEnd::kUnreadable || end == TiffWalkEnd::kTruncated;
  return outside ? TDatePatchResult::kOutOfBounds : TDatePatchResult::kNoField;
}

bool ValidMagic(uint16_t magic) {
  // 42 for TIFF and EXIF; the variants of Olympus ORF ("RO", "SR") and Panasonic RW2 (0x55).
  return magic == 42 || magic == 0x4F52 || magic == 0x5352 || magic == 0x55;
}

// The file offset of the DateTimeOriginal text of the TIFF block at base (limit bytes long).
TDatePatchResult LocateDateField(TStream& stream, int64_t base, int64_t limit, int64_t& fieldPosition) {
  if (limit < 8) return TDatePatchResult::kNoExif;
  stream.SetPosition(base);
  TiffReader block(stream);
  if (!block.ReadHeader(true)) return TDatePatchResult::kNoExif;
  if (!ValidMagic(block.U16At(base + 2))) return TDatePatchResult::kBadHeader;
  // A directory the walk has seen before (an Exif pointer back at IFD0) holds no date field.
  TiffWalk walk(base + limit);
  TiffEntry exifPointer;
  TDatePatchResult r = FindEntry(block, walk, block.FirstIfdOffset(), kTagExifIfd, exifPointer);
  if (r != TDatePatchResult::kPatched) return r;
  // A pointer of another type is no Exif directory for other readers; writing through it would
  // change bytes that nothing else takes for the date.
  if ((exifPointer.type != kTiffLong && exifPointer.type != kTiffIfd) || exifPointer.count != 1) {
    return TDatePatchResult::kNoField;
  }
  TiffEntry date;
  r = FindEntry(block, walk, exifPointer.value, kTagDateTimeOriginal, date);
  if (r != TDatePatchResult::kPatched) return r;
  if (date.type != kTiffAscii || date.count != kDateFieldSize) return TDatePatchResult::kNotRewritable;
  if (int64_t{date.value} + kDateFieldSize > limit) return TDatePatchResult::kOutOfBounds;
  fieldPosition = base + date.value;
  return TDatePatchResult::kPatched;
}

// Where the TIFF block of the file starts and how long it may be.
TDatePatchResult LocateBlock(TStream& stream, const std::string& fileName, bool isJpeg, int64_t& base, int64_t& limit) {
  const int64_t size = stream.Size();
  if (isJpeg || UpperFileExtension(fileName) == ".RAF") {
    stream.SetPosition(0);
    const int64_t a = FindExifSegment(stream);
    if (a <= 0) return TDatePatchResult::kNoExif;
    uint8_t head[10];
    stream.SetPosition(a);
    if (stream.Read(head, 10) != 10 || !IsExifSignature(head + 4)) return TDatePatchResult::kNoExif;
    const int64_t segmentEnd = a + 2 + (int64_t{head[2]} << 8 | head[3]);
    base = a + 10;
    limit = std::min(segmentEnd, size) - base;
    return limit > 8 ? TDatePatchResult::kPatched : TDatePatchResult::kOutOfBounds;
  }
  stream.SetPosition(0);
  base = FindTiffHeader(stream);
  if (base < 0) return TDatePatchResult::kNoExif;
  limit = size - base;
  return TDatePatchResult::kPatched;
}

// Writes bytes over the file's own bytes at position and flushes them to disk: the same inode, so
// hard links, owner, permissions and extended attributes all stay, and the folder need not be
// writable. The field's 20 bytes never cross more than one sector boundary of the field itself.
bool WriteFieldInPlace(const std::string& fileName, int64_t position, const std::string& bytes) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), position);
  const bool synced = ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return written == static_cast<ssize_t>(bytes.size()) && synced && closed;
}

}  // namespace

TDateTime CombineShootingDate(TDateTime oldDate, TDateTime target, uint8_t flags) {
  const DateTimeFields o = DecodeDateTime(oldDate);
  const DateTimeFields t = DecodeDateTime(target);
  const int year = (flags & kChangeYear) ? t.year : o.year;
  const int month = (flags & kChangeMonth) ? t.month : o.month;
  const int day = std::min((flags & kChangeDay) ? t.day : o.day, DaysInMonth(year, month));
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime timeSource = (flags & kChangeTime) ? target : oldDate;
  // The time of day counts from midnight whatever the sign of the day number, so it is added to
  // days after 1899-12-30 and subtracted from days before.
  const TDateTime time = std::fabs(timeSource - std::trunc(timeSource));
  return date < 0 ? date - time : date + time;
}

const char* DatePatchResultText(TDatePatchResult result) {
  switch (result) {
    case TDatePatchResult::kPatched:
      return "EXIF DateTimeOriginal rewritten";
    case TDatePatchResult::kNoExif:
      return "no EXIF block";
    case TDatePatchResult::kBadHeader:
      return "TIFF header without its magic number";
    case TDatePatchResult::kNoField:
      return "no DateTimeOriginal field";
    case TDatePatchResult::kNotRewritable:
      return "DateTimeOriginal is not 20 ASCII bytes";
    case TDatePatchResult::kOutOfBounds:
      return "EXIF offsets point beyond the block";
    case TDatePatchResult::kFileError:
      return "the file cannot be read or written";
  }
  return "";
}

TDatePatchResult PatchExifDateInFile(const std::string& fileName, bool isJpeg, TDateTime date) {
  if (!isJpeg && !IsExifExtension(fileName)) return TDatePatchResult::kNoExif;
  const std::string text = FormatExifDateTime(date);
  if (text.size() != kDateFieldSize - 1) return TDatePatchResult::kNotRewritable;
  try {
    // A file the user may not write keeps its bytes (its date goes to the modification time).
    if (::access(fileName.c_str(), W_OK) != 0) return TDatePatchResult::kFileError;
    int64_t field = 0;
    {
      TFileStream file(fileName, TFileStream::Mode::kRead);
      TBufferedStream stream(file, TBufferedStream::kDefaultSize);
      int64_t base = 0;
      int64_t limit = 0;
      TDatePatchResult r = LocateBlock(stream, fileName, isJpeg, base, limit);
      if (r != TDatePatchResult::kPatched) return r;
      r = LocateDateField(stream, base, limit, field);
      if (r != TDatePatchResult::kPatched) return r;
    }
    std::string bytes = text;
    bytes.push_back('\0');
    return WriteFieldInPlace(fileName, field, bytes) ? TDatePatchResult::kPatched : TDatePatchResult::kFileError;
  } catch (const std::exception&) {
    return TDatePatchResult::kFileError;
  }
}

bool WriteExifDateInPlace(const std::string& fileName, bool isJpeg, TDateTime date) {
  return PatchExifDateInFile(fileName, isJpeg, date) == TDatePatchResult::kPatched;
}

TDateTime ReadOwnShootingDate(const std::string& fileName, bool isJpeg) {
  TDateTime date = 0;
  try {
    if (isJpeg) {
      date = GetImageInfo(fileName, 1).shooting_date;
    } else if (RawTypeOfFile(fileName) != rtNone) {
      date = GetImageInfo(fileName, 5).shooting_date;
    } else if (IsExifExtension(fileName)) {
      TTiffInfoRec info;
      ReadTiffInfoFromFile(fileName, info);
      date = info.shooting_date;
    }
  } catch (const std::exception&) {
    date = 0;  // unreadable metadata gives no date of its own
  }
  return date > 0 ? date : 0;
}

TFileDateChange ChangeFileShootingDate(const std::string& fileName, bool isJpeg, TDateTime oldDate, TDateTime newDate) {
  TFileDateChange change;
  change.date = oldDate;
  if (newDate == oldDate) return change;
  change.patch = PatchExifDateInFile(fileName, isJpeg, newDate);
  if (change.patch == TDatePatchResult::kPatched) {
    change.how = TFileDateChange::kExifField;
    change.date = newDate;
    change.fileDate = GetFileUpdateDateTime(fileName);
    return change;
  }
  // The modification time stands for the shooting date only in a file without one of its own:
  // where readers would still find the old date, changing the time would be no change at all.
  if (const TDateTime own = ReadOwnShootingDate(fileName, isJpeg); own > 0) {
    throw EExifDateChangeError(fileName + ": the shooting date stays " + FormatExifDateTime(own) + " (" +
                               DatePatchResultText(change.patch) + ")");
  }
  TDateTime set = 0;
  try {
    set = SetFileUpdateDateTime(fileName, newDate);
  } catch (const Error&) {
    set = 0;
  }
  if (set <= 0) throw EExifDateChangeError(fileName);
  change.how = TFileDateChange::kModificationTime;
  change.fileDate = GetFileUpdateDateTime(fileName);
  change.date = change.fileDate;
  return change;
}

TExifDateChanger::TExifDateChanger(std::vector<TCatalogItem*> items, TDateTime target, uint8_t flags)
    : TOstraThreadBase("TExifDateChanger"), items_(std::move(items)), target_(target), flags_(flags) {}

TDateTime TExifDateChanger::CombineShootingDate(TDateTime oldDate) const {
  return plb::CombineShootingDate(oldDate, target_, flags_);
}

void TExifDateChanger::DoChangeExifDate(TCatalogItem* item) {
  try {
    const TDateTime oldDate = item->ShootingDate();
    const TDateTime newDate = CombineShootingDate(oldDate);
    if (newDate != oldDate) {
      const std::string path = item->FullPath();
      const TFileDateChange change = ChangeFileShootingDate(path, item->Kind() == fkJpeg, oldDate, newDate);
      item->SetShootingDate(change.date);
      item->SetFileDate(change.fileDate);
      RaiseCatalogUpdateEvent(item, cukShootingDateWritten);
      RaiseCatalogUpdateEvent(item, cukShootingDateWritten2);
    }
    CountSuccess();
  } catch (const std::exception& e) {
    CountError();
    LogFailure(ClassName() + ".DoChangeExifDate", e);
  }
}

void TExifDateChanger::Execute() {
  try {
    if (items_.empty()) return;
    ProgressStart(static_cast<uint32_t>(items_.size()));
    try {
      for (TCatalogItem* item : items_) {
        if (IsTerminated()) break;
        DoChangeExifDate(item);
        ProgressStep(1);
      }
    } catch (...) {
      ProgressEnd(psFailed);
      throw;
    }
    ProgressEnd(IsTerminated() ? psCancelled : psCompleted);
  } catch (const std::exception& e) {
    LogFailure(ClassName() + ".Execute", e);
  }
}

}  // namespace plb

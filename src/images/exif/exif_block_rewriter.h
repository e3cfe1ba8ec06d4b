#pragma once
// The editable form of a file's EXIF block, used to carry the block of a source photo into a newly
// encoded JPEG: directory entries as raw 12-byte records with their external data
// (TTiffRecItem), directories with the pointers noted while reading and a relocatable maker note
// (TIFDItem), and the eight directories of one block with its thumbnail and the image data that
// will follow it (TExifItemEx). Everything read is checked against the file's size first; the
// block is rebuilt with fresh offsets, so entries may be added, changed and removed freely.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "images/codec/stream.h"
#include "images/exif/tiff_reader.h"
#include "images/exif/tiff_walk.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EExifWriteError, Error);

// Bytes of one element of a TIFF type; 0 for type 0 and types above 12.
uint32_t TiffTypeSize(uint16_t type);

class TTiffRecItem {
 public:
  explicit TTiffRecItem(bool bigEndian) : bigEndian_(bigEndian) {}
  TTiffRecItem(bool bigEndian, uint16_t tag, uint16_t type, uint32_t count);

  // Takes an entry as read by reader (in this entry's byte order) with its external data; false
  // (the entry rejected) for an invalid type or data that do not lie inside the stream.
  bool ReadEntry(TiffReader& reader, const TiffEntry& entry);
  // Writes the 12 bytes at the stream's position; external data are appended at the stream's end
  // with the value field pointing at them (relative to base). The position ends after the data.
  void WriteEntry(TStream& stream, int64_t base);

  bool BigEndian() const { return bigEndian_; }
  uint16_t Tag() const;
  uint16_t Type() const;
  uint32_t Count() const;
  uint32_t Value() const;  // the value-or-offset field as a 32-bit number
  void SetTag(uint16_t tag);
  void SetType(uint16_t type);
  void SetCount(uint32_t count);
  void SetValue(uint32_t value);
  const uint8_t* Raw() const { return raw_; }

  // External data (empty when the value is inline).
  int64_t DataSize() const { return static_cast<int64_t>(data_.size()); }
  const std::vector<uint8_t>& Data() const { return data_; }
  // All value bytes, inline or external.
  std::span<const uint8_t> ValueBytes() const;
  // The index-th value of a BYTE, SHORT or LONG entry; 0 when there is none.
  uint32_t IntegerAt(uint32_t index) const;
  // Replaces the whole value (type and count unchanged unless given).
  void SetValueBytes(uint16_t type, uint32_t count, std::span<const uint8_t> bytes);
  // One SHORT or LONG value in the entry's own type (SHORT becomes LONG when the value needs it).
  void SetInteger(uint32_t value);
  // SHORT values.
  void SetShorts(std::span<const uint16_t> values);

 private:
  uint16_t Get16(const uint8_t* p) const;
  uint32_t Get32(const uint8_t* p) const;
  void Put16(uint8_t* p, uint16_t v) const;
  void Put32(uint8_t* p, uint32_t v) const;

  bool bigEndian_;
  uint8_t raw_[12] = {};
  std::vector<uint8_t> data_;
};

class TIFDItem {
 public:
  static constexpr uint16_t kMaxEntries = 200;

  explicit TIFDItem(bool bigEndian) : bigEndian_(bigEndian) {}

  // Reads the directory at position as part of walk (whose entry limit is kMaxEntries), by reader
  // in this directory's byte order; EExifWriteError when the count cannot be read or is above the
  // limit, or the walk has read the directory before. Entries that cannot be read are dropped one
  // by one, and those after one that leaves the data.
  void ReadDirectory(TiffReader& reader, TiffWalk& walk, int64_t position);
  // Relocates the maker note into a directory of its own where the table of maker-note layouts
  // knows its layout by make and its offsets count from the block.
  void LoadMakerNote(TStream& stream, TiffReader& reader, TiffWalk& walk, const std::string& make);
  // Writes the directory and its data at the stream's position; nothing without entries.
  void WriteDirectory(TStream& stream, int64_t base, uint32_t nextOffset);
  // The bytes WriteDirectory emits.
  int64_t DirectorySize() const;

  bool BigEndian() const { return bigEndian_; }
  void SetBigEndian(bool on) { bigEndian_ = on; }
  bool Empty() const { return entries_.empty(); }
  size_t Count() const { return entries_.size(); }
  const std::vector<std::unique_ptr<TTiffRecItem>>& Entries() const { return entries_; }

  TTiffRecItem* Find(uint16_t tag) const;
  // The entry of tag, created with type and count (value 0) when missing.
  TTiffRecItem& FindOrCreate(uint16_t tag, uint16_t type, uint32_t count);
  void Remove(uint16_t tag);
  void Clear();
  // One integer value: an existing entry keeps its type and becomes count 1, a new one has type.
  void SetInteger(uint16_t tag, uint16_t type, uint32_t value);
  // A 20-byte ASCII "yyyy:mm:dd hh:nn:ss".
  void SetAsciiDate(uint16_t tag, TDateTime value);
  void SetBytes(uint16_t tag, uint16_t type, std::span<const uint8_t> bytes);
  void SetRational(uint16_t tag, uint32_t numerator, uint32_t denominator);

  // Pointers noted while reading (0 when absent).
  uint32_t exifPointer = 0;
  uint32_t gpsPointer = 0;
  uint32_t interopPointer = 0;
  uint32_t dataOffset = 0;
  uint32_t dataLength = 0;

  const TIFDItem* MakerNote() const { return makerNote_.get(); }
  const std::vector<uint8_t>& MakerPrefix() const { return makerPrefix_; }

 private:
  // Adds an entry read from the file, noting the pointers and the maker note it holds.
  void TakeEntry(std::unique_ptr<TTiffRecItem> entry);
  void ForgetMakerNote();

  bool bigEndian_;
  std::vector<std::unique_ptr<TTiffRecItem>> entries_;
  std::vector<uint8_t> makerPrefix_;
  TTiffRecItem* makerEntry_ = nullptr;
  std::unique_ptr<TIFDItem> makerNote_;
};

// The point, circle or rectangle of SubjectArea with the image size it refers to.
#pragma pack(push, 1)
struct TSubjectAreaRec {
  uint8_t kind = 3;  // 0 point, 1 circle, 2 rectangle, 3 none
  int32_t refWidth = 0;
  int32_t refHeight = 0;
  uint16_t x = 0;
  uint16_t y = 0;
  uint16_t width = 0;  // or the diameter
  uint16_t height = 0;
};
#pragma pack(pop)

void RotateSubjectArea(TSubjectAreaRec& area, int rotation, bool flipV, bool flipH);
void ScaleSubjectArea(TSubjectAreaRec& area, int32_t width, int32_t height);

class TExifItemEx {
 public:
  enum Directory { kIfd0, kExif, kGps, kInterop, kIfd1, kIfd1Exif, kIfd1Gps, kIfd1Interop, kDirectoryCount };

  TExifItemEx();

  // Reads the whole block of a JPEG (APP1) or TIFF-structured file into memory; the file is
  // closed afterwards. Loaded() tells whether it had a valid TIFF header.
  void LoadExif(const std::string& fileName);
  void ToJpegForm();
  TSubjectAreaRec GetSubjectArea() const;
  void SetSubjectArea(const TSubjectAreaRec& area);
  // The main image follows the block: its bytes from insertPoint on become the tail, and the size,
  // orientation (when transformed) and modification date are brought up to date.
  void SetMainImage(TMemoryStream& jpeg, int64_t insertPoint, int32_t height, int32_t width, bool transformed);
  void SetThumbnail(TMemoryStream& jpeg, int64_t insertPoint);
  void DropThumbnail();
  // Lays out and writes the JPEG (block and tail) into stream; EExifWriteError when the block
  // does not fit into one APP1 segment.
  void BuildExifBlock(TStream& stream, bool mayDropThumbnail);
  // Writes the JPEG to a file through a temporary file and returns its size.
  int64_t WriteExifJpeg(const std::string& fileName, bool mayDropThumbnail);

  bool Loaded() const { return loaded_; }
  bool JpegForm() const { return jpegForm_; }
  bool BigEndian() const { return bigEndian_; }
  TIFDItem& Dir(Directory d) { return *directories_[d]; }
  const TIFDItem& Dir(Directory d) const { return *directories_[d]; }
  const std::vector<uint8_t>& Thumbnail() const { return thumbnail_; }

 private:
  // Offsets from the TIFF header of each directory and of the thumbnail, and the block's length.
  struct BlockLayout {
    int64_t offsets[kDirectoryCount] = {};
    int64_t thumbnail = 0;
    int64_t end = 0;
  };

  void LoadDirectories(TFileStream& stream, TiffReader& reader);
  void LoadThumbnailDirectories(TiffReader& reader, TiffWalk& walk, int64_t ifd1Position);
  // Reads directory d from the pointer's place; an unreadable directory is left empty.
  void ReadOrEmpty(TiffReader& reader, TiffWalk& walk, Directory d, uint32_t pointer);
  void SetByteOrder(bool bigEndian);

  void AddRequiredEntries();
  void SetPointer(Directory d, uint16_t tag, int64_t value);
  void PointTo(Directory d, uint16_t tag, Directory target, const BlockLayout& layout);
  void ShiftArray(Directory d, uint16_t tag, int64_t first);
  void FixPointers(const BlockLayout& layout);
  BlockLayout LayOut() const;
  void WriteBlock(TStream& stream, const BlockLayout& layout);

  std::string fileName_;
  bool loaded_ = false;
  bool jpegForm_ = false;
  bool bigEndian_ = false;
  std::unique_ptr<TIFDItem> directories_[kDirectoryCount];
  std::vector<uint8_t> tail_;
  std::vector<uint8_t> thumbnail_;
};

}  // namespace plb

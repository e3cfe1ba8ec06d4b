#pragma once
// One photo, movie or sound file of the catalog. An item keeps what the views need without opening
// the file again (name, kind, size, dates, pixel size, orientation, shooting date), the user's
// edits that never touch the file (marks, comment, colour adjustment, trimming, rotation) and its
// state. Items are owned by folders, referred to by albums, the calendar and the thumbnail cache,
// and never freed while the engine runs, so plain pointers to them stay valid.
//
// Lock order: a folder's lock may be held while an item's lock is taken, never the reverse. The
// few operations that change the owner folder's index (rename, move) therefore read the owner
// under the item lock, release it and then go through the folder.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/file_kinds.h"
#include "platform/compact_string.h"
#include "platform/error.h"
#include "platform/record_stream.h"
#include "platform/small_recursive_lock.h"

namespace plb {

class TCustomFolder;
class TFolder;
class TCatalogItem;

PLB_DECLARE_ERROR(ECatalogItemError, Error);

#pragma pack(push, 1)
// The colour adjustment of an item, applied when pictures of it are drawn.
struct TColorAdjustment {
  uint8_t enabled = 0;
  int32_t meido = 0;  // brightness
  int32_t cont = 0;   // contrast
  int32_t gamma = 100;
  int32_t red = 0;
  int32_t green = 0;
  int32_t blue = 0;
  uint8_t filter1 = 0;  // indices into the effect filter list
  uint8_t filter2 = 0;
  uint8_t filter3 = 0;
  bool operator==(const TColorAdjustment&) const = default;
};

// The fixed part of an item record, stored byte for byte (little-endian, no padding).
struct TCatalogItemBlock {
  int32_t recordNumber = 0;
  int32_t spareValue = -1;
  uint8_t kind = 0;
  uint8_t pixelFormat = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t fileSize = 0;  // low 32 bits
  double fileDate = 0;
  TColorAdjustment color;
  uint8_t cacheFlags[5] = {0, 0, 0, 0, 0};
  int32_t cacheSlots[5] = {0, 0, 0, 0, 0};
  uint8_t spareBytes[5] = {0, 0, 0, 0, 0};
  int16_t position = -1;
  uint8_t exifState = 0;  // 0 not yet read, 1 has EXIF data, 2 has none
  uint8_t spareByte = 0;
  uint8_t counter = 0;  // 0 to 8
  uint8_t flags = 20;
  uint16_t orientation = 1;
  int32_t thumbnailIndex = -1;
  int32_t previewIndex = -1;
  double shootingDate = 0;
  uint8_t fourLevelMark = 0;
  float exifValues[6] = {0, 0, 0, 0, 0, 0};
  uint8_t dateKnown = 0;
  uint8_t spareByte2 = 0;
  uint8_t orientationFixed = 0;
  uint8_t trimmingOn = 0;
  int32_t trimLeft = 0;
  int32_t trimTop = 0;
  int32_t trimRight = 0;
  int32_t trimBottom = 0;
  uint16_t aspectX = 0;
  uint16_t aspectY = 0;
};
#pragma pack(pop)

static_assert(sizeof(TColorAdjustment) == 28);
static_assert(sizeof(TCatalogItemBlock) == 161);
static_assert(offsetof(TCatalogItemBlock, fileDate) == 22);
static_assert(offsetof(TCatalogItemBlock, color) == 30);
static_assert(offsetof(TCatalogItemBlock, cacheFlags) == 58);
static_assert(offsetof(TCatalogItemBlock, cacheSlots) == 63);
static_assert(offsetof(TCatalogItemBlock, position) == 88);
static_assert(offsetof(TCatalogItemBlock, flags) == 93);
static_assert(offsetof(TCatalogItemBlock, orientation) == 94);
static_assert(offsetof(TCatalogItemBlock, shootingDate) == 104);
static_assert(offsetof(TCatalogItemBlock, exifValues) == 113);
static_assert(offsetof(TCatalogItemBlock, dateKnown) == 137);
static_assert(offsetof(TCatalogItemBlock, trimLeft) == 141);
static_assert(offsetof(TCatalogItemBlock, aspectX) == 157);
static_assert(std::endian::native == std::endian::little, "the block is stored as it lies in memory");

// Bits of TCatalogItemBlock::flags.
enum TCatalogItemFlag : uint8_t {
  cifMark = 1 << 0,            // favourite mark
  cifExternalPlayer = 1 << 1,  // played by an outside program
  cifChanged = 1 << 2,         // the file changed or attributes were copied
  cifReadOnly = 1 << 3,
  cifPreviewReset = 1 << 4,
  cifSecondMark = 1 << 5,
  cifMusicChanged = 1 << 6,  // read and cleared by the music-library updater
  cifUnjudged = 1 << 7,      // catalogued by a scan of its folder alone: no whole pass has seen it yet
};

enum TCatalogItemState : uint8_t { cisNew = 0, cisPresent = 1, cisMissing = 2, cisDeleted = 3 };

// Record versions.
constexpr uint32_t kItemRecordVersion = 54;
constexpr uint16_t kItemBlockSize = 161;

// A directory entry as a folder scan sees it.
struct TItemDirEntry {
  std::string_view name;
  uint64_t size = 0;
  double fileDate = 0;  // last-write time as a local date-time
  bool readOnly = false;
};

// What the image readers learned about a file.
struct TItemImageInfo {
  uint8_t pixelFormat = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool hasExif = false;
  uint16_t orientation = 1;
  double exifDate = 0;
};

// Something the images layer keeps with an item (its parsed EXIF data); dropped whenever the
// file changes.
class TItemAttachment {
 public:
  virtual ~TItemAttachment() = default;
};

// The calendar learns of shooting dates through this link (installed by the engine). It is called
// while the item's lock is held, so it must only queue.
class ICalendarLink {
 public:
  virtual ~ICalendarLink() = default;
  // 0 as a date means "none": (0, d) enters the item, (d, 0) takes it out.
  virtual void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) = 0;
};
void SetCalendarLink(ICalendarLink* link);

// Reads the image header of an item's file (installed by the images layer); false when it cannot.
using TImageHeaderReader = std::function<bool(const TCatalogItem& item, const std::string& path, TItemImageInfo& out)>;
void SetImageHeaderReader(TImageHeaderReader reader);
// The installed reader; empty when none is.
TImageHeaderReader CurrentImageHeaderReader();

// Fills the EXIF lines of an item's file (installed by the images layer); false without EXIF.
using TExifTextsReader = std::function<bool(const TCatalogItem& item, std::vector<std::string>& lines)>;
void SetExifTextsReader(TExifTextsReader reader);

// The rotation operations on an orientation (1 to 8); other values come back unchanged.
uint16_t RotateOrientationRight(uint16_t o);
uint16_t RotateOrientationLeft(uint16_t o);
uint16_t FlipOrientationVertically(uint16_t o);
uint16_t FlipOrientationHorizontally(uint16_t o);
// How an orientation is drawn.
int OrientationQuarterTurns(uint16_t o);
bool OrientationFlipsVertically(uint16_t o);
bool OrientationFlipsHorizontally(uint16_t o);
bool OrientationSwapsSides(uint16_t o);
// Orientation from the rotation (0 to 3, taken modulo 4) and two flips of earlier records.
uint16_t LegacyOrientation(uint8_t rotation, bool flipA, bool flipB);

struct TTrimRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TTrimRect&) const = default;
};

class TCatalogItem {
 public:
  TCatalogItem();
  virtual ~TCatalogItem();
  TCatalogItem(const TCatalogItem&) = delete;
  TCatalogItem& operator=(const TCatalogItem&) = delete;
  // Items come from the item storage (see catalog_item_storage.h).
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size) noexcept;

  // 0 for a local file item, 1 for an Eye-Fi item.
  virtual int ItemClass() const { return 0; }
  // The display name used by sorting.
  virtual std::string FileName() const;
  // The EXIF lines of the file; true when it has EXIF data.
  virtual bool GetExifTexts(std::vector<std::string>& lines) const;
  // Hooks for items whose data do not come from a local file; a local item has none.
  virtual int64_t RemoteFileSize() const { return 0; }
  virtual int RemoteThumbnail(std::string& /*bytes*/) const { return 0; }
  virtual int RemoteImage(std::string& /*bytes*/) const { return 0; }
  virtual int RemoteReference() const { return 0; }
  virtual void RemotePrepare() {}
  virtual void RemoteRelease() {}
  // Reads a record of any version written by this program; EReadError on a damaged record.
  virtual void LoadFromStream(RecordReader& in);
  // Writes the current record version.
  virtual void SaveToStream(RecordWriter& out);

  // The lock every accessor takes; re-entrant.
  platform::SmallRecursiveLock& Lock() const { return lock_; }

  // The fixed block as a whole.
  TCatalogItemBlock Block() const;
  void SetBlock(const TCatalogItemBlock& block);

  TFolder* Owner() const;
  // Only the owner folder sets this, under its own lock.
  void SetOwnerRaw(TFolder* folder);
  // The owner's path with a trailing "/", empty without owner; full path = folder path + name.
  std::string FolderPath() const;
  std::string FullPath() const;
  std::string FileNameWithoutExtension() const;
  std::string Extension() const;
  // Renames the item in its owner's index (a name another item holds refuses); true when the
  // name is now the item's.
  bool SetFileName(const std::string& name);
  // Only the owner folder calls this, under its own lock.
  void SetFileNameRaw(std::string name);
  // Moves the item to another folder's index; position -1 when asked. False, and nothing moved,
  // when the folder already holds an item of that name. To no folder (null) the item leaves the
  // catalog as a deleted one does, its albums included.
  bool MoveToFolder(TFolder* folder, bool resetPosition);

  // Updates from a directory entry found by a scan. Derived data (pixel size, EXIF state, cache
  // slots) are kept while size and time are unchanged.
  void UpdateFromEntry(const TItemDirEntry& entry, uint8_t kind, bool externalPlayer);

  // Pixel count, reading the file's header first when the size is not known yet.
  int64_t PixelCount();
  void ReadDimensions();
  void ApplyImageInfo(const TItemImageInfo& info, bool fileDateAsFallback);
  // Attributes of another item after a copy or move within the catalog.
  void CopyAttributes(const TCatalogItem& from);

  TCatalogItemState State() const;
  void SetState(TCatalogItemState state);
  // No owner, an owner marked Missing, or a missing or deleted state.
  bool Unavailable() const;
  // True when the user gave the item something of its own: tags or albums, marks, texts, colour
  // corrections or a trimming. Such an item is never given up for another item's data.
  bool HoldsUserData() const;
  // See cifUnjudged: such an item may be the file of an item that a whole pass finds gone.
  bool Unjudged() const;
  void SetUnjudged(bool on);

  // Tags: the albums that contain the item, in the order they were added, without duplicates.
  bool AddTag(TCustomFolder* album);
  bool RemoveTag(TCustomFolder* album);
  std::vector<TCustomFolder*> Tags() const;
  // The tags whose album type is in the set (bit n for type n).
  std::vector<TCustomFolder*> TagsOfAlbumTypes(uint32_t types) const;

  // Display texts: 0 name, 1 extension, 2 size in pixels, 3 pixel format, 4 file size, 5 file
  // date, 6 comment, 7 folder path; other types are empty.
  std::string DisplayText(int type) const;
  // The text with line breaks as blanks, trimmed; with a pattern "%s" pairs the label and text.
  std::string LabeledDisplayText(int type, const std::string& pattern = "") const;
  static std::string DisplayLabel(int type);

  // Orientation: values outside 1 to 8 are ignored; setting fixes the orientation.
  uint16_t Orientation() const;
  void SetOrientation(uint16_t orientation);
  void RotateRight();
  void RotateLeft();
  void FlipVertically();
  void FlipHorizontally();
  // Width and height as displayed (sides swapped for orientations 5 to 8).
  int32_t DisplayWidth() const;
  int32_t DisplayHeight() const;

  // Trimming is in force when switched on and the rectangle has a positive size.
  bool TrimmingInForce() const;
  TTrimRect TrimRect() const;
  void SetTrimming(bool on, const TTrimRect& rect, uint16_t aspectX, uint16_t aspectY);
  // The rectangle for a picture of another size (half-up rounding), in stored orientation or as
  // displayed.
  TTrimRect ScaledTrimRect(int32_t targetWidth, int32_t targetHeight) const;
  TTrimRect DisplayedTrimRect(int32_t targetWidth, int32_t targetHeight) const;

  // Shooting date and calendar placement.
  double ShootingDate() const;
  void SetShootingDate(double date);
  bool DateKnown() const;
  void SetDateKnown(bool known);

  // Plain fields.
  uint8_t Kind() const;
  double FileDate() const;
  // The file's modification time after the program itself changed the file.
  void SetFileDate(double date);
  // The full size of the file (records keep only the low 32 bits).
  uint64_t FileSize() const;
  int32_t Width() const;
  int32_t Height() const;
  uint8_t PixelFormat() const;
  uint8_t ExifState() const;
  int32_t RecordNumber() const;
  void SetRecordNumber(int32_t n);
  uint8_t Flags() const;
  bool Mark() const;
  void SetMark(bool on);
  bool SecondMark() const;
  void SetSecondMark(bool on);
  uint8_t FourLevelMark() const;
  void SetFourLevelMark(uint8_t v);
  uint8_t Counter() const;
  void RaiseCounter();
  void LowerCounter();
  void ClearCounter();
  TColorAdjustment Color() const;
  void SetColor(const TColorAdjustment& color);
  int16_t Position() const;
  void SetPosition(int16_t p);
  int32_t ThumbnailIndex() const;
  void SetThumbnailIndex(int32_t v);
  int32_t PreviewIndex() const;
  void SetPreviewIndex(int32_t v);
  int32_t GroupNumber() const;
  void SetGroupNumber(int32_t v);
  uint16_t Sequence() const;
  void SetSequence(uint16_t v);
  int32_t CacheIndex() const;
  void SetCacheIndex(int32_t v);
  // The calendar day that holds the item (kept by the calendar), or null.
  TCustomFolder* CalendarDay() const;
  void SetCalendarDay(TCustomFolder* day);
  TItemAttachment* Attachment() const;
  void SetAttachment(std::unique_ptr<TItemAttachment> attachment);
  uint8_t UploaderValue(int index) const;
  void SetUploaderValue(int index, uint8_t v);

  // Texts.
  std::string Title() const;
  void SetTitle(const std::string& v);
  std::string SecondTitle() const;
  void SetSecondTitle(const std::string& v);
  std::string Comment() const;
  void SetComment(const std::string& v);
  std::string ExifText1() const;
  void SetExifText1(const std::string& v);
  std::string ExifText2() const;
  void SetExifText2(const std::string& v);
  std::string RemoteRef() const;
  void SetRemoteRef(const std::string& v);

 protected:
  // Everything the file's change invalidates.
  void ResetDerivedData();
  void ResetCacheState();

 private:
  // Texts, tags, an attachment and sizes beyond 4 GB are rare, so they live outside the item
  // until one is set; the part goes again when it is empty.
  struct Extra {
    std::string title, secondTitle, comment, exifText1, exifText2, remoteRef;
    std::vector<TCustomFolder*> tags;
    std::unique_ptr<TItemAttachment> attachment;
    uint32_t fileSizeHigh = 0;  // the block keeps the low 32 bits of the file size
    bool Empty() const;
    bool NoTexts() const;
    void CopyTextsFrom(const Extra& other);
  };
  Extra& MutableExtra();
  void DropExtraIfEmpty();
  std::string ExtraText(std::string Extra::*field) const;
  void SetExtraText(std::string Extra::*field, const std::string& v);
  void ApplyOrientationLocked(uint16_t o);
  uint64_t FileSizeLocked() const;
  bool TrimmingInForceLocked() const;
  void SetFileSizeHighLocked(uint32_t high);
  void DropAttachmentLocked();

  // The owner folder reads names under its own lock while it searches its index.
  friend class TFolder;

  // A catalog holds items by the million: the fields are ordered so that only the end of the
  // packed block is padded, and the lock is the eight-byte kind.
  mutable platform::SmallRecursiveLock lock_;
  TFolder* owner_ = nullptr;
  TCustomFolder* calendarDay_ = nullptr;
  platform::CompactString name_;
  std::unique_ptr<Extra> extra_;
  int32_t groupNumber_ = 0;
  int32_t cacheIndex_ = 0;
  uint16_t sequence_ = 0xFFFF;
  uint8_t uploader_[2] = {0, 0};
  TCatalogItemBlock block_;
  TCatalogItemState state_ = cisNew;
};

// An item listed from the online Eye-Fi service instead of a local file.
class TEyeFiCatalogItem : public TCatalogItem {
 public:
  int ItemClass() const override { return 1; }
};

}  // namespace plb

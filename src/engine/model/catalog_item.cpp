#include "engine/model/catalog_item.h"

#include <atomic>
#include <cmath>

#include "engine/model/catalog_item_storage.h"
#include "engine/model/folder.h"
#include "host/date_time.h"
#include "host/format.h"

namespace plb {

void* TCatalogItem::operator new(std::size_t size) { return item_storage::Allocate(size); }
void TCatalogItem::operator delete(void* p, std::size_t size) noexcept { item_storage::Release(p, size); }

namespace {

std::atomic<ICalendarLink*> g_calendar{nullptr};

std::mutex& HooksLock() {
  static std::mutex lock;
  return lock;
}
TImageHeaderReader& HeaderReader() {
  static TImageHeaderReader reader;
  return reader;
}
TExifTextsReader& ExifReader() {
  static TExifTextsReader reader;
  return reader;
}

void QueueDateChange(TCatalogItem* item, double oldDate, double newDate) {
  if (ICalendarLink* link = g_calendar.load()) link->QueueDateChange(item, oldDate, newDate);
}

constexpr uint16_t kRotateRight[8] = {6, 7, 8, 5, 2, 3, 4, 1};
constexpr uint16_t kRotateLeft[8] = {8, 5, 6, 7, 4, 1, 2, 3};
constexpr uint16_t kFlipVertical[8] = {4, 3, 2, 1, 8, 7, 6, 5};
constexpr uint16_t kFlipHorizontal[8] = {2, 1, 4, 3, 6, 5, 8, 7};

uint16_t Through(const uint16_t (&table)[8], uint16_t o) {
  return (o >= 1 && o <= 8) ? table[o - 1] : o;
}

bool ValidOrientation(uint16_t o) {
  return o >= 1 && o <= 8;
}

int32_t RoundHalfUp(double v) {
  return static_cast<int32_t>(std::floor(v + 0.5));
}

}  // namespace

void SetCalendarLink(ICalendarLink* link) {
  g_calendar.store(link);
}

void SetImageHeaderReader(TImageHeaderReader reader) {
  std::lock_guard guard(HooksLock());
  HeaderReader() = std::move(reader);
}

TImageHeaderReader CurrentImageHeaderReader() {
  std::lock_guard guard(HooksLock());
  return HeaderReader();
}

void SetExifTextsReader(TExifTextsReader reader) {
  std::lock_guard guard(HooksLock());
  ExifReader() = std::move(reader);
}

uint16_t RotateOrientationRight(uint16_t o) {
  return Through(kRotateRight, o);
}
uint16_t RotateOrientationLeft(uint16_t o) {
  return Through(kRotateLeft, o);
}
uint16_t FlipOrientationVertically(uint16_t o) {
  return Through(kFlipVertical, o);
}
uint16_t FlipOrientationHorizontally(uint16_t o) {
  return Through(kFlipHorizontal, o);
}

int OrientationQuarterTurns(uint16_t o) {
  switch (o) {
    case 3:
      return 2;
    case 5:
    case 8:
      return 3;
    case 6:
    case 7:
      return 1;
    default:
      return 0;
  }
}
bool OrientationFlipsVertically(uint16_t o) {
  return o == 4 || o == 5 || o == 7;
}
bool OrientationFlipsHorizontally(uint16_t o) {
  return o == 2;
}
bool OrientationSwapsSides(uint16_t o) {
  return o >= 5 && o <= 8;
}

uint16_t LegacyOrientation(uint8_t rotation, bool flipA, bool flipB) {
  static constexpr uint16_t kBoth[4] = {3, 8, 1, 6};
  static constexpr uint16_t kOnlyA[4] = {4, 7, 2, 5};
  static constexpr uint16_t kOnlyB[4] = {2, 5, 4, 7};
  static constexpr uint16_t kNone[4] = {1, 6, 3, 8};
  // Earlier records held any byte here; only its quarter turn means something.
  const int r = rotation % 4;
  if (flipA && flipB) return kBoth[r];
  if (flipA) return kOnlyA[r];
  if (flipB) return kOnlyB[r];
  return kNone[r];
}

TCatalogItem::TCatalogItem() = default;
TCatalogItem::~TCatalogItem() = default;

bool TCatalogItem::Extra::NoTexts() const {
  return title.empty() && secondTitle.empty() && comment.empty() && exifText1.empty() && exifText2.empty() &&
         remoteRef.empty();
}

bool TCatalogItem::Extra::Empty() const {
  return NoTexts() && tags.empty() && !attachment && fileSizeHigh == 0;
}

void TCatalogItem::Extra::CopyTextsFrom(const Extra& other) {
  title = other.title;
  secondTitle = other.secondTitle;
  comment = other.comment;
  exifText1 = other.exifText1;
  exifText2 = other.exifText2;
  remoteRef = other.remoteRef;
}

TCatalogItem::Extra& TCatalogItem::MutableExtra() {
  if (!extra_) extra_ = std::make_unique<Extra>();
  return *extra_;
}

void TCatalogItem::DropExtraIfEmpty() {
  if (extra_ && extra_->Empty()) extra_.reset();
}

uint64_t TCatalogItem::FileSizeLocked() const {
  const uint64_t high = extra_ ? extra_->fileSizeHigh : 0;
  return (high << 32) | static_cast<uint32_t>(block_.fileSize);
}

void TCatalogItem::SetFileSizeHighLocked(uint32_t high) {
  if (high != 0) {
    MutableExtra().fileSizeHigh = high;
  } else if (extra_) {
    extra_->fileSizeHigh = 0;
    DropExtraIfEmpty();
  }
}

void TCatalogItem::DropAttachmentLocked() {
  if (!extra_) return;
  extra_->attachment.reset();
  DropExtraIfEmpty();
}

std::string TCatalogItem::ExtraText(std::string Extra::*field) const {
  std::lock_guard guard(lock_);
  return extra_ ? (*extra_).*field : std::string();
}

void TCatalogItem::SetExtraText(std::string Extra::*field, const std::string& v) {
  std::lock_guard guard(lock_);
  if (!extra_ && v.empty()) return;
  MutableExtra().*field = v;
  DropExtraIfEmpty();
}

std::string TCatalogItem::FileName() const {
  std::lock_guard guard(lock_);
  return name_.Str();
}

bool TCatalogItem::GetExifTexts(std::vector<std::string>& lines) const {
  TExifTextsReader reader;
  {
    std::lock_guard guard(HooksLock());
    reader = ExifReader();
  }
  return reader ? reader(*this, lines) : false;
}

TCatalogItemBlock TCatalogItem::Block() const {
  std::lock_guard guard(lock_);
  return block_;
}

void TCatalogItem::SetBlock(const TCatalogItemBlock& block) {
  std::lock_guard guard(lock_);
  block_ = block;
  SetFileSizeHighLocked(0);
}

TFolder* TCatalogItem::Owner() const {
  std::lock_guard guard(lock_);
  return owner_;
}

void TCatalogItem::SetOwnerRaw(TFolder* folder) {
  std::lock_guard guard(lock_);
  owner_ = folder;
}

std::string TCatalogItem::FolderPath() const {
  TFolder* owner = Owner();  // the owner's path is read after our lock is released
  if (!owner) return std::string();
  std::string path = owner->GetFullName();
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string TCatalogItem::FullPath() const {
  return FolderPath() + FileName();
}

std::string TCatalogItem::FileNameWithoutExtension() const {
  const std::string name = FileName();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string TCatalogItem::Extension() const {
  return std::string(ExtensionOf(FileName()));
}

bool TCatalogItem::SetFileName(const std::string& name) {
  TFolder* owner = Owner();
  if (owner) return owner->RenameItem(this, name);
  SetFileNameRaw(name);
  return true;
}

void TCatalogItem::SetFileNameRaw(std::string name) {
  std::lock_guard guard(lock_);
  name_.Assign(name);
}

bool TCatalogItem::MoveToFolder(TFolder* folder, bool resetPosition) {
  TFolder* old = Owner();
  if (old == folder) return true;
  if (!folder) {
    // Out of every folder is out of the catalog: albums and the calendar let the item go, and
    // it stays among its folder's removed items, never freed while anything may point at it.
    if (old && old->TakeItemOut(this) < 0) return false;
    SetState(cisDeleted);
    return true;
  }
  if (folder->FindItem(FileName())) return false;
  std::unique_ptr<TCatalogItem> self = old ? old->DropItem(this) : nullptr;
  if (old && !self) return false;  // not listed where it claims to be
  if (folder) {
    if (!self) return false;  // an unowned item has no owner to hand it over
    if (folder->AddItem(self) >= 0) {
      old->AddItem(self);  // the name was taken meanwhile: put it back
      return false;
    }
  }
  if (resetPosition) SetPosition(-1);
  return true;
}

void TCatalogItem::ResetCacheState() {
  // The block is packed: its fields are set by index, never through references.
  for (int i = 0; i < 5; ++i) {
    block_.cacheFlags[i] = 0;
    block_.cacheSlots[i] = -1;
  }
  cacheIndex_ = 0;
}

void TCatalogItem::ResetDerivedData() {
  block_.width = 0;
  block_.height = 0;
  if (!block_.orientationFixed) block_.orientation = 1;
  block_.exifState = 0;
  block_.spareByte = 0;
  ResetCacheState();
  block_.flags |= cifChanged | cifPreviewReset | cifMusicChanged;
  block_.previewIndex = -1;
  DropAttachmentLocked();
}

void TCatalogItem::UpdateFromEntry(const TItemDirEntry& entry, uint8_t kind, bool externalPlayer) {
  std::lock_guard guard(lock_);
  const auto size32 = static_cast<int32_t>(static_cast<uint32_t>(entry.size));
  if (entry.fileDate != block_.fileDate || size32 != block_.fileSize) ResetDerivedData();
  state_ = cisPresent;
  name_.Assign(entry.name);
  block_.fileDate = entry.fileDate;
  block_.fileSize = size32;
  SetFileSizeHighLocked(static_cast<uint32_t>(entry.size >> 32));
  block_.kind = kind;
  block_.flags =
      static_cast<uint8_t>(externalPlayer ? (block_.flags | cifExternalPlayer) : (block_.flags & ~cifExternalPlayer));
  block_.flags = static_cast<uint8_t>(entry.readOnly ? (block_.flags | cifReadOnly) : (block_.flags & ~cifReadOnly));
  if (kind == fkSound) block_.exifState = 2;
}

int64_t TCatalogItem::PixelCount() {
  {
    std::lock_guard guard(lock_);
    if (block_.width != 0 || block_.height != 0) return int64_t{block_.width} * block_.height;
  }
  ReadDimensions();
  std::lock_guard guard(lock_);
  return int64_t{block_.width} * block_.height;
}

void TCatalogItem::ReadDimensions() {
  double date;
  int32_t size;
  {
    std::lock_guard guard(lock_);
    if (state_ != cisNew && state_ != cisPresent) return;
    date = block_.fileDate;
    size = block_.fileSize;
  }
  TImageHeaderReader reader;
  {
    std::lock_guard guard(HooksLock());
    reader = HeaderReader();
  }
  if (!reader) return;
  // The file is read without the item's lock; what it says applies only to the same file.
  TItemImageInfo info;
  try {
    if (!reader(*this, FullPath(), info)) return;
  } catch (...) {
    return;  // a header that cannot be read leaves the item as it was
  }
  std::lock_guard guard(lock_);
  if (block_.fileDate != date || block_.fileSize != size) return;
  block_.pixelFormat = info.pixelFormat;
  block_.width = info.width;
  block_.height = info.height;
  if (info.hasExif) {
    block_.exifState = 1;
    if (!block_.orientationFixed) ApplyOrientationLocked(info.orientation);
    SetShootingDate(info.exifDate);
  } else {
    block_.exifState = 2;
  }
}

void TCatalogItem::ApplyImageInfo(const TItemImageInfo& info, bool fileDateAsFallback) {
  std::lock_guard guard(lock_);
  block_.pixelFormat = info.pixelFormat;
  block_.width = info.width;
  block_.height = info.height;
  if (info.hasExif) {
    block_.exifState = 1;
    if (!block_.orientationFixed) ApplyOrientationLocked(info.orientation);
    if (info.exifDate > 0) {
      SetShootingDate(info.exifDate);
    } else if (fileDateAsFallback) {
      SetShootingDate(block_.fileDate);
    }
  } else {
    block_.exifState = 2;
    if (fileDateAsFallback) SetShootingDate(block_.fileDate);
  }
}

void TCatalogItem::CopyAttributes(const TCatalogItem& from) {
  TCatalogItemBlock block;
  std::unique_ptr<Extra> texts;
  int32_t group;
  uint32_t sizeHigh;
  {
    std::lock_guard guard(from.lock_);
    block = from.block_;
    // Tags are memberships of the other item and its attachment describes the other file.
    if (from.extra_ && !from.extra_->NoTexts()) {
      texts = std::make_unique<Extra>();
      texts->CopyTextsFrom(*from.extra_);
    }
    group = from.groupNumber_;
    sizeHigh = from.extra_ ? from.extra_->fileSizeHigh : 0;
  }
  std::lock_guard guard(lock_);
  const double oldDate = block_.shootingDate;
  const bool oldKnown = block_.dateKnown != 0;
  block.thumbnailIndex = block_.thumbnailIndex;
  block_ = block;
  groupNumber_ = group;
  std::vector<TCustomFolder*> tags = extra_ ? std::move(extra_->tags) : std::vector<TCustomFolder*>();
  extra_ = std::move(texts);  // our own attachment goes with the old part
  if (!tags.empty()) MutableExtra().tags = std::move(tags);
  SetFileSizeHighLocked(sizeHigh);
  DropExtraIfEmpty();
  const bool newKnown = block_.dateKnown != 0;
  if (oldKnown && newKnown && oldDate != block_.shootingDate) QueueDateChange(this, oldDate, block_.shootingDate);
  if (!oldKnown && newKnown) QueueDateChange(this, 0, block_.shootingDate);
  if (oldKnown && !newKnown) QueueDateChange(this, oldDate, 0);
  ResetCacheState();
  block_.flags |= cifChanged | cifPreviewReset;
  block_.previewIndex = -1;
}

TCatalogItemState TCatalogItem::State() const {
  std::lock_guard guard(lock_);
  return state_;
}

void TCatalogItem::SetState(TCatalogItemState state) {
  std::vector<TCustomFolder*> tags;
  double date;
  {
    std::lock_guard guard(lock_);
    if (state_ == cisDeleted || state_ == state) return;
    state_ = state;
    if (state != cisDeleted) return;
    date = block_.shootingDate;
    block_.dateKnown = 0;
    if (extra_) tags = extra_->tags;
  }
  // A deleted item leaves the calendar and every album; neither may run under our lock.
  QueueDateChange(this, date, 0);
  for (TCustomFolder* album : tags) album->ForgetItem(this);
}

bool TCatalogItem::Unavailable() const {
  TFolder* owner;
  {
    std::lock_guard guard(lock_);
    if (state_ == cisMissing || state_ == cisDeleted) return true;
    owner = owner_;
  }
  return !owner || owner->Missing();
}

bool TCatalogItem::HoldsUserData() const {
  std::lock_guard guard(lock_);
  if (extra_ && (!extra_->tags.empty() || !extra_->title.empty() || !extra_->secondTitle.empty() ||
                 !extra_->comment.empty())) {
    return true;
  }
  return (block_.flags & (cifMark | cifSecondMark)) != 0 || block_.fourLevelMark != 0 ||
         !(block_.color == TColorAdjustment{}) || TrimmingInForceLocked();
}

bool TCatalogItem::AddTag(TCustomFolder* album) {
  std::lock_guard guard(lock_);
  if (!album) return false;
  auto& tags = MutableExtra().tags;
  for (TCustomFolder* t : tags) {
    if (t == album) return false;
  }
  tags.push_back(album);
  return true;
}

bool TCatalogItem::RemoveTag(TCustomFolder* album) {
  std::lock_guard guard(lock_);
  if (!extra_) return false;
  auto& tags = extra_->tags;
  for (auto it = tags.begin(); it != tags.end(); ++it) {
    if (*it == album) {
      tags.erase(it);
      DropExtraIfEmpty();
      return true;
    }
  }
  return false;
}

std::vector<TCustomFolder*> TCatalogItem::Tags() const {
  std::lock_guard guard(lock_);
  return extra_ ? extra_->tags : std::vector<TCustomFolder*>();
}

std::vector<TCustomFolder*> TCatalogItem::TagsOfAlbumTypes(uint32_t types) const {
  std::vector<TCustomFolder*> out;
  for (TCustomFolder* album : Tags()) {
    const uint8_t type = album->AlbumType();
    if (type < 32 && (types & (uint32_t{1} << type))) out.push_back(album);
  }
  return out;
}

std::string TCatalogItem::DisplayText(int type) const {
  static constexpr const char* kPixelFormats[] = {"Device", "1bit",  "4bit",  "8bit",  "15bit",
                                                  "16bit",  "24bit", "32bit", "Custom"};
  TCatalogItemBlock block;
  uint64_t size;
  {
    std::lock_guard guard(lock_);
    block = block_;
    size = FileSizeLocked();
  }
  switch (type) {
    case 0:
      return FileName();
    case 1:
      return Extension();
    case 2:
      return Format("%s x %s", FormatFloat("#,##0", block.width), FormatFloat("#,##0", block.height));
    case 3:
      return block.pixelFormat <= 8 ? kPixelFormats[block.pixelFormat] : "";
    case 4:
      return FormatFloat("#,##0", static_cast<double>(size));
    case 5:
      return FormatDateTime("yyyy/mm/dd hh:nn:ss", block.fileDate);
    case 6:
      return Comment();
    case 7:
      return FolderPath();
    default:
      return "";
  }
}

std::string TCatalogItem::DisplayLabel(int type) {
  static constexpr const char* kLabels[] = {"ファイル名",     "拡張子",           "画像サイズ", "色数",
                                            "ファイルサイズ", "ファイル更新日時", "コメント",   "フォルダ名"};
  return (type >= 0 && type < 8) ? kLabels[type] : "Unknown";
}

std::string TCatalogItem::LabeledDisplayText(int type, const std::string& pattern) const {
  // A line break (CR LF, or a lone CR or LF) becomes one blank.
  const std::string raw = DisplayText(type);
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' || raw[i] == '\n') {
      if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      text.push_back(' ');
    } else {
      text.push_back(raw[i]);
    }
  }
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  size_t end = text.size();
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  text = text.substr(start, end - start);
  if (pattern.empty()) return text;
  return Format(pattern, DisplayLabel(type), text);
}

uint16_t TCatalogItem::Orientation() const {
  std::lock_guard guard(lock_);
  return block_.orientation;
}

void TCatalogItem::ApplyOrientationLocked(uint16_t o) {
  if (ValidOrientation(o)) block_.orientation = o;
}

void TCatalogItem::SetOrientation(uint16_t orientation) {
  std::lock_guard guard(lock_);
  if (!ValidOrientation(orientation)) return;
  block_.orientation = orientation;
  block_.orientationFixed = 1;
}

void TCatalogItem::RotateRight() {
  std::lock_guard guard(lock_);
  SetOrientation(RotateOrientationRight(block_.orientation));
}
void TCatalogItem::RotateLeft() {
  std::lock_guard guard(lock_);
  SetOrientation(RotateOrientationLeft(block_.orientation));
}
void TCatalogItem::FlipVertically() {
  std::lock_guard guard(lock_);
  SetOrientation(FlipOrientationVertically(block_.orientation));
}
void TCatalogItem::FlipHorizontally() {
  std::lock_guard guard(lock_);
  SetOrientation(FlipOrientationHorizontally(block_.orientation));
}

int32_t TCatalogItem::DisplayWidth() const {
  std::lock_guard guard(lock_);
  return OrientationSwapsSides(block_.orientation) ? block_.height : block_.width;
}

int32_t TCatalogItem::DisplayHeight() const {
  std::lock_guard guard(lock_);
  return OrientationSwapsSides(block_.orientation) ? block_.width : block_.height;
}

bool TCatalogItem::TrimmingInForce() const {
  std::lock_guard guard(lock_);
  return TrimmingInForceLocked();
}

bool TCatalogItem::TrimmingInForceLocked() const {
  return block_.trimmingOn && block_.trimRight > block_.trimLeft && block_.trimBottom > block_.trimTop;
}

TTrimRect TCatalogItem::TrimRect() const {
  std::lock_guard guard(lock_);
  return {block_.trimLeft, block_.trimTop, block_.trimRight, block_.trimBottom};
}

void TCatalogItem::SetTrimming(bool on, const TTrimRect& rect, uint16_t aspectX, uint16_t aspectY) {
  std::lock_guard guard(lock_);
  block_.trimmingOn = on ? 1 : 0;
  block_.trimLeft = rect.left;
  block_.trimTop = rect.top;
  block_.trimRight = rect.right;
  block_.trimBottom = rect.bottom;
  block_.aspectX = aspectX;
  block_.aspectY = aspectY;
}

TTrimRect TCatalogItem::ScaledTrimRect(int32_t targetWidth, int32_t targetHeight) const {
  std::lock_guard guard(lock_);
  if (block_.width <= 0 || block_.height <= 0) return {};
  const double sx = static_cast<double>(targetWidth) / block_.width;
  const double sy = static_cast<double>(targetHeight) / block_.height;
  return {RoundHalfUp(block_.trimLeft * sx), RoundHalfUp(block_.trimTop * sy), RoundHalfUp(block_.trimRight * sx),
          RoundHalfUp(block_.trimBottom * sy)};
}

TTrimRect TCatalogItem::DisplayedTrimRect(int32_t targetWidth, int32_t targetHeight) const {
  std::lock_guard guard(lock_);
  const int32_t w = block_.width, h = block_.height;
  if (w <= 0 || h <= 0) return {};
  const uint16_t o = block_.orientation;
  int32_t l = block_.trimLeft, t = block_.trimTop, r = block_.trimRight, b = block_.trimBottom;
  // Turn the rectangle with the picture: quarter turns clockwise, then the flips.
  int32_t dw = w, dh = h;
  for (int turn = 0; turn < OrientationQuarterTurns(o); ++turn) {
    const int32_t nl = dh - b, nt = l, nr = dh - t, nb = r;
    l = nl, t = nt, r = nr, b = nb;
    std::swap(dw, dh);
  }
  if (OrientationFlipsVertically(o)) {
    const int32_t nt = dh - b, nb = dh - t;
    t = nt, b = nb;
  }
  if (OrientationFlipsHorizontally(o)) {
    const int32_t nl = dw - r, nr = dw - l;
    l = nl, r = nr;
  }
  const double sx = static_cast<double>(targetWidth) / dw;
  const double sy = static_cast<double>(targetHeight) / dh;
  return {RoundHalfUp(l * sx), RoundHalfUp(t * sy), RoundHalfUp(r * sx), RoundHalfUp(b * sy)};
}

double TCatalogItem::ShootingDate() const {
  std::lock_guard guard(lock_);
  return block_.shootingDate;
}

void TCatalogItem::SetShootingDate(double date) {
  std::lock_guard guard(lock_);
  if (date == block_.shootingDate) return;
  const double old = block_.shootingDate;
  block_.shootingDate = date;
  if (block_.dateKnown) QueueDateChange(this, old, date);
}

bool TCatalogItem::DateKnown() const {
  std::lock_guard guard(lock_);
  return block_.dateKnown != 0;
}

void TCatalogItem::SetDateKnown(bool known) {
  std::lock_guard guard(lock_);
  if (known == (block_.dateKnown != 0)) return;
  if (known && state_ == cisDeleted) return;  // a deleted item never re-enters the calendar
  block_.dateKnown = known ? 1 : 0;
  if (known) {
    QueueDateChange(this, 0, block_.shootingDate);
  } else {
    QueueDateChange(this, block_.shootingDate, 0);
  }
}

#define PLB_ITEM_GETTER(Type, Name, expr) \
  Type TCatalogItem::Name() const {       \
    std::lock_guard guard(lock_);         \
    return expr;                          \
  }
#define PLB_ITEM_SETTER(Type, Name, target) \
  void TCatalogItem::Name(Type v) {         \
    std::lock_guard guard(lock_);           \
    target = v;                             \
  }

PLB_ITEM_GETTER(uint8_t, Kind, block_.kind)
PLB_ITEM_GETTER(double, FileDate, block_.fileDate)
PLB_ITEM_SETTER(double, SetFileDate, block_.fileDate)
PLB_ITEM_GETTER(uint64_t, FileSize, FileSizeLocked())
PLB_ITEM_GETTER(int32_t, Width, block_.width)
PLB_ITEM_GETTER(int32_t, Height, block_.height)
PLB_ITEM_GETTER(uint8_t, PixelFormat, block_.pixelFormat)
PLB_ITEM_GETTER(uint8_t, ExifState, block_.exifState)
PLB_ITEM_GETTER(int32_t, RecordNumber, block_.recordNumber)
PLB_ITEM_SETTER(int32_t, SetRecordNumber, block_.recordNumber)
PLB_ITEM_GETTER(uint8_t, Flags, block_.flags)
PLB_ITEM_GETTER(bool, Mark, (block_.flags & cifMark) != 0)
PLB_ITEM_GETTER(bool, SecondMark, (block_.flags & cifSecondMark) != 0)
PLB_ITEM_GETTER(bool, Unjudged, (block_.flags & cifUnjudged) != 0)
PLB_ITEM_GETTER(uint8_t, FourLevelMark, block_.fourLevelMark)
PLB_ITEM_SETTER(uint8_t, SetFourLevelMark, block_.fourLevelMark)
PLB_ITEM_GETTER(uint8_t, Counter, block_.counter)
PLB_ITEM_GETTER(TColorAdjustment, Color, block_.color)
PLB_ITEM_SETTER(const TColorAdjustment&, SetColor, block_.color)
PLB_ITEM_GETTER(int16_t, Position, block_.position)
PLB_ITEM_SETTER(int16_t, SetPosition, block_.position)
PLB_ITEM_GETTER(int32_t, ThumbnailIndex, block_.thumbnailIndex)
PLB_ITEM_SETTER(int32_t, SetThumbnailIndex, block_.thumbnailIndex)
PLB_ITEM_GETTER(int32_t, PreviewIndex, block_.previewIndex)
PLB_ITEM_SETTER(int32_t, SetPreviewIndex, block_.previewIndex)
PLB_ITEM_GETTER(int32_t, GroupNumber, groupNumber_)
PLB_ITEM_SETTER(int32_t, SetGroupNumber, groupNumber_)
PLB_ITEM_GETTER(uint16_t, Sequence, sequence_)
PLB_ITEM_SETTER(uint16_t, SetSequence, sequence_)
PLB_ITEM_GETTER(int32_t, CacheIndex, cacheIndex_)
PLB_ITEM_SETTER(int32_t, SetCacheIndex, cacheIndex_)
PLB_ITEM_GETTER(TCustomFolder*, CalendarDay, calendarDay_)
PLB_ITEM_SETTER(TCustomFolder*, SetCalendarDay, calendarDay_)
PLB_ITEM_GETTER(TItemAttachment*, Attachment, extra_ ? extra_->attachment.get() : nullptr)

#undef PLB_ITEM_GETTER
#undef PLB_ITEM_SETTER

void TCatalogItem::SetMark(bool on) {
  std::lock_guard guard(lock_);
  block_.flags = static_cast<uint8_t>(on ? (block_.flags | cifMark) : (block_.flags & ~cifMark));
}

void TCatalogItem::SetUnjudged(bool on) {
  std::lock_guard guard(lock_);
  block_.flags = static_cast<uint8_t>(on ? (block_.flags | cifUnjudged) : (block_.flags & ~cifUnjudged));
}

void TCatalogItem::SetSecondMark(bool on) {
  std::lock_guard guard(lock_);
  block_.flags = static_cast<uint8_t>(on ? (block_.flags | cifSecondMark) : (block_.flags & ~cifSecondMark));
}

void TCatalogItem::RaiseCounter() {
  std::lock_guard guard(lock_);
  if (block_.counter < 8) ++block_.counter;
}

void TCatalogItem::LowerCounter() {
  std::lock_guard guard(lock_);
  if (block_.counter > 0) --block_.counter;
}

void TCatalogItem::ClearCounter() {
  std::lock_guard guard(lock_);
  block_.counter = 0;
}

void TCatalogItem::SetAttachment(std::unique_ptr<TItemAttachment> attachment) {
  std::lock_guard guard(lock_);
  if (attachment) {
    MutableExtra().attachment = std::move(attachment);
  } else {
    DropAttachmentLocked();
  }
}

uint8_t TCatalogItem::UploaderValue(int index) const {
  std::lock_guard guard(lock_);
  return (index == 0 || index == 1) ? uploader_[index] : 0;
}

void TCatalogItem::SetUploaderValue(int index, uint8_t v) {
  std::lock_guard guard(lock_);
  if (index == 0 || index == 1) uploader_[index] = v;
}

std::string TCatalogItem::Title() const {
  return ExtraText(&Extra::title);
}
void TCatalogItem::SetTitle(const std::string& v) {
  SetExtraText(&Extra::title, v);
}
std::string TCatalogItem::SecondTitle() const {
  return ExtraText(&Extra::secondTitle);
}
void TCatalogItem::SetSecondTitle(const std::string& v) {
  SetExtraText(&Extra::secondTitle, v);
}
std::string TCatalogItem::Comment() const {
  return ExtraText(&Extra::comment);
}
void TCatalogItem::SetComment(const std::string& v) {
  SetExtraText(&Extra::comment, v);
}
std::string TCatalogItem::ExifText1() const {
  return ExtraText(&Extra::exifText1);
}
void TCatalogItem::SetExifText1(const std::string& v) {
  SetExtraText(&Extra::exifText1, v);
}
std::string TCatalogItem::ExifText2() const {
  return ExtraText(&Extra::exifText2);
}
void TCatalogItem::SetExifText2(const std::string& v) {
  SetExtraText(&Extra::exifText2, v);
}
std::string TCatalogItem::RemoteRef() const {
  return ExtraText(&Extra::remoteRef);
}
void TCatalogItem::SetRemoteRef(const std::string& v) {
  SetExtraText(&Extra::remoteRef, v);
}

}  // namespace plb

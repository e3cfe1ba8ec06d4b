#include "images/exif/exif_block_rewriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "images/codec/photo_write.h"
#include "images/codec/raw_reader.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/exif/maker_notes.h"
#include "images/exif/tiff_walk.h"
#include "platform/checked.h"

namespace plb {
namespace {

constexpr int64_t kMaxApp1Payload = 65535;

int64_t RoundUpEven(int64_t n) {
  return (n + 1) & ~int64_t{1};
}

void WriteZeros(TStream& stream, int64_t count) {
  static const uint8_t zeros[64] = {};
  while (count > 0) {
    const int64_t n = std::min<int64_t>(count, sizeof zeros);
    stream.WriteBuffer(zeros, n);
    count -= n;
  }
}

// The value of a noted pointer: the first integer of the entry.
uint32_t FirstValue(const TTiffRecItem& entry) {
  return entry.IntegerAt(0);
}

bool IsPointer(const TTiffRecItem& entry) {
  return (entry.Type() == kTiffLong || entry.Type() == kTiffIfd) && entry.Count() == 1;
}

}  // namespace

uint32_t TiffTypeSize(uint16_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;
    case 3:
    case 8:
      return 2;
    case 4:
    case 9:
    case 11:
      return 4;
    case 5:
    case 10:
    case 12:
      return 8;
    default:
      return 0;
  }
}

// --- TTiffRecItem ---

TTiffRecItem::TTiffRecItem(bool bigEndian, uint16_t tag, uint16_t type, uint32_t count) : bigEndian_(bigEndian) {
  SetTag(tag);
  SetType(type);
  SetCount(count);
  const uint64_t size = uint64_t{count} * TiffTypeSize(type);
  if (size > 4) data_.assign(size, 0);
}

uint16_t TTiffRecItem::Get16(const uint8_t* p) const {
  return bigEndian_ ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}
uint32_t TTiffRecItem::Get32(const uint8_t* p) const {
  return bigEndian_ ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                    : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}
void TTiffRecItem::Put16(uint8_t* p, uint16_t v) const {
  if (bigEndian_) {
    p[0] = uint8_t(v >> 8), p[1] = uint8_t(v);
  } else {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
  }
}
void TTiffRecItem::Put32(uint8_t* p, uint32_t v) const {
  for (int i = 0; i < 4; ++i) p[bigEndian_ ? 3 - i : i] = uint8_t(v >> (8 * i));
}

uint16_t TTiffRecItem::Tag() const {
  return Get16(raw_);
}
uint16_t TTiffRecItem::Type() const {
  return Get16(raw_ + 2);
}
uint32_t TTiffRecItem::Count() const {
  return Get32(raw_ + 4);
}
uint32_t TTiffRecItem::Value() const {
  return Get32(raw_ + 8);
}
void TTiffRecItem::SetTag(uint16_t tag) {
  Put16(raw_, tag);
}
void TTiffRecItem::SetType(uint16_t type) {
  Put16(raw_ + 2, type);
}
void TTiffRecItem::SetCount(uint32_t count) {
  Put32(raw_ + 4, count);
}
void TTiffRecItem::SetValue(uint32_t value) {
  Put32(raw_ + 8, value);
}

bool TTiffRecItem::ReadEntry(TiffReader& reader, const TiffEntry& entry) {
  SetTag(entry.tag);
  SetType(entry.type);
  SetCount(entry.count);
  std::memcpy(raw_ + 8, entry.field.data(), 4);
  const uint32_t typeSize = TiffTypeSize(entry.type);
  if (typeSize == 0) return false;
  const uint64_t size = uint64_t{entry.count} * typeSize;  // cannot wrap: 32 × 4 bits
  data_.clear();
  if (size <= 4) return true;
  try {
    data_ = reader.BytesAt(reader.At(entry.value), size);  // checked against the stream first
    return true;
  } catch (const Error&) {
    return false;
  }
}

void TTiffRecItem::WriteEntry(TStream& stream, int64_t base) {
  if (!data_.empty()) SetValue(static_cast<uint32_t>(stream.Size() - base));
  stream.WriteBuffer(raw_, 12);
  if (!data_.empty()) {
    stream.Seek(0, TSeekOrigin::soEnd);
    stream.WriteBuffer(data_.data(), DataSize());
  }
}

std::span<const uint8_t> TTiffRecItem::ValueBytes() const {
  if (!data_.empty()) return data_;
  const uint64_t size = uint64_t{Count()} * TiffTypeSize(Type());
  return std::span(raw_ + 8, static_cast<size_t>(std::min<uint64_t>(size, 4)));
}

uint32_t TTiffRecItem::IntegerAt(uint32_t index) const {
  const std::span<const uint8_t> bytes = ValueBytes();
  const uint32_t size = TiffTypeSize(Type());
  if (size == 0 || uint64_t{index + 1} * size > bytes.size()) return 0;
  const uint8_t* p = bytes.data() + uint64_t{index} * size;
  switch (Type()) {
    case 1:
    case 6:
    case 7:
      return p[0];
    case 3:
    case 8:
      return Get16(p);
    case 4:
    case 9:
      return Get32(p);
    default:
      return 0;
  }
}

void TTiffRecItem::SetValueBytes(uint16_t type, uint32_t count, std::span<const uint8_t> bytes) {
  SetType(type);
  SetCount(count);
  if (bytes.size() <= 4) {
    data_.clear();
    std::memset(raw_ + 8, 0, 4);
    std::memcpy(raw_ + 8, bytes.data(), bytes.size());
  } else {
    data_.assign(bytes.begin(), bytes.end());
  }
}

void TTiffRecItem::SetInteger(uint32_t value) {
  uint16_t type = Type();
  if (type == 3 && value > 0xFFFF) type = 4;  // a SHORT cannot hold the new size
  if (type != 3 && type != 4) type = 4;
  uint8_t bytes[4] = {};
  if (type == 3) {
    Put16(bytes, static_cast<uint16_t>(value));
    SetValueBytes(type, 1, std::span(bytes, 2));
  } else {
    Put32(bytes, value);
    SetValueBytes(type, 1, std::span(bytes, 4));
  }
}

void TTiffRecItem::SetShorts(std::span<const uint16_t> values) {
  std::vector<uint8_t> bytes(values.size() * 2);
  for (size_t i = 0; i < values.size(); ++i) Put16(bytes.data() + 2 * i, values[i]);
  SetValueBytes(3, static_cast<uint32_t>(values.size()), bytes);
}

// --- TIFDItem ---

void TIFDItem::ReadDirectory(TiffReader& reader, TiffWalk& walk, int64_t position) {
  Clear();
  const TiffWalkEnd end = walk.Directory(reader, position, [&](const TiffEntry& e) {
    auto entry = std::make_unique<TTiffRecItem>(bigEndian_);
    if (entry->ReadEntry(reader, e)) TakeEntry(std::move(entry));
  });
  switch (end) {
    case TiffWalkEnd::kUnreadable:
      throw EExifWriteError("unreadable directory");
    case TiffWalkEnd::kTooMany:
      throw EExifWriteError("a directory of more than " + std::to_string(kMaxEntries) + " entries");
    case TiffWalkEnd::kRefused:
      throw EExifWriteError("a directory reached a second time");
    default:
      break;  // the entries before one that leaves the data stand
  }
}

void TIFDItem::TakeEntry(std::unique_ptr<TTiffRecItem> entry) {
  switch (entry->Tag()) {
    case kTagStripOffsets:
    case kTagJpegInterchangeFormat:
      dataOffset = FirstValue(*entry);
      break;
    case kTagStripByteCounts:
    case kTagJpegInterchangeFormatLength:
      dataLength = FirstValue(*entry);
      break;
    // Only pointers typed as pointers lead to directories; other readers skip the rest too.
    case kTagExifIfd:
      if (IsPointer(*entry)) exifPointer = entry->Value();
      break;
    case kTagGpsIfd:
      if (IsPointer(*entry)) gpsPointer = entry->Value();
      break;
    case kTagInteroperabilityIfd:
      if (IsPointer(*entry)) interopPointer = entry->Value();
      break;
    case kTagMakerNote:
      if (entry->DataSize() > 0) makerEntry_ = entry.get();
      break;
    default:
      break;
  }
  entries_.push_back(std::move(entry));
}

void TIFDItem::ForgetMakerNote() {
  makerNote_.reset();
  makerPrefix_.clear();
  makerEntry_ = nullptr;
}

void TIFDItem::LoadMakerNote(TStream& stream, TiffReader& reader, TiffWalk& walk, const std::string& make) {
  if (!makerEntry_) return;
  const int64_t saved = stream.Position();
  const int64_t start = reader.At(makerEntry_->Value());
  const std::vector<uint8_t>& note = makerEntry_->Data();
  try {
    stream.SetPosition(start);
    if (IsMarkedMakerNote(stream)) throw EAbort("own maker note");
    // Only a note whose offsets count from the block can move within it; any other is copied
    // byte for byte.
    const MakerNoteLayout* layout = FindMakerNoteLayout(MakerOfMake(make), note, note.size());
    if (!layout || layout->base != MakerNoteBase::kBlock) throw EAbort("maker note of an unknown or fixed layout");
    std::optional<MakerNoteDirectory> directory = LocateMakerNote(reader, start, note, *layout);
    if (!directory) throw EAbort("maker note without its directory");
    makerPrefix_.assign(note.begin(), note.begin() + layout->directory_at);
    makerNote_ = std::make_unique<TIFDItem>(directory->reader.BigEndian());
    makerNote_->ReadDirectory(directory->reader, walk, directory->position);
    // Sub-directories inside a maker note (Nikon's preview, Olympus' camera settings) are not
    // relocated with it; their pointers would point into the new file at random, so they go.
    std::vector<uint16_t> dropTags(layout->drop_tags.begin(), layout->drop_tags.end());
    for (const auto& e : makerNote_->entries_) {
      if (e->Type() == kTiffIfd) dropTags.push_back(e->Tag());
    }
    for (uint16_t tag : dropTags) makerNote_->Remove(tag);
    if (const TTiffRecItem* printIm = makerNote_->Find(kPrintImTag)) {
      const std::span<const uint8_t> bytes = printIm->ValueBytes();
      if (bytes.size() < 8 || std::memcmp(bytes.data(), "PrintIM\0", 8) != 0) makerNote_->Remove(kPrintImTag);
    }
  } catch (const std::exception&) {
    ForgetMakerNote();
  }
  stream.SetPosition(saved);
}

TTiffRecItem* TIFDItem::Find(uint16_t tag) const {
  for (const auto& e : entries_) {
    if (e->Tag() == tag) return e.get();
  }
  return nullptr;
}

TTiffRecItem& TIFDItem::FindOrCreate(uint16_t tag, uint16_t type, uint32_t count) {
  if (TTiffRecItem* e = Find(tag)) return *e;
  entries_.push_back(std::make_unique<TTiffRecItem>(bigEndian_, tag, type, count));
  return *entries_.back();
}

void TIFDItem::Remove(uint16_t tag) {
  std::erase_if(entries_, [&](const std::unique_ptr<TTiffRecItem>& e) {
    if (e->Tag() != tag) return false;
    if (e.get() == makerEntry_) ForgetMakerNote();
    return true;
  });
}

void TIFDItem::Clear() {
  ForgetMakerNote();
  entries_.clear();
  exifPointer = gpsPointer = interopPointer = dataOffset = dataLength = 0;
}

void TIFDItem::SetInteger(uint16_t tag, uint16_t type, uint32_t value) {
  FindOrCreate(tag, type, 1).SetInteger(value);
}

void TIFDItem::SetAsciiDate(uint16_t tag, TDateTime value) {
  std::string text = FormatExifDateTime(value);
  text.resize(20, '\0');
  SetBytes(tag, 2, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void TIFDItem::SetBytes(uint16_t tag, uint16_t type, std::span<const uint8_t> bytes) {
  const uint32_t size = TiffTypeSize(type);
  FindOrCreate(tag, type, 0).SetValueBytes(type, static_cast<uint32_t>(bytes.size() / size), bytes);
}

void TIFDItem::SetRational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
  TTiffRecItem probe(bigEndian_, 0, 4, 2);
  probe.SetValueBytes(4, 1, std::vector<uint8_t>(4));
  probe.SetInteger(numerator);
  uint8_t bytes[8];
  std::memcpy(bytes, probe.Raw() + 8, 4);
  probe.SetInteger(denominator);
  std::memcpy(bytes + 4, probe.Raw() + 8, 4);
  SetBytes(tag, 5, bytes);
}

int64_t TIFDItem::DirectorySize() const {
  if (entries_.empty()) return 0;
  int64_t size = 12 * static_cast<int64_t>(entries_.size()) + 6;
  for (const auto& e : entries_) {
    if (e.get() == makerEntry_ && makerNote_) {
      size += makerNote_->DirectorySize() + static_cast<int64_t>(makerPrefix_.size());
    } else {
      size += e->DataSize();
    }
    size = RoundUpEven(size);
  }
  return size;
}

void TIFDItem::WriteDirectory(TStream& stream, int64_t base, uint32_t nextOffset) {
  std::stable_sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a->Tag() < b->Tag(); });
  if (entries_.empty()) return;
  const uint16_t count = static_cast<uint16_t>(entries_.size());
  uint8_t countBytes[2];
  if (bigEndian_) {
    countBytes[0] = uint8_t(count >> 8), countBytes[1] = uint8_t(count);
  } else {
    countBytes[0] = uint8_t(count), countBytes[1] = uint8_t(count >> 8);
  }
  stream.WriteBuffer(countBytes, 2);
  int64_t d = stream.Position();
  WriteZeros(stream, 12 * int64_t{count} + 4);
  for (const auto& e : entries_) {
    stream.SetPosition(d);
    if (e.get() == makerEntry_ && makerNote_) {
      e->SetValue(static_cast<uint32_t>(stream.Size() - base));
      e->SetType(7);
      e->SetCount(static_cast<uint32_t>(makerNote_->DirectorySize() + static_cast<int64_t>(makerPrefix_.size())));
      stream.WriteBuffer(e->Raw(), 12);
      stream.Seek(0, TSeekOrigin::soEnd);
      if (!makerPrefix_.empty()) stream.WriteBuffer(makerPrefix_.data(), static_cast<int64_t>(makerPrefix_.size()));
      makerNote_->WriteDirectory(stream, base, 0);
    } else {
      e->WriteEntry(stream, base);
    }
    if (stream.Position() % 2 != 0) WriteZeros(stream, 1);
    d += 12;
  }
  stream.SetPosition(d);
  TTiffRecItem next(bigEndian_);
  next.SetValue(nextOffset);
  stream.WriteBuffer(next.Raw() + 8, 4);
  stream.Seek(0, TSeekOrigin::soEnd);
}

// --- Subject area ---

void RotateSubjectArea(TSubjectAreaRec& area, int rotation, bool flipV, bool flipH) {
  if (area.kind > 2) return;
  const int32_t w = area.refWidth, h = area.refHeight;
  int32_t x = area.x, y = area.y;
  int32_t nw = w, nh = h;
  switch (rotation) {
    case 1:
      nw = h, nh = w, x = h - area.y, y = area.x;
      break;
    case 2:
      x = w - area.x, y = h - area.y;
      break;
    case 3:
      nw = h, nh = w, x = area.y, y = w - area.x;
      break;
    default:
      break;
  }
  if (flipV) y = nh - y;
  if (flipH) x = nw - x;
  if (area.kind == 2 && (rotation == 1 || rotation == 3)) {
    const uint16_t width = area.width;  // packed fields: no references into them
    area.width = area.height;
    area.height = width;
  }
  area.refWidth = nw;
  area.refHeight = nh;
  area.x = static_cast<uint16_t>(std::clamp(x, 0, 0xFFFF));
  area.y = static_cast<uint16_t>(std::clamp(y, 0, 0xFFFF));
}

void ScaleSubjectArea(TSubjectAreaRec& area, int32_t width, int32_t height) {
  if (area.kind > 2 || area.refWidth <= 0 || area.refHeight <= 0) return;
  const auto scale = [](int32_t to, int32_t from, uint16_t v) {
    return static_cast<uint16_t>(std::clamp(std::trunc(double(to) * v / from + 0.5), 0.0, 65535.0));
  };
  area.x = scale(width, area.refWidth, area.x);
  area.y = scale(height, area.refHeight, area.y);
  area.width = scale(width, area.refWidth, area.width);
  area.height = scale(height, area.refHeight, area.height);
  area.refWidth = width;
  area.refHeight = height;
}

// --- TExifItemEx ---

TExifItemEx::TExifItemEx() {
  for (auto& d : directories_) d = std::make_unique<TIFDItem>(false);
}

void TExifItemEx::SetByteOrder(bool bigEndian) {
  bigEndian_ = bigEndian;
  for (auto& d : directories_) d->SetBigEndian(bigEndian);
}

void TExifItemEx::LoadExif(const std::string& fileName) {
  TFileStream stream(fileName, TFileStream::Mode::kRead);
  loaded_ = false;
  int64_t base = 0;
  const int64_t exif = FindExifSegment(stream);
  const int64_t a = exif > 0 ? exif : FindAppSegment(stream, 1);
  jpegForm_ = a > 0;
  bool signature = true;
  if (jpegForm_) {
    uint8_t head[10] = {};
    stream.SetPosition(a);
    signature = stream.Read(head, 10) == 10 && IsExifSignature(head + 4);
    base = a + 10;
  }
  if (signature) {
    stream.SetPosition(base);
    TiffReader reader(stream);
    if (reader.ReadHeader(true)) {
      SetByteOrder(reader.BigEndian());
      loaded_ = reader.U16At(base + 2) == 42;
      if (loaded_) LoadDirectories(stream, reader);
    }
  }
  fileName_ = fileName;
}

void TExifItemEx::LoadDirectories(TFileStream& stream, TiffReader& reader) {
  // One walk through the whole block: a pointer or link back to a directory already read is
  // refused like an unreadable one.
  TiffWalk walk(std::numeric_limits<int64_t>::max(), TIFDItem::kMaxEntries);
  TIFDItem& ifd0 = Dir(kIfd0);
  const int64_t ifd0Position = reader.At(reader.FirstIfdOffset());
  ifd0.ReadDirectory(reader, walk, ifd0Position);
  if (ifd0.exifPointer != 0) {
    Dir(kExif).ReadDirectory(reader, walk, reader.At(ifd0.exifPointer));
    std::string make;
    if (const TTiffRecItem* m = ifd0.Find(kTagMake)) {
      const std::span<const uint8_t> bytes = m->ValueBytes();
      make.assign(bytes.begin(), bytes.end());
    }
    Dir(kExif).LoadMakerNote(stream, reader, walk, make);
  }
  ReadOrEmpty(reader, walk, kGps, ifd0.gpsPointer);
  ReadOrEmpty(reader, walk, kInterop, Dir(kExif).interopPointer);
  const int64_t ifd1 = walk.Next(reader, ifd0Position);
  if (ifd1 == 0) return;
  try {
    LoadThumbnailDirectories(reader, walk, ifd1);
  } catch (const Error&) {
    Dir(kIfd1).Clear();
    thumbnail_.clear();
  }
}

void TExifItemEx::LoadThumbnailDirectories(TiffReader& reader, TiffWalk& walk, int64_t ifd1Position) {
  TIFDItem& ifd1 = Dir(kIfd1);
  ifd1.ReadDirectory(reader, walk, ifd1Position);
  ReadOrEmpty(reader, walk, kIfd1Exif, ifd1.exifPointer);
  ReadOrEmpty(reader, walk, kIfd1Gps, ifd1.gpsPointer);
  ReadOrEmpty(reader, walk, kIfd1Interop, Dir(kIfd1Exif).interopPointer);
  if (ifd1.dataOffset != 0 && ifd1.dataLength != 0) {
    thumbnail_ = reader.BytesAt(reader.At(ifd1.dataOffset), ifd1.dataLength);
  }
}

void TExifItemEx::ReadOrEmpty(TiffReader& reader, TiffWalk& walk, Directory d, uint32_t pointer) {
  if (pointer == 0) return;
  try {
    Dir(d).ReadDirectory(reader, walk, reader.At(pointer));
  } catch (const Error&) {
    Dir(d).Clear();
  }
}

void TExifItemEx::ToJpegForm() {
  jpegForm_ = true;
  static constexpr uint16_t kImageStructureTags[] = {
      kTagImageWidth,       kTagImageLength,     kTagBitsPerSample, kTagCompression,     kTagPhotometricInterpretation,
      kTagStripOffsets,     kTagSamplesPerPixel, kTagRowsPerStrip,  kTagStripByteCounts, kTagPlanarConfiguration,
      kTagYCbCrSubSampling, kTagSubIfds};
  for (Directory d : {kIfd0, kExif, kIfd1, kIfd1Exif}) {
    for (uint16_t tag : kImageStructureTags) Dir(d).Remove(tag);
  }
}

TSubjectAreaRec TExifItemEx::GetSubjectArea() const {
  TSubjectAreaRec area;
  const TIFDItem& exif = Dir(kExif);
  const TTiffRecItem* e = exif.Find(kTagSubjectArea);
  if (!e || e->Type() != 3 || e->Count() < 2 || e->Count() > 4) return area;
  area.kind = static_cast<uint8_t>(e->Count() - 2);
  area.x = static_cast<uint16_t>(e->IntegerAt(0));
  area.y = static_cast<uint16_t>(e->IntegerAt(1));
  area.width = static_cast<uint16_t>(e->IntegerAt(2));
  area.height = static_cast<uint16_t>(e->IntegerAt(3));
  if (const TTiffRecItem* w = exif.Find(kTagPixelXDimension)) area.refWidth = static_cast<int32_t>(w->IntegerAt(0));
  if (const TTiffRecItem* h = exif.Find(kTagPixelYDimension)) area.refHeight = static_cast<int32_t>(h->IntegerAt(0));
  return area;
}

void TExifItemEx::SetSubjectArea(const TSubjectAreaRec& area) {
  if (area.kind > 2) return;
  const uint16_t values[4] = {area.x, area.y, area.width, area.height};
  Dir(kExif).FindOrCreate(kTagSubjectArea, 3, 2).SetShorts(std::span(values, size_t{area.kind} + 2));
}

void TExifItemEx::SetMainImage(TMemoryStream& jpeg, int64_t insertPoint, int32_t height, int32_t width,
                               bool transformed) {
  const std::span<const uint8_t> bytes = jpeg.Bytes();
  if (insertPoint < 0 || insertPoint >= static_cast<int64_t>(bytes.size())) return;
  tail_.assign(bytes.begin() + insertPoint, bytes.end());
  if (transformed) Dir(kIfd0).SetInteger(kTagOrientation, 3, 1);
  Dir(kIfd0).SetAsciiDate(kTagDateTime, Now());
  Dir(kExif).SetInteger(kTagPixelXDimension, 4, static_cast<uint32_t>(width));
  Dir(kExif).SetInteger(kTagPixelYDimension, 4, static_cast<uint32_t>(height));
  const uint8_t sceneType = 2;
  Dir(kExif).SetBytes(kTagSceneType, 7, std::span(&sceneType, 1));
  TIFDItem& interop = Dir(kInterop);
  if (interop.Find(kTagRelatedImageWidth)) interop.SetInteger(kTagRelatedImageWidth, 4, static_cast<uint32_t>(width));
  if (interop.Find(kTagRelatedImageLength)) {
    interop.SetInteger(kTagRelatedImageLength, 4, static_cast<uint32_t>(height));
  }
}

void TExifItemEx::SetThumbnail(TMemoryStream& jpeg, int64_t insertPoint) {
  const std::span<const uint8_t> bytes = jpeg.Bytes();
  if (insertPoint < 0 || insertPoint >= static_cast<int64_t>(bytes.size())) return;
  thumbnail_ = {0xFF, 0xD8};
  thumbnail_.insert(thumbnail_.end(), bytes.begin() + insertPoint, bytes.end());
  TIFDItem& ifd1 = Dir(kIfd1);
  const TTiffRecItem* compression = ifd1.Find(kTagCompression);
  if (!compression || compression->IntegerAt(0) != 6) ifd1.Clear();
  ifd1.SetInteger(kTagCompression, 3, 6);
  ifd1.SetInteger(kTagOrientation, 3, 1);
  ifd1.SetRational(kTagXResolution, 72, 1);
  ifd1.SetRational(kTagYResolution, 72, 1);
  ifd1.SetInteger(kTagResolutionUnit, 3, 2);
  ifd1.SetInteger(kTagJpegInterchangeFormat, 4, 0);
  ifd1.SetInteger(kTagJpegInterchangeFormatLength, 4, static_cast<uint32_t>(thumbnail_.size()));
}

void TExifItemEx::DropThumbnail() {
  for (Directory d : {kIfd1, kIfd1Exif, kIfd1Gps, kIfd1Interop}) Dir(d).Clear();
  thumbnail_.clear();
}

void TExifItemEx::BuildExifBlock(TStream& stream, bool mayDropThumbnail) {
  AddRequiredEntries();
  // The pointers, first with placeholder values so that their sizes are final before the layout
  // (a pointer may have been stored with another type, strip offsets as SHORT values).
  FixPointers(BlockLayout{});
  BlockLayout layout = LayOut();
  if (layout.end + 8 > kMaxApp1Payload && mayDropThumbnail && !thumbnail_.empty()) {
    DropThumbnail();
    layout = LayOut();
  }
  if (layout.end + 8 > kMaxApp1Payload) throw EExifWriteError("the EXIF block does not fit into APP1");
  FixPointers(layout);
  WriteBlock(stream, layout);
}

void TExifItemEx::AddRequiredEntries() {
  TIFDItem& exif = Dir(kExif);
  if (!exif.Find(kTagExifVersion))
    exif.SetBytes(kTagExifVersion, 7, std::span(reinterpret_cast<const uint8_t*>("0221"), 4));
  if (!exif.Find(kTagFlashpixVersion)) {
    exif.SetBytes(kTagFlashpixVersion, 7, std::span(reinterpret_cast<const uint8_t*>("0100"), 4));
  }
  // A directory that SetMainImage filled for a source without one must be reachable.
  if (!exif.Empty()) Dir(kIfd0).FindOrCreate(kTagExifIfd, 4, 1);
  if (!Dir(kGps).Empty()) {
    Dir(kIfd0).FindOrCreate(kTagGpsIfd, 4, 1);
    const uint8_t version[4] = {2, 2, 0, 0};
    Dir(kGps).SetBytes(kTagGpsVersionId, 1, version);
  }
}

void TExifItemEx::SetPointer(Directory d, uint16_t tag, int64_t value) {
  if (TTiffRecItem* e = Dir(d).Find(tag)) e->SetInteger(static_cast<uint32_t>(value));
}

// A pointer to a directory that has no entries (left unreadable or dropped) would point at the
// next one; it goes instead.
void TExifItemEx::PointTo(Directory d, uint16_t tag, Directory target, const BlockLayout& layout) {
  if (Dir(target).Empty()) {
    Dir(d).Remove(tag);
  } else {
    SetPointer(d, tag, layout.offsets[target]);
  }
}

// Moves an array of offsets (strips) so that its first one becomes first, as LONG values.
void TExifItemEx::ShiftArray(Directory d, uint16_t tag, int64_t first) {
  TTiffRecItem* e = Dir(d).Find(tag);
  if (!e || (e->Type() != kTiffShort && e->Type() != kTiffLong)) return;
  const int64_t delta = first - int64_t{e->IntegerAt(0)};
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < e->Count(); ++i) values.push_back(static_cast<uint32_t>(e->IntegerAt(i) + delta));
  TTiffRecItem shifted(bigEndian_, tag, 4, 1);
  std::vector<uint8_t> bytes;
  for (uint32_t v : values) {
    shifted.SetInteger(v);
    bytes.insert(bytes.end(), shifted.Raw() + 8, shifted.Raw() + 12);
  }
  e->SetValueBytes(4, static_cast<uint32_t>(values.size()), bytes);
}

void TExifItemEx::FixPointers(const BlockLayout& layout) {
  ShiftArray(kIfd0, kTagStripOffsets, layout.end);
  PointTo(kIfd0, kTagExifIfd, kExif, layout);
  PointTo(kIfd0, kTagGpsIfd, kGps, layout);
  PointTo(kExif, kTagInteroperabilityIfd, kInterop, layout);
  PointTo(kIfd1, kTagExifIfd, kIfd1Exif, layout);
  PointTo(kIfd1, kTagGpsIfd, kIfd1Gps, layout);
  ShiftArray(kIfd1, kTagStripOffsets, layout.thumbnail);
  SetPointer(kIfd1, kTagJpegInterchangeFormat, layout.thumbnail);
  SetPointer(kIfd1, kTagJpegInterchangeFormatLength, static_cast<int64_t>(thumbnail_.size()));
  PointTo(kIfd1Exif, kTagInteroperabilityIfd, kIfd1Interop, layout);
}

// Offsets from the TIFF header. The thumbnail is padded to an even length so that every
// directory starts on an even offset, as the directories' own padding assumes.
TExifItemEx::BlockLayout TExifItemEx::LayOut() const {
  BlockLayout layout;
  int64_t at = 8;
  for (Directory d : {kIfd0, kExif, kGps, kInterop, kIfd1}) {
    layout.offsets[d] = at;
    at += Dir(d).DirectorySize();
  }
  layout.thumbnail = at;
  at += RoundUpEven(static_cast<int64_t>(thumbnail_.size()));
  for (Directory d : {kIfd1Exif, kIfd1Gps, kIfd1Interop}) {
    layout.offsets[d] = at;
    at += Dir(d).DirectorySize();
  }
  layout.end = at;
  return layout;
}

void TExifItemEx::WriteBlock(TStream& stream, const BlockLayout& layout) {
  const uint16_t length = static_cast<uint16_t>(layout.end + 8);
  const uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
  stream.WriteBuffer(head, sizeof head);
  const int64_t base = stream.Position();
  const uint8_t header[8] = {uint8_t(bigEndian_ ? 'M' : 'I'),
                             uint8_t(bigEndian_ ? 'M' : 'I'),
                             uint8_t(bigEndian_ ? 0 : 42),
                             uint8_t(bigEndian_ ? 42 : 0),
                             uint8_t(bigEndian_ ? 0 : 8),
                             0,
                             0,
                             uint8_t(bigEndian_ ? 8 : 0)};
  stream.WriteBuffer(header, 8);
  const uint32_t ifd1 = Dir(kIfd1).Empty() ? 0 : static_cast<uint32_t>(layout.offsets[kIfd1]);
  Dir(kIfd0).WriteDirectory(stream, base, ifd1);
  for (Directory d : {kExif, kGps, kInterop, kIfd1}) Dir(d).WriteDirectory(stream, base, 0);
  if (!thumbnail_.empty()) {
    stream.WriteBuffer(thumbnail_.data(), static_cast<int64_t>(thumbnail_.size()));
    if (thumbnail_.size() % 2 != 0) WriteZeros(stream, 1);
  }
  for (Directory d : {kIfd1Exif, kIfd1Gps, kIfd1Interop}) Dir(d).WriteDirectory(stream, base, 0);
  if (stream.Position() - base != layout.end) {
    throw EExifWriteError("the EXIF block came out at another size than laid out");
  }
  stream.WriteBuffer(tail_.data(), static_cast<int64_t>(tail_.size()));
}

int64_t TExifItemEx::WriteExifJpeg(const std::string& fileName, bool mayDropThumbnail) {
  if (RawTypeOfFile(fileName) != rtNone) throw EExifWriteError("a RAW file name: " + fileName);
  TMemoryStream memory;
  BuildExifBlock(memory, mayDropThumbnail);
  if (memory.Size() < 256) throw EExifWriteError("the JPEG with EXIF is too short");
  const std::span<const uint8_t> bytes = memory.Bytes();
  WritePhotoAtomically(fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return memory.Size();
}

}  // namespace plb

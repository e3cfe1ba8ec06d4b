// The item record: the current version is written, every earlier version is read. A record is
// read completely before the item takes it, so a damaged record leaves the item as it was.
#include <cstring>

#include "engine/model/catalog_item.h"

namespace plb {

namespace {

struct LoadedRecord {
  TCatalogItemBlock block;
  std::string name, title, secondTitle, comment, exifText1, exifText2, remoteRef;
};

void ReadColor(RecordReader& in, TColorAdjustment& color, size_t bytes) {
  TColorAdjustment read{};
  in.Read(&read, bytes);  // the first bytes of the packed layout; the rest stays 0
  color = read;
}

// The common group of the earlier layouts: kind, pixel format, sizes, date, mark, colour
// adjustment, the orientation bytes and n cache flags.
void ReadGroup(RecordReader& in, TCatalogItemBlock& b, int cacheFlags) {
  b.kind = in.U8();
  b.pixelFormat = in.U8();
  b.width = in.I32();
  b.height = in.I32();
  b.fileSize = in.I32();
  b.fileDate = in.F64();
  if (in.U8() & 1) b.flags |= cifMark;
  ReadColor(in, b.color, sizeof(TColorAdjustment));
  const uint8_t rotation = in.U8();
  const bool flipA = in.U8() != 0;
  const bool flipB = in.U8() != 0;
  b.orientation = LegacyOrientation(rotation, flipA, flipB);
  b.orientationFixed = 1;
  for (int i = 0; i < cacheFlags; ++i) b.cacheFlags[i] = in.U8();
}

void ReadSlots(RecordReader& in, TCatalogItemBlock& b, int count) {
  for (int i = 0; i < count; ++i) b.cacheSlots[i] = in.I32();
}

void SetExternalPlayer(TCatalogItemBlock& b, bool on) {
  b.flags = static_cast<uint8_t>(on ? (b.flags | cifExternalPlayer) : (b.flags & ~cifExternalPlayer));
}

void ReadVersion43To49(RecordReader& in, uint32_t version, LoadedRecord& r) {
  TCatalogItemBlock& b = r.block;
  b.recordNumber = in.I32();
  b.spareValue = in.I32();
  r.name = in.Text();
  ReadGroup(in, b, 5);
  ReadSlots(in, b, 5);
  in.Skip(111);
  b.counter = in.U8();
  in.Read(b.spareBytes, 5);
  b.exifState = in.U8();
  b.spareByte = in.U8();
  SetExternalPlayer(b, in.U8() != 0);
  r.title = in.Text();
  r.secondTitle = in.Text();
  r.comment = in.Text();
  if (version >= 49) b.position = in.I16();
}

void ReadVersion25To42(RecordReader& in, uint32_t version, LoadedRecord& r) {
  TCatalogItemBlock& b = r.block;
  b.recordNumber = in.I32();
  b.spareValue = in.I32();
  r.name = in.Text();
  ReadGroup(in, b, 3);
  ReadSlots(in, b, 3);
  in.Skip(version < 27 ? 218 : 111);
  b.counter = in.U8();
  in.Read(b.spareBytes, 3);
  if (version < 29) {
    // These records kept EXIF text only for files that had EXIF data.
    const std::string exif = in.Text();
    if (!exif.empty() && b.kind == fkJpeg) b.exifState = 1;
  } else {
    b.exifState = in.U8();
    b.spareByte = in.U8();
  }
  if (version < 31) {
    SetExternalPlayer(b, b.kind != fkNone || TExtItems::IsExternalPlayerExtension(ExtensionOf(r.name)));
  } else {
    SetExternalPlayer(b, in.U8() != 0);
  }
  if (version >= 32) {
    r.title = in.Text();
    r.secondTitle = in.Text();
  }
  r.comment = in.Text();
}

void ReadVersionBelow25(RecordReader& in, uint32_t version, LoadedRecord& r) {
  TCatalogItemBlock& b = r.block;
  b.recordNumber = in.I32();
  if (version >= 12) b.spareValue = in.I32();
  r.name = in.Text();
  b.kind = fkJpeg;
  b.pixelFormat = 6;
  b.width = in.I32();
  b.height = in.I32();
  b.fileSize = in.I32();
  b.fileDate = in.F64();
  if (in.U8() & 1) b.flags |= cifMark;
  // Before version 23 the adjustment ended before its first two filters.
  ReadColor(in, b.color, version < 23 ? 25 : sizeof(TColorAdjustment));
  const uint8_t rotation = in.U8();
  bool flipA = false, flipB = false;
  if (version >= 14) {
    flipA = in.U8() != 0;
    flipB = in.U8() != 0;
    in.Read(b.cacheFlags, 3);
  } else if (version == 13) {
    in.Read(b.cacheFlags, 3);
  } else {
    for (int i = 0; i < 3; ++i) b.cacheFlags[i] = in.U8() != 0 ? 1 : 0;
  }
  b.orientation = LegacyOrientation(rotation, flipA, flipB);
  b.orientationFixed = 1;
  ReadSlots(in, b, 3);
  in.Skip(434);
  b.counter = version >= 22 ? in.U8() : 0;
  std::memset(b.spareBytes, 0, sizeof b.spareBytes);
  if (version >= 23) in.Read(b.spareBytes, 3);
  r.comment = in.Text();
  SetExternalPlayer(b, true);
}

void ReadCurrent(RecordReader& in, uint32_t version, const TCatalogItem& item, LoadedRecord& r) {
  const uint16_t size = in.U16();
  if (size < kItemBlockSize) {
    r.block = item.Block();  // the rest of the block keeps what it held
    in.Read(&r.block, size);
  } else if (size == kItemBlockSize) {
    in.Read(&r.block, size);
  } else {
    in.Read(&r.block, kItemBlockSize);
    in.Skip(size - kItemBlockSize);
  }
  if (version < 54) r.block.orientationFixed = 1;
  r.name = in.Text();
  r.title = in.Text();
  r.secondTitle = in.Text();
  r.comment = in.Text();
  r.exifText1 = in.Text();
  r.exifText2 = in.Text();
  if (version >= 52) r.remoteRef = in.Text();
}

}  // namespace

void TCatalogItem::LoadFromStream(RecordReader& in) {
  LoadedRecord r;
  const uint32_t version = in.U32();
  if (version >= 50) {
    ReadCurrent(in, version, *this, r);
  } else {
    // The earlier layouts stored the fields one by one over the values of a new item.
    if (version >= 43) {
      ReadVersion43To49(in, version, r);
    } else if (version >= 25) {
      ReadVersion25To42(in, version, r);
    } else {
      ReadVersionBelow25(in, version, r);
    }
  }
  std::lock_guard guard(lock_);
  block_ = r.block;
  name_.Assign(r.name);
  // Most items have no texts: a catalog of a million loads without a million spare allocations.
  // The tags and the attachment stay; the record knows only the low 32 bits of the size.
  const bool noTexts = r.title.empty() && r.secondTitle.empty() && r.comment.empty() && r.exifText1.empty() &&
                       r.exifText2.empty() && r.remoteRef.empty();
  if (noTexts && !extra_) return;
  auto part = std::make_unique<Extra>();
  part->title = std::move(r.title);
  part->secondTitle = std::move(r.secondTitle);
  part->comment = std::move(r.comment);
  part->exifText1 = std::move(r.exifText1);
  part->exifText2 = std::move(r.exifText2);
  part->remoteRef = std::move(r.remoteRef);
  if (extra_) {
    part->tags = std::move(extra_->tags);
    part->attachment = std::move(extra_->attachment);
  }
  extra_ = std::move(part);
  DropExtraIfEmpty();
}

void TCatalogItem::SaveToStream(RecordWriter& out) {
  std::lock_guard guard(lock_);
  block_.spareValue = 0;
  out.U32(kItemRecordVersion);
  out.U16(kItemBlockSize);
  out.Bytes(&block_, kItemBlockSize);
  const Extra empty;
  const Extra& x = extra_ ? *extra_ : empty;
  out.Text(name_);
  out.Text(x.title);
  out.Text(x.secondTitle);
  out.Text(x.comment);
  out.Text(x.exifText1);
  out.Text(x.exifText2);
  out.Text(x.remoteRef);
}

}  // namespace plb

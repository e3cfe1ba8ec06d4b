#include "images/codec/raw_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "host/ascii_case.h"
#include "host/date_time.h"
#include "images/codec/buffered_stream.h"
#include "images/exif/exif_text.h"
#include "images/exif/maker_notes.h"
#include "images/exif/tiff_reader.h"
#include "images/exif/tiff_walk.h"
#include "platform/checked.h"

namespace plb {
namespace {

// Strategies that say where a preview lies.
enum Strategy : int {
  kNone = 0,
  kIfd0 = 1,
  kIfd1 = 2,
  kIfd2 = 3,
  kSubIfd1 = 4,
  kSubIfd2 = 5,
  kMinolta = 7,
  kNikon = 8,
  kOlympus = 9,
  kPentax = 10,
};

struct Strategies {
  int main;
  int thumbnail;
};

Strategies StrategiesOf(int type) {
  switch (type) {
    case rtCR2:
    case rtNSK:
      return {kIfd0, kIfd1};
    case rtDNG:
      return {kSubIfd2, kIfd0};
    case rtERF:
    case rtRAF:
    case rtSRF:
      return {kNone, kIfd1};
    case rtMRW:
      return {kMinolta, kMinolta};
    case rtNEF:
      return {kNikon, kIfd0};
    case rtORF:
      return {kOlympus, kIfd1};
    case rtPEF:
      return {kPentax, kIfd1};
    default:
      return {kNone, kNone};
  }
}

// Where the Exif directory's maker note lies, as its entry says.
struct MakerNoteRef {
  int64_t position = 0;  // absolute; 0 when there is none
  uint32_t length = 0;
};

// One TIFF directory as the RAW reader sees it; offsets are absolute positions.
struct TRawIfdRec {
  TRawIfdRec() { image.compression = 6; }
  int32_t pixel_format = 6;
  TiffImageFields image;
  int64_t sub_ifd1 = 0;
  int64_t sub_ifd2 = 0;
  int64_t exif_ifd = 0;
  int64_t gps_ifd = 0;
  int64_t next_ifd = 0;
  TDateTime shooting_date = 0;
  MakerNoteRef maker_note;
};

// The file's own directories must lie inside it, as every other read; a directory that does
// not makes the file unreadable.
void RequireInside(TiffWalkEnd end) {
  if (end == TiffWalkEnd::kUnreadable || end == TiffWalkEnd::kTruncated)
    throw EReadError("Stream read error: a TIFF directory lies outside the data");
}

// Reads the directories a preview strategy leads to. Each strategy continues the walk that read
// IFD0 (and its Exif directory) on a copy of its own, so that a directory reached again through
// a pointer that leads back is refused while the main preview and the thumbnail may still share
// one.
class RawTiffWalker {
 public:
  RawTiffWalker(TStream& stream, TiffReader& reader) : stream_(stream), r_(reader) {}

  // Reads the directory at pos; full also takes the shooting date and the maker note's place
  // from the Exif directory. Every entry is read: some writers store tags out of order. A
  // directory walked before gives an empty record.
  TRawIfdRec ReadIfd(TiffReader& r, TiffWalk& walk, int64_t pos, bool full) {
    TRawIfdRec ifd;
    const TiffWalkEnd end = walk.Directory(r, pos, [&](const TiffEntry& e) { TakeField(r, e, ifd); });
    RequireInside(end);
    if (end == TiffWalkEnd::kRefused) return {};
    ifd.next_ifd = walk.Next(r, pos);
    if (full && ifd.exif_ifd > 0) ReadExif(r, walk, ifd);
    SizeFromFrame(ifd);
    return ifd;
  }

  TRawIfdRec Resolve(int strategy, const TRawIfdRec& ifd0, TiffWalk walk) {
    switch (strategy) {
      case kIfd0:
        return ifd0;
      case kIfd1:
        return AtOrIfd0(walk, ifd0.next_ifd, ifd0);
      case kIfd2:
        return AtOrIfd0(walk, Ifd2Offset(walk, ifd0), ifd0);
      case kSubIfd1:
        return AtOrIfd0(walk, ifd0.sub_ifd1, ifd0);
      case kSubIfd2:
        return AtOrIfd0(walk, ifd0.sub_ifd2, ifd0);
      case kMinolta:
        return ifd0.exif_ifd < 1 ? ifd0 : Minolta(walk, ifd0);
      case kNikon:
        return Nikon(walk, ifd0);
      case kOlympus:
        return ifd0.exif_ifd < 1 ? ifd0 : Olympus(walk, ifd0);
      case kPentax:
        return ifd0.exif_ifd < 1 ? ifd0 : Pentax(walk, ifd0);
      default:
        return {};
    }
  }

 private:
  void TakeField(TiffReader& r, const TiffEntry& e, TRawIfdRec& ifd) {
    if (TakeImageField(r, e, true, ifd.image)) return;
    const uint32_t v = r.Integer(e);
    switch (e.tag) {
      case kTagSubIfds:
        if (e.count == 1) {
          ifd.sub_ifd1 = r.At(v);
        } else if (e.count > 1) {
          ifd.sub_ifd1 = r.At(r.U32At(r.At(v)));
          ifd.sub_ifd2 = r.At(r.U32At(r.At(v) + 4));
        }
        break;
      case kTagGpsIfd:
        ifd.gps_ifd = r.At(v);
        break;
      case kTagExifIfd:
        ifd.exif_ifd = r.At(v);
        break;
      default:
        break;
    }
  }

  // The shooting date and the maker note's place; an Exif directory that leaves the file gives
  // what lies before.
  void ReadExif(TiffReader& r, TiffWalk& walk, TRawIfdRec& ifd) {
    bool dated = false;
    walk.Directory(r, ifd.exif_ifd, [&](const TiffEntry& e) {
      if (e.tag == kTagDateTimeOriginal && !dated) {
        ifd.shooting_date = ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1)));
        dated = true;
      } else if (e.tag == kTagMakerNote && ifd.maker_note.position == 0) {
        ifd.maker_note = {r.At(e.value), e.count};
      }
    });
  }

  // A preview without a stored size is measured by its JPEG frame.
  void SizeFromFrame(TRawIfdRec& ifd) {
    TiffImageFields& f = ifd.image;
    if (f.width != 0 || f.height != 0 || f.compression == 1 || f.data_offset <= 0) return;
    if (f.data_offset >= stream_.Size()) return;
    stream_.SetPosition(f.data_offset);
    TJpegFrameInfoRec frame;
    ReadJpegFrameInfo(stream_, false, frame);
    if (frame.width > 0) f.width = frame.width;
    if (frame.height > 0) f.height = frame.height;
  }

  TRawIfdRec AtOrIfd0(TiffWalk& walk, int64_t offset, const TRawIfdRec& ifd0) {
    return offset > 0 ? ReadIfd(r_, walk, offset, false) : ifd0;
  }

  // The directory IFD1 links to; the walk ends a chain that leads back.
  int64_t Ifd2Offset(TiffWalk& walk, const TRawIfdRec& ifd0) {
    if (ifd0.next_ifd <= 0) return 0;
    return ReadIfd(r_, walk, ifd0.next_ifd, false).next_ifd;
  }

  // The maker note's directory, laid out as the maker's notes are by the table of layouts.
  std::optional<MakerNoteDirectory> MakerNote(const TRawIfdRec& ifd0, Maker maker) {
    const MakerNoteRef& note = ifd0.maker_note;
    if (note.position <= 0 || note.position >= r_.Size()) return std::nullopt;
    uint8_t head[16];
    const size_t n =
        static_cast<size_t>(std::min<int64_t>({r_.Size() - note.position, int64_t{sizeof head}, note.length}));
    r_.ReadAt(note.position, head, n);
    const std::span<const uint8_t> bytes(head, n);
    const MakerNoteLayout* layout = FindMakerNoteLayout(maker, bytes, note.length);
    if (!layout) return std::nullopt;
    return LocateMakerNote(r_, note.position, bytes, *layout);
  }

  // The maker-note strategies below read the note's directories up to what they look for; a
  // note that leaves the file gives no preview, the file's own directories still count.
  TRawIfdRec Minolta(TiffWalk& walk, const TRawIfdRec& ifd0) {
    TRawIfdRec preview;
    std::optional<MakerNoteDirectory> note = MakerNote(ifd0, Maker::kMinolta);
    if (!note) return preview;
    walk.Directory(note->reader, note->position, [&](const TiffEntry& e) {
      if (e.tag == kMinoltaPreviewStart) preview.image.data_offset = note->reader.At(e.value);
      if (e.tag == kMinoltaPreviewLength) preview.image.data_length = e.value;
      return e.tag < kMinoltaPreviewLength;
    });
    SizeFromFrame(preview);
    return preview;
  }

  TRawIfdRec Nikon(TiffWalk& walk, const TRawIfdRec& ifd0) {
    if (ifd0.sub_ifd1 > 0 && ifd0.sub_ifd2 > 0) return ReadIfd(r_, walk, ifd0.sub_ifd1, false);
    std::optional<MakerNoteDirectory> note = MakerNote(ifd0, Maker::kNikon);
    if (!note) return {};
    int64_t preview = 0;
    walk.Directory(note->reader, note->position, [&](const TiffEntry& e) {
      if (e.tag == kNikonPreviewIfd) preview = note->reader.At(note->reader.Integer(e));
      return preview == 0;
    });
    return preview > 0 ? ReadIfd(note->reader, walk, preview, false) : TRawIfdRec{};
  }

  TRawIfdRec Olympus(TiffWalk& walk, const TRawIfdRec& ifd0) {
    TRawIfdRec preview;
    std::optional<MakerNoteDirectory> note = MakerNote(ifd0, Maker::kOlympus);
    if (!note) return preview;
    TiffReader& r = note->reader;
    int64_t settings = 0;
    walk.Directory(r, note->position, [&](const TiffEntry& e) {
      if (e.tag == kOlympusCameraSettingsIfd) settings = r.At(e.value);
      return settings == 0;
    });
    if (settings <= 0) return preview;
    bool valid = true;
    walk.Directory(r, settings, [&](const TiffEntry& e) {
      const uint32_t v = r.Integer(e);
      if (e.tag == kOlympusPreviewValid) {
        valid = v == 1;
        preview.image.compression = 6;
      } else if (e.tag == kOlympusPreviewStart) {
        preview.image.data_offset = r.At(v);
      } else if (e.tag == kOlympusPreviewLength) {
        preview.image.data_length = v;
        return false;
      }
      return valid;
    });
    if (valid) SizeFromFrame(preview);
    return preview;
  }

  TRawIfdRec Pentax(TiffWalk& walk, const TRawIfdRec& ifd0) {
    const int64_t ifd2 = Ifd2Offset(walk, ifd0);
    if (ifd2 > 0) return ReadIfd(r_, walk, ifd2, false);
    TRawIfdRec preview;
    std::optional<MakerNoteDirectory> note = MakerNote(ifd0, Maker::kPentax);
    if (!note) return preview;
    TiffReader& r = note->reader;
    walk.Directory(r, note->position, [&](const TiffEntry& e) {
      if (e.tag == kPentaxPreviewSize) {
        preview.image.width = r.Order16(e.field.data());
        preview.image.height = r.Order16(e.field.data() + 2);
      } else if (e.tag == kPentaxPreviewLength) {
        preview.image.data_length = e.value;
      } else if (e.tag == kPentaxPreviewStart) {
        preview.image.data_offset = r.At(e.value);
        return false;
      }
      return true;
    });
    return preview;
  }

  TStream& stream_;
  TiffReader& r_;
};

// Copies a preview into an owned memory stream; nothing when it does not lie inside the file.
std::unique_ptr<TMemoryStream> CopyPreview(TStream& stream, int64_t offset, int64_t length) {
  if (offset <= 0 || length <= 0) return nullptr;
  if (!RangeInside(static_cast<uint64_t>(offset), static_cast<uint64_t>(length), static_cast<uint64_t>(stream.Size())))
    return nullptr;
  auto copy = std::make_unique<TMemoryStream>();
  copy->Storage().resize(static_cast<size_t>(length));
  stream.SetPosition(offset);
  stream.ReadBuffer(copy->Storage().data(), length);
  return copy;
}

TRawInfoRec ReadTiffRaw(TStream& stream, int type, bool mainOnly, bool withThumbnail) {
  TRawInfoRec out;
  Strategies s = StrategiesOf(type);
  if (mainOnly) {
    s.thumbnail = s.main;
  } else if (!withThumbnail) {
    s.thumbnail = kNone;
  }
  stream.SetPosition(0);
  if (type == rtRAF) {
    const int64_t app1 = FindExifSegment(stream);
    if (app1 < 0) return out;
    uint8_t signature[6];
    stream.SetPosition(app1 + 4);
    if (stream.Read(signature, 6) != 6 || !IsExifSignature(signature)) return out;
  }
  if (FindTiffHeader(stream) < 0) return out;
  TiffReader r(stream);
  if (!r.ReadHeader(true)) return out;
  RawTiffWalker walker(stream, r);
  TiffWalk walk;
  const TRawIfdRec ifd0 = walker.ReadIfd(r, walk, r.At(r.FirstIfdOffset()), true);
  TTiffInfoRec& info = out.tiff;
  info.has_exif_ifd = ifd0.exif_ifd > 0;
  info.orientation = ifd0.image.orientation;
  info.shooting_date = ifd0.shooting_date;

  const TRawIfdRec main = walker.Resolve(s.main, ifd0, walk);
  out.pixel_format = main.pixel_format;
  info.width = main.image.width;
  info.height = main.image.height;
  info.compression = main.image.compression;

  const TRawIfdRec thumb = s.thumbnail == kIfd0    ? ifd0
                           : s.thumbnail == s.main ? main
                                                   : walker.Resolve(s.thumbnail, ifd0, walk);
  info.thumb_width = thumb.image.width;
  info.thumb_height = thumb.image.height;
  info.thumb_compression = thumb.image.compression;
  info.thumb_offset = thumb.image.data_offset;
  info.thumb_length = thumb.image.data_length;
  if (s.thumbnail != kIfd0) info.thumb_orientation = thumb.image.orientation;
  info.thumb_stream = CopyPreview(stream, thumb.image.data_offset, thumb.image.data_length);
  if (info.thumb_stream && s.thumbnail == kMinolta && info.thumb_stream->Size() >= 2) {
    // Minolta previews start 00 D8 instead of the start-of-image marker.
    info.thumb_stream->Storage()[0] = 0xFF;
    info.thumb_stream->Storage()[1] = 0xD8;
  }
  if (info.thumb_stream) info.thumb_stream->SetPosition(0);
  return out;
}

// The CIFF heap of ".CRW": the first root entry whose data start with FF D8 is the preview.
TRawInfoRec ReadCiff(TStream& stream, bool wantThumbnail) {
  TRawInfoRec out;
  uint8_t head[14];
  stream.SetPosition(0);
  if (stream.Read(head, 14) != 14 || std::memcmp(head + 6, "HEAPCCDR", 8) != 0) return out;
  const bool big = head[0] == 'M' && head[1] == 'M';
  const auto u16 = [big](const uint8_t* p) { return big ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[1] << 8 | p[0]); };
  const auto u32 = [big](const uint8_t* p) {
    return big ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
               : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  };
  const int64_t size = stream.Size();
  const int64_t headerLength = u32(head + 2);
  uint8_t b[10];
  stream.Seek(-4, TSeekOrigin::soEnd);
  stream.ReadBuffer(b, 4);
  const int64_t root = headerLength + u32(b);
  stream.SetPosition(root);
  stream.ReadBuffer(b, 2);
  const uint32_t n = u16(b);
  for (uint32_t i = 0; i < n; ++i) {
    stream.SetPosition(root + 2 + 10 * int64_t{i});
    stream.ReadBuffer(b, 10);
    const int64_t length = u32(b + 2);
    const int64_t offset = headerLength + u32(b + 6);
    if (length < 2 ||
        !RangeInside(static_cast<uint64_t>(offset), static_cast<uint64_t>(length), static_cast<uint64_t>(size)))
      continue;
    uint8_t soi[2];
    stream.SetPosition(offset);
    stream.ReadBuffer(soi, 2);
    if (soi[0] != 0xFF || soi[1] != 0xD8) continue;
    stream.SetPosition(offset);
    TJpegFrameInfoRec frame;
    ReadJpegFrameInfo(stream, false, frame);
    out.pixel_format = frame.pixel_format;
    out.tiff.width = frame.width;
    out.tiff.height = frame.height;
    out.tiff.has_exif_ifd = frame.has_exif;
    out.tiff.compression = 6;
    out.tiff.strip_offset = offset;
    out.tiff.strip_byte_count = length;
    if (wantThumbnail) {
      out.tiff.thumb_width = frame.width;
      out.tiff.thumb_height = frame.height;
      out.tiff.thumb_compression = 6;
      out.tiff.thumb_orientation = 1;
      out.tiff.thumb_offset = offset;
      out.tiff.thumb_length = length;
      out.tiff.thumb_stream = CopyPreview(stream, offset, length);
    }
    break;
  }
  return out;
}

}  // namespace

int RawTypeOfExtension(std::string_view extension) {
  static constexpr std::array<std::string_view, 11> kTypes = {".cr2", ".crw", ".dng", ".erf", ".mrw", ".nef",
                                                              ".nsk", ".orf", ".pef", ".raf", ".srf"};
  const std::string lower = AsciiLowered(extension);
  for (size_t i = 0; i < kTypes.size(); ++i)
    if (lower == kTypes[i]) return static_cast<int>(i) + 1;
  return rtNone;
}

int RawTypeOfFile(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return rtNone;
  return RawTypeOfExtension(std::string_view(fileName).substr(dot));
}

TRawInfoRec ReadRawInfo(TStream& stream, int rawType, bool mainOnly, bool withThumbnail) {
  try {
    if (rawType == rtCRW) return ReadCiff(stream, mainOnly || withThumbnail);
    return ReadTiffRaw(stream, rawType, mainOnly, withThumbnail);
  } catch (const std::exception&) {
    return {};
  }
}

TRawInfoRec ReadRawInfo(const std::string& fileName, bool mainOnly, bool withThumbnail) {
  try {
    TFileStream file(fileName, TFileStream::Mode::kRead);
    TBufferedStream buffered(file, TBufferedStream::kDefaultSize);
    return ReadRawInfo(buffered, RawTypeOfFile(fileName), mainOnly, withThumbnail);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace plb

#include "images/codec/raw_reader.h"

#include <array>
#include <cstring>
#include <memory>

#include "host/ascii_case.h"
#include "images/codec/buffered_stream.h"
#include "images/exif/exif_text.h"
#include "images/exif/tiff_reader.h"
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

class RawTiffWalker {
 public:
  RawTiffWalker(TStream& stream, TiffReader& reader) : stream_(stream), r_(reader), base_(reader.Base()) {}

  // Reads the directory at pos; full also takes the shooting date from the Exif directory.
  // Every entry is read: some writers store tags out of order.
  TRawIfdRec ReadIfd(TiffReader& r, int64_t base, int64_t pos, bool full) {
    TRawIfdRec ifd;
    const uint16_t n = r.U16At(pos);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = r.EntryAt(pos + 2 + 12 * int64_t{i});
      const uint32_t v = r.Integer(e);
      switch (e.tag) {
        case 256:
          ifd.width = static_cast<int32_t>(v);
          break;
        case 257:
          ifd.height = static_cast<int32_t>(v);
          break;
        case 259:
          ifd.compression = static_cast<int32_t>(v);
          break;
        case 273:
        case 513:
          ifd.data_offset = base + v;
          break;
        case 274:
          ifd.orientation = static_cast<int32_t>(v);
          break;
        case 279:
        case 514:
          ifd.data_length = v;
          break;
        case 330:
          if (e.count == 1) {
            ifd.sub_ifd1 = base + v;
          } else if (e.count > 1) {
            ifd.sub_ifd1 = base + r.U32At(base + v);
            ifd.sub_ifd2 = base + r.U32At(base + v + 4);
          }
          break;
        case 0x8825:
          ifd.gps_ifd = base + v;
          break;
        case 0x8769:
          ifd.exif_ifd = base + v;
          break;
        default:
          break;
      }
    }
    const uint32_t next = r.U32At(pos + 2 + 12 * int64_t{n});
    ifd.next_ifd = next > 0 ? base + next : 0;
    if (full && ifd.exif_ifd > 0) ifd.shooting_date = ShootingDate(r, ifd.exif_ifd);
    SizeFromFrame(ifd);
    return ifd;
  }

  TRawIfdRec Resolve(int strategy, const TRawIfdRec& ifd0, int64_t ifd0Pos) {
    switch (strategy) {
      case kIfd0:
        return ifd0;
      case kIfd1:
        return AtOrIfd0(ifd0.next_ifd, ifd0);
      case kIfd2:
        return AtOrIfd0(Ifd2Offset(ifd0, ifd0Pos), ifd0);
      case kSubIfd1:
        return AtOrIfd0(ifd0.sub_ifd1, ifd0);
      case kSubIfd2:
        return AtOrIfd0(ifd0.sub_ifd2, ifd0);
      case kMinolta:
        return ifd0.exif_ifd < 1 ? ifd0 : Minolta(ifd0);
      case kNikon:
        return Nikon(ifd0);
      case kOlympus:
        return ifd0.exif_ifd < 1 ? ifd0 : Olympus(ifd0);
      case kPentax:
        return ifd0.exif_ifd < 1 ? ifd0 : Pentax(ifd0, ifd0Pos);
      default:
        return {};
    }
  }

 private:
  TDateTime ShootingDate(TiffReader& r, int64_t exif) {
    const uint16_t n = r.U16At(exif);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = r.EntryAt(exif + 2 + 12 * int64_t{i});
      if (e.tag == 0x9003) return ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1)));
    }
    return 0;
  }

  // A preview without a stored size is measured by its JPEG frame.
  void SizeFromFrame(TRawIfdRec& ifd) {
    if (ifd.width != 0 || ifd.height != 0 || ifd.compression == 1 || ifd.data_offset <= 0) return;
    if (ifd.data_offset >= stream_.Size()) return;
    stream_.SetPosition(ifd.data_offset);
    TJpegFrameInfoRec frame;
    ReadJpegFrameInfo(stream_, false, frame);
    if (frame.width > 0) ifd.width = frame.width;
    if (frame.height > 0) ifd.height = frame.height;
  }

  TRawIfdRec AtOrIfd0(int64_t offset, const TRawIfdRec& ifd0) {
    return offset > 0 ? ReadIfd(r_, base_, offset, false) : ifd0;
  }

  // The offset stored after IFD1's entries; a chain pointing back to an earlier directory ends.
  int64_t Ifd2Offset(const TRawIfdRec& ifd0, int64_t ifd0Pos) {
    if (ifd0.next_ifd <= 0) return 0;
    const TRawIfdRec ifd1 = ReadIfd(r_, base_, ifd0.next_ifd, false);
    if (ifd1.next_ifd == ifd0Pos || ifd1.next_ifd == ifd0.next_ifd) return 0;
    return ifd1.next_ifd;
  }

  // Position of the maker note (tag 0x927C of the Exif directory), 0 when there is none.
  int64_t MakerNote(const TRawIfdRec& ifd0, bool stopAtLarger) {
    if (ifd0.exif_ifd <= 0) return 0;
    const uint16_t n = r_.U16At(ifd0.exif_ifd);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = r_.EntryAt(ifd0.exif_ifd + 2 + 12 * int64_t{i});
      if (e.tag == 0x927C) return base_ + e.value;
      if (stopAtLarger && e.tag > 0x927C) break;
    }
    return 0;
  }

  TRawIfdRec Minolta(const TRawIfdRec& ifd0) {
    TRawIfdRec preview;
    const int64_t note = MakerNote(ifd0, true);
    if (note <= 0) return preview;
    const uint16_t n = r_.U16At(note);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = r_.EntryAt(note + 2 + 12 * int64_t{i});
      if (e.tag == 0x0088) preview.data_offset = base_ + e.value;
      if (e.tag == 0x0089) preview.data_length = e.value;
      if (e.tag >= 0x0089) break;
    }
    SizeFromFrame(preview);
    return preview;
  }

  TRawIfdRec Nikon(const TRawIfdRec& ifd0) {
    if (ifd0.sub_ifd1 > 0 && ifd0.sub_ifd2 > 0) return ReadIfd(r_, base_, ifd0.sub_ifd1, false);
    const int64_t note = MakerNote(ifd0, false);
    if (note <= 0) return {};
    const int64_t inner = note + 10;
    stream_.SetPosition(inner);
    TiffReader own(stream_);
    if (!own.ReadHeader(true)) return {};
    const int64_t first = inner + own.FirstIfdOffset();
    const uint16_t n = own.U16At(first);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = own.EntryAt(first + 2 + 12 * int64_t{i});
      if (e.tag == 0x0011) return ReadIfd(own, inner, inner + own.Integer(e), false);
    }
    return {};
  }

  TRawIfdRec Olympus(const TRawIfdRec& ifd0) {
    TRawIfdRec preview;
    const int64_t note = MakerNote(ifd0, false);
    if (note <= 0) return preview;
    uint8_t mark[4];
    r_.ReadAt(note + 8, mark, 4);
    const bool ownOrder = (mark[0] == 'M' && mark[1] == 'M') || (mark[0] == 'I' && mark[1] == 'I');
    TiffReader own(stream_);
    if (ownOrder) {
      stream_.SetPosition(note + 8);
      if (!own.ReadHeader(true)) return preview;
    }
    TiffReader& r = ownOrder ? own : r_;
    const int64_t base = ownOrder ? note : base_;
    const int64_t ifd = ownOrder ? note + 12 : note + 8;
    int64_t settings = 0;
    const uint16_t n = r.U16At(ifd);
    for (uint32_t i = 0; i < n && settings == 0; ++i) {
      const TiffEntry e = r.EntryAt(ifd + 2 + 12 * int64_t{i});
      if (e.tag == 0x2020) settings = base + e.value;
    }
    if (settings <= 0) return preview;
    const uint16_t m = r.U16At(settings);
    for (uint32_t i = 0; i < m; ++i) {
      const TiffEntry e = r.EntryAt(settings + 2 + 12 * int64_t{i});
      const uint32_t v = r.Integer(e);
      if (e.tag == 0x0100) {
        if (v != 1) return preview;
        preview.compression = 6;
      } else if (e.tag == 0x0101) {
        preview.data_offset = base + v;
      } else if (e.tag == 0x0102) {
        preview.data_length = v;
        break;
      }
    }
    SizeFromFrame(preview);
    return preview;
  }

  TRawIfdRec Pentax(const TRawIfdRec& ifd0, int64_t ifd0Pos) {
    const int64_t ifd2 = Ifd2Offset(ifd0, ifd0Pos);
    if (ifd2 > 0) return ReadIfd(r_, base_, ifd2, false);
    TRawIfdRec preview;
    const int64_t note = MakerNote(ifd0, false);
    if (note <= 0) return preview;
    stream_.SetPosition(note + 4);
    TiffReader own(stream_);
    if (!own.ReadHeader(true)) return preview;
    const int64_t ifd = note + 6;
    const uint16_t n = own.U16At(ifd);
    for (uint32_t i = 0; i < n; ++i) {
      const TiffEntry e = own.EntryAt(ifd + 2 + 12 * int64_t{i});
      if (e.tag == 0x0002) {
        preview.width = own.Order16(e.field.data());
        preview.height = own.Order16(e.field.data() + 2);
      } else if (e.tag == 0x0003) {
        preview.data_length = e.value;
      } else if (e.tag == 0x0004) {
        preview.data_offset = base_ + e.value;
        break;
      }
    }
    return preview;
  }

  TStream& stream_;
  TiffReader& r_;
  int64_t base_;
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
    const int64_t app1 = FindAppSegment(stream, 1);
    if (app1 < 0) return out;
    uint8_t signature[6];
    stream.SetPosition(app1 + 4);
    if (stream.Read(signature, 6) != 6 || !IsExifSignature(signature)) return out;
  }
  if (FindTiffHeader(stream) < 0) return out;
  TiffReader r(stream);
  if (!r.ReadHeader(true)) return out;
  RawTiffWalker walker(stream, r);
  const int64_t ifd0Pos = r.At(r.FirstIfdOffset());
  const TRawIfdRec ifd0 = walker.ReadIfd(r, r.Base(), ifd0Pos, true);
  TTiffInfoRec& info = out.tiff;
  info.has_exif_ifd = ifd0.exif_ifd > 0;
  info.orientation = ifd0.orientation;
  info.shooting_date = ifd0.shooting_date;

  const TRawIfdRec main = walker.Resolve(s.main, ifd0, ifd0Pos);
  out.pixel_format = main.pixel_format;
  info.width = main.width;
  info.height = main.height;
  info.compression = main.compression;

  const TRawIfdRec thumb = s.thumbnail == kIfd0    ? ifd0
                           : s.thumbnail == s.main ? main
                                                   : walker.Resolve(s.thumbnail, ifd0, ifd0Pos);
  info.thumb_width = thumb.width;
  info.thumb_height = thumb.height;
  info.thumb_compression = thumb.compression;
  info.thumb_offset = thumb.data_offset;
  info.thumb_length = thumb.data_length;
  if (s.thumbnail != kIfd0) info.thumb_orientation = thumb.orientation;
  info.thumb_stream = CopyPreview(stream, thumb.data_offset, thumb.data_length);
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

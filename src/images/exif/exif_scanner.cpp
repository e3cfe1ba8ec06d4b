#include "images/exif/exif_scanner.h"

#include <cstring>

#include "images/codec/buffered_stream.h"
#include "images/exif/exif_text.h"
#include "images/exif/tiff_reader.h"
#include "images/exif/tiff_walk.h"
#include "platform/checked.h"

namespace plb {
namespace {

constexpr int kMaxMarkerRetries = 15;

bool IsFrameMarker(uint8_t m) {
  return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) || (m >= 0xCD && m <= 0xCF);
}
bool IsStandaloneMarker(uint8_t m) {
  return m >= 0xD0 && m <= 0xD8;
}
// 00 (stuffing), D9 (end of image), DA (start of scan, image data follows) and FF end every walk.
bool EndsWalk(uint8_t m) {
  return m == 0x00 || m == 0xD9 || m == 0xDA || m == 0xFF;
}

uint16_t ReadBE16(TStream& s) {
  uint8_t b[2];
  s.ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

// The frame header after a SOF marker's length: precision, height, width, component count.
void ReadFrameHeader(TStream& s, int32_t& pixel_format, int32_t& width, int32_t& height) {
  uint8_t b[6];
  s.ReadBuffer(b, 6);
  height = b[1] << 8 | b[2];
  width = b[3] << 8 | b[4];
  pixel_format = b[5] == 1 ? kPixelFormat8Bit : kPixelFormat24Bit;
}

bool ReadExifSignature(TStream& s) {
  uint8_t sig[6];
  s.ReadBuffer(sig, 6);
  return IsExifSignature(sig);
}

// Opens a file for the scanners: read-only, through the 16 KB buffer.
struct ScanFile {
  explicit ScanFile(const std::string& name)
      : file(name, TFileStream::Mode::kRead), buffered(file, TBufferedStream::kDefaultSize) {}
  TFileStream file;
  TBufferedStream buffered;
};

void ResetJpegInfo(TJpegInfoExRec& info) {
  info = TJpegInfoExRec{};
}

// Walks the JPEG markers of stream from the start of image for ReadJpegInfo; may raise.
void WalkJpegInfo(TStream& stream, uint32_t& requests, uint32_t& obtained, TJpegInfoExRec& info) {
  WalkJpegSegments(stream, [&](const TJpegSegment& segment) {
    if (IsFrameMarker(segment.marker)) {
      ReadFrameHeader(stream, info.pixel_format, info.width, info.height);
      return requests != 0;
    }
    if (segment.marker != 0xE1 || !ReadExifSignature(stream)) return true;
    // Only an EXIF segment answers the requests: an XMP packet in the first APP1 must not
    // use them up and hide the EXIF segment behind it.
    info.has_exif = true;
    if (!(requests & kJpegInfoExif)) return true;
    TTiffInfoRec tiff;
    ReadTiffInfo(stream, (requests & kJpegInfoThumbnail) != 0, tiff);
    info.orientation = tiff.orientation;
    info.shooting_date = tiff.shooting_date;
    obtained |= kJpegInfoExif;
    if (tiff.thumb_stream) {
      info.thumb_stream = std::move(tiff.thumb_stream);
      info.thumb_offset = tiff.thumb_offset;
      info.thumb_length = tiff.thumb_length;
      TJpegFrameInfoRec thumb;
      ReadJpegFrameInfo(*info.thumb_stream, false, thumb);
      info.thumb_width = thumb.width;
      info.thumb_height = thumb.height;
      info.thumb_orientation = tiff.thumb_orientation;
      obtained |= kJpegInfoThumbnail;
    }
    // The thumbnail can only come from this segment.
    requests &= ~(kJpegInfoExif | kJpegInfoThumbnail);
    return true;
  });
}

// The directory scans below read every entry instead of stopping at the first tag above the
// ones they want: the standard sorts entries by tag, but phones and editors write them out of
// order (a DateTimeOriginal after the ApertureValue), and a stop would lose the shooting date.
// A directory has at most 65535 entries, each read checked, so the full scan stays bounded.

void Store(const TiffImageFields& f, int32_t& width, int32_t& height, int32_t& compression, int32_t& orientation,
           int64_t& offset, int64_t& length) {
  width = f.width;
  height = f.height;
  compression = f.compression;
  orientation = f.orientation;
  offset = f.data_offset;
  length = f.data_length;
}

// The main image's fields and the Exif directory's position from IFD0; false when IFD0 is
// damaged, which ends the scan with what was found before the damage.
bool ScanIfd0(TiffReader& r, TiffWalk& walk, int64_t ifd0, TTiffInfoRec& info, int64_t& exif_ifd) {
  TiffImageFields image;
  const TiffWalkEnd end = walk.Directory(r, ifd0, [&](const TiffEntry& e) {
    if (TakeImageField(r, e, false, image) || e.tag != kTagExifIfd) return;
    exif_ifd = r.At(e.value);
    info.has_exif_ifd = true;
  });
  Store(image, info.width, info.height, info.compression, info.orientation, info.strip_offset, info.strip_byte_count);
  return end == TiffWalkEnd::kComplete;
}

void ScanExifIfdForDate(TiffReader& r, TiffWalk& walk, int64_t ifd, TTiffInfoRec& info) {
  walk.Directory(r, ifd, [&](const TiffEntry& e) {
    if (e.tag == kTagDateTimeOriginal) info.shooting_date = ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1)));
  });
}

void ScanIfd1(TiffReader& r, TiffWalk& walk, int64_t ifd, TTiffInfoRec& info) {
  TiffImageFields thumb;
  thumb.compression = info.thumb_compression;
  walk.Directory(r, ifd, [&](const TiffEntry& e) { TakeImageField(r, e, true, thumb); });
  Store(thumb, info.thumb_width, info.thumb_height, info.thumb_compression, info.thumb_orientation, info.thumb_offset,
        info.thumb_length);
}

}  // namespace

bool IsExifSignature(const uint8_t* sixBytes) {
  return std::memcmp(sixBytes, "Exif\0\0", 6) == 0;
}

int64_t FindJpegStart(TStream& stream) {
  uint8_t head[1024];
  stream.Seek(0, TSeekOrigin::soBeginning);
  const int64_t got = stream.Read(head, sizeof head);
  int64_t at = -1;
  if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8) {
    at = 0;
  } else if (got >= 130 && head[128] == 0xFF && head[129] == 0xD8) {
    at = 128;
  } else if (got >= 3) {
    for (int64_t i = 1; i + 1 < got; ++i) {
      if (head[i] == 0xFF && head[i + 1] == 0xD8) {
        at = i;
        break;
      }
    }
  }
  if (at < 0) throw EAbort("Operation aborted");
  stream.Seek(at, TSeekOrigin::soBeginning);
  return at;
}

void ReadJpegFrameInfo(TStream& stream, bool findStart, TJpegFrameInfoRec& info) {
  const int64_t remembered = stream.Position();
  info.width = info.height = 0;
  info.has_exif = false;
  try {
    if (findStart) FindJpegStart(stream);
    const int64_t size = stream.Size();
    int64_t pos = stream.Position();
    while (pos <= size - 4) {
      uint8_t m[2];
      stream.Seek(pos, TSeekOrigin::soBeginning);
      stream.ReadBuffer(m, 2);
      for (int retry = 0; m[0] != 0xFF && retry < kMaxMarkerRetries && pos < size - 4; ++retry) {
        stream.Seek(++pos, TSeekOrigin::soBeginning);
        stream.ReadBuffer(m, 2);
      }
      if (m[0] != 0xFF || EndsWalk(m[1])) break;
      pos += 2;
      if (IsStandaloneMarker(m[1])) continue;
      const uint16_t length = ReadBE16(stream);
      if (IsFrameMarker(m[1])) {
        ReadFrameHeader(stream, info.pixel_format, info.width, info.height);
      } else if (m[1] == 0xE1 && ReadExifSignature(stream)) {
        info.has_exif = true;
      }
      pos += length;
    }
  } catch (const std::exception&) {
    info.has_exif = false;
    info.width = info.height = -1;
  }
  try {
    stream.Seek(remembered, TSeekOrigin::soBeginning);
  } catch (const std::exception&) {
  }
}

void ReadTiffInfo(TStream& stream, bool readThumbnail, TTiffInfoRec& info) {
  info = TTiffInfoRec{};
  int64_t base = 0;
  try {
    base = stream.Position();
    TiffReader r(stream);
    if (!r.ReadHeader(false)) return;
    const int64_t ifd0 = r.At(r.FirstIfdOffset());
    TiffWalk walk;
    int64_t exif_ifd = 0;
    if (!ScanIfd0(r, walk, ifd0, info, exif_ifd)) return;
    const int64_t ifd1 = readThumbnail ? walk.Next(r, ifd0) : 0;
    if (info.has_exif_ifd) ScanExifIfdForDate(r, walk, exif_ifd, info);
    if (ifd1 != 0) ScanIfd1(r, walk, ifd1, info);
    if (info.thumb_offset > 0 && info.thumb_length > 0 &&
        RangeInside(static_cast<uint64_t>(info.thumb_offset), static_cast<uint64_t>(info.thumb_length),
                    static_cast<uint64_t>(r.Size()))) {
      info.thumb_stream = std::make_unique<TMemoryStream>(r.BytesAt(info.thumb_offset, info.thumb_length));
    }
  } catch (const std::exception&) {
    // A damaged block answers what was found before the damage.
  }
  try {
    stream.Seek(base, TSeekOrigin::soBeginning);
  } catch (const std::exception&) {
  }
}

void ReadTiffInfoFromFile(const std::string& fileName, TTiffInfoRec& info) {
  info = TTiffInfoRec{};
  try {
    ScanFile f(fileName);
    ReadTiffInfo(f.buffered, false, info);
  } catch (const std::exception&) {
  }
}

void ReadJpegInfo(TStream& stream, uint32_t& flags, TJpegInfoExRec& info) {
  ResetJpegInfo(info);
  uint32_t requests = flags;
  uint32_t obtained = 0;
  try {
    WalkJpegInfo(stream, requests, obtained, info);
  } catch (const std::exception&) {
    ResetJpegInfo(info);
    obtained = 0;
    TJpegFrameInfoRec frame;
    ReadJpegFrameInfo(stream, true, frame);
    info.pixel_format = frame.pixel_format;
    info.width = frame.width;
    info.height = frame.height;
    info.has_exif = frame.has_exif;
  }
  flags = obtained;
}

void ReadJpegInfoFromFile(const std::string& fileName, uint32_t& flags, TJpegInfoExRec& info) {
  try {
    ScanFile f(fileName);
    ReadJpegInfo(f.buffered, flags, info);
  } catch (const std::exception&) {
    ResetJpegInfo(info);
    flags = 0;
  }
}

void FreeJpegInfo(TJpegInfoExRec& info) {
  info.thumb_stream.reset();
}

void FreeTiffInfo(TTiffInfoRec& info) {
  info.thumb_stream.reset();
}

void WalkJpegSegments(TStream& stream, const std::function<bool(const TJpegSegment&)>& visit) {
  const int64_t size = stream.Size();
  int64_t pos = FindJpegStart(stream);
  while (pos <= size - 4) {
    stream.Seek(pos, TSeekOrigin::soBeginning);
    uint8_t m[2];
    stream.ReadBuffer(m, 2);
    if (m[0] != 0xFF || EndsWalk(m[1])) break;
    TJpegSegment segment{pos, m[1], 0};
    pos += 2;
    if (!IsStandaloneMarker(m[1])) {
      segment.length = ReadBE16(stream);
      pos += segment.length;
    }
    if (!visit(segment)) return;
  }
}

namespace {

// The first segment that accept takes; the stream is left at its marker. -1 when none.
int64_t FindSegment(TStream& stream, const std::function<bool(const TJpegSegment&)>& accept) {
  int64_t found = -1;
  try {
    WalkJpegSegments(stream, [&](const TJpegSegment& segment) {
      if (accept(segment)) found = segment.position;
      return found < 0;
    });
  } catch (const std::exception&) {
    found = -1;
  }
  if (found >= 0) stream.Seek(found, TSeekOrigin::soBeginning);
  return found;
}

}  // namespace

int64_t FindAppSegment(TStream& stream, int n) {
  if (n < 0 || n > 15) return -1;
  return FindSegment(stream, [n](const TJpegSegment& segment) { return segment.marker == 0xE0 + n; });
}

int64_t FindExifSegment(TStream& stream) {
  return FindSegment(stream, [&stream](const TJpegSegment& segment) {
    return segment.marker == 0xE1 && segment.length >= 8 && ReadExifSignature(stream);
  });
}

bool CopyAppSegment(const std::string& fileName, int n, TMemoryStream& target) {
  target.Clear();
  try {
    ScanFile f(fileName);
    const int64_t at = FindAppSegment(f.buffered, n);
    if (at < 0) return false;
    f.buffered.Seek(at + 2, TSeekOrigin::soBeginning);
    const uint16_t length = ReadBE16(f.buffered);
    if (length < 2) return false;
    target.CopyFrom(f.buffered, length - 2);
    target.SetPosition(0);
    return true;
  } catch (const std::exception&) {
    target.Clear();
    return false;
  }
}

int64_t FindTiffHeader(TStream& stream) {
  uint8_t bytes[255];
  const int64_t start = stream.Position();
  const int64_t got = stream.Read(bytes, sizeof bytes);
  for (int64_t i = 0; i + 1 < got; ++i) {
    if ((bytes[i] == 'I' && bytes[i + 1] == 'I') || (bytes[i] == 'M' && bytes[i + 1] == 'M')) {
      stream.Seek(start + i, TSeekOrigin::soBeginning);
      return start + i;
    }
  }
  return -1;
}

bool IsMarkedMakerNote(TStream& stream) {
  const int64_t at = stream.Position();
  uint8_t mark[8];
  const bool marked = stream.Read(mark, 8) == 8 && std::memcmp(mark, "ORIN_MNH", 8) == 0;
  stream.Seek(at, TSeekOrigin::soBeginning);
  return marked;
}

}  // namespace plb

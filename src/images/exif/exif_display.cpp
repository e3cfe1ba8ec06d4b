#include "images/exif/exif_display.h"

#include <cmath>
#include <exception>
#include <map>

#include "host/format.h"
#include "images/codec/buffered_stream.h"
#include "images/exif/exif_scanner.h"
#include "images/exif/exif_text.h"
#include "images/exif/tiff_reader.h"
#include "images/exif/tiff_walk.h"

namespace plb {
namespace {

// A sub-second text as a number: decimal digits up to the first NUL, 0 when it is not a number.
int64_t SubSecondNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return 0;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || v > 100000000000000LL) return 0;
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

void ReadShorts(TiffReader& r, const TiffEntry& e, uint32_t limit, ExifValue& v) {
  for (uint32_t s : r.Shorts(e, limit)) v.numbers.push_back(s);
  v.count = static_cast<int64_t>(v.numbers.size());
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace

bool TExifItem::LoadFromFile(const std::string& fileName, bool isJpeg) {
  present_.reset();
  try {
    if (!isJpeg && UpperFileExtension(fileName) != ".RAF") {
      TFileStream file(fileName, TFileStream::Mode::kRead);
      TBufferedStream buffered(file, TBufferedStream::kDefaultSize);
      if (FindTiffHeader(buffered) < 0) return false;
      return LoadFromStream(buffered);
    }
    TMemoryStream segment;
    if (!CopyAppSegment(fileName, 1, segment)) return false;
    if (segment.Size() < 6 || !IsExifSignature(segment.Bytes().data())) return false;
    segment.SetPosition(6);
    return LoadFromStream(segment);
  } catch (const std::exception&) {
    present_.reset();
    return false;
  }
}

bool TExifItem::LoadFromStream(TStream& stream) {
  present_.reset();
  try {
    if (stream.Size() < 11) return false;
    TiffReader r(stream);
    if (!r.ReadHeader(true)) return false;
    big_endian_ = r.BigEndian();

    // IFD0: an entry beyond the data makes the whole block unreadable.
    TiffWalk walk;
    int64_t exif_ifd = -1;
    int64_t gps_ifd = -1;
    const TiffWalkEnd ifd0 = walk.Directory(r, r.At(r.FirstIfdOffset()), [&](const TiffEntry& e) {
      if (e.tag == kTagExifIfd) {
        exif_ifd = r.At(e.value);
      } else if (e.tag == kTagGpsIfd) {
        gps_ifd = r.At(e.value);
      } else if (e.tag != kTagPrintImageMatching) {
        DecodeEntry(r, e, false);
      }
    });
    if (ifd0 != TiffWalkEnd::kComplete) {
      present_.reset();
      return false;
    }

    // The Exif and GPS directories just end early where their entries leave the data.
    for (const auto& [ifd, gps] : {std::pair{exif_ifd, false}, std::pair{gps_ifd, true}}) {
      if (ifd < 0) continue;
      try {
        walk.Directory(r, ifd, [&, gps = gps](const TiffEntry& e) { DecodeEntry(r, e, gps); });
      } catch (const std::exception&) {
      }
    }
    return true;
  } catch (const std::exception&) {
    present_.reset();
    return false;
  }
}

void TExifItem::DecodeEntry(TiffReader& r, const TiffEntry& e, bool gps) {
  const int property = TagPropertyIn(e.tag, gps);
  if (property >= kExifPropertyCount) return;
  try {
    Value v;
    DecodeValue(r, e, property, v);
    if (property == 8) {
      // One Copyright entry holds the photographer's and the editor's notices, NUL-separated.
      const std::vector<uint8_t> bytes = r.ValueBytes(e, 1);
      size_t nul = 0;
      while (nul < bytes.size() && bytes[nul] != 0) ++nul;
      Value editor;
      if (nul < bytes.size()) editor.text = ExifAsciiText(std::span(bytes).subspan(nul + 1));
      values_[9] = std::move(editor);
      present_.set(9);
    }
    values_[static_cast<size_t>(property)] = std::move(v);
    present_.set(static_cast<size_t>(property));
  } catch (const std::exception&) {
    present_.reset(static_cast<size_t>(property));
    if (property == 8) present_.reset(9);
  }
}

void TExifItem::DecodeValue(TiffReader& r, const TiffEntry& e, int property, Value& v) {
  switch (PropertyAt(property).kind) {
    case ExifValueKind::kText:
    case ExifValueKind::kCopyright:
      v.text = ExifAsciiText(r.ValueBytes(e, 1));
      break;
    case ExifValueKind::kVersion: {
      const std::vector<uint8_t> bytes = r.ValueBytes(e, 1);
      v.text.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::min<size_t>(bytes.size(), 4)));
      break;
    }
    case ExifValueKind::kMakerNote:
      // Only where the note lies and how long it is; its content is the maker's own format.
      v.integer = e.count <= 4 ? e.field_position : r.At(e.value);
      if (v.integer > r.Size()) throw EReadError("Stream read error: the maker note lies outside the data");
      v.count = e.count;
      break;
    case ExifValueKind::kCodedText:
      v.bytes = r.ValueBytes(e, 1);
      break;
    case ExifValueKind::kDate:
      v.date = ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1)));
      break;
    case ExifValueKind::kSubSecond:
      v.integer = SubSecondNumber(ExifAsciiBytes(r.ValueBytes(e, 1)));
      break;
    case ExifValueKind::kInteger:
      v.integer = r.Integer(e);
      break;
    case ExifValueKind::kRational:
      v.real = r.Rational(e, 0, &v.zero_denominator);
      break;
    case ExifValueKind::kShorts:
      ReadShorts(r, e, UINT32_MAX, v);
      break;
    case ExifValueKind::kShortPair:
      ReadShorts(r, e, 2, v);
      break;
    case ExifValueKind::kSubjectArea:
      // 2 to 4 values; more or fewer is shown as unknown without being read.
      if (e.count < 2 || e.count > 4) {
        v.count = e.count;
      } else {
        ReadShorts(r, e, UINT32_MAX, v);
      }
      break;
    case ExifValueKind::kNone:
      break;
    case ExifValueKind::kSoundFile: {
      const std::vector<uint8_t> bytes = e.count <= 4 ? r.ValueBytes(e, 1) : r.BytesAt(r.At(e.value), 13);
      v.text = ExifAsciiText(bytes);
      break;
    }
    case ExifValueKind::kGpsVersion: {
      const std::vector<uint8_t> bytes =
          e.count <= 4 ? std::vector<uint8_t>(e.field.begin(), e.field.end()) : r.BytesAt(r.At(e.value), 4);
      for (uint8_t b : bytes) v.numbers.push_back(b);
      break;
    }
    case ExifValueKind::kTriple:
      for (uint32_t i = 0; i < 3; ++i) v.triple[i] = r.Rational(e, i);
      break;
    case ExifValueKind::kGpsDate:
      v.date = std::trunc(ParseExifDateTime(ExifAsciiBytes(r.ValueBytes(e, 1))));
      break;
  }
}

bool TExifItem::HasProperty(int index) const {
  return index >= 0 && index < kExifPropertyCount && present_.test(static_cast<size_t>(index));
}

TDateTime TExifItem::ShootingDate() const {
  return HasProperty(11) ? values_[11].date : 0;
}

std::string TExifItem::ValueText(int index, std::string_view absentText) const {
  if (!HasProperty(index)) return std::string(absentText);
  try {
    return FormatValue(index);
  } catch (const std::exception&) {
    return "Error";
  }
}

std::string TExifItem::PropertyText(int index, bool withLabel, std::string_view absentText,
                                    std::string_view format) const {
  const std::string text = OneLine(ValueText(index, absentText));
  if (!withLabel) return text;
  return Format(format, PropertyLabel(index), text);
}

std::vector<std::string> TExifItem::PropertyLines(bool allProperties, std::string_view format,
                                                  std::string_view absentText) const {
  std::vector<std::string> lines;
  for (int index : PropertyDisplayOrder()) {
    if (allProperties || HasProperty(index)) lines.push_back(PropertyText(index, true, absentText, format));
  }
  return lines;
}

std::string TExifItem::FormatValue(int index) const {
  const ExifProperty& p = PropertyAt(index);
  const Value* companion = HasProperty(p.companion) ? &values_[static_cast<size_t>(p.companion)] : nullptr;
  return p.format({values_[static_cast<size_t>(index)], p.picks, companion, big_endian_});
}

}  // namespace plb

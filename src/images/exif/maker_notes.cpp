#include "images/exif/maker_notes.h"

#include <array>
#include <string_view>

#include "host/ascii_case.h"

namespace plb {
namespace {

using namespace std::string_view_literals;

struct MakePrefix {
  std::string_view prefix;
  Maker maker;
};

constexpr std::array<MakePrefix, 10> kMakes = {{
    {"NIKON", Maker::kNikon},
    {"OLYMP", Maker::kOlympus},
    {"SEIKO", Maker::kEpson},
    {"CANON", Maker::kCanon},
    {"CASIO", Maker::kCasio},
    {"SONY", Maker::kSony},
    {"MINOL", Maker::kMinolta},
    {"KONICA MINOLTA", Maker::kMinolta},
    {"PENTAX", Maker::kPentax},
    {"Panasonic", Maker::kPanasonic},
}};

// Nikon's preview directory and Minolta's thumbnail, camera information and preview place data
// outside the note (or a directory that is not relocated with it).
constexpr uint16_t kNikonDrops[] = {kNikonPreviewIfd};
constexpr uint16_t kMinoltaDrops[] = {0x0081, 0x0010, kMinoltaPreviewStart, kMinoltaPreviewLength};

using B = MakerNoteBase;

// Tried in order: the first row of the maker that fits the note wins.
// clang-format off
constexpr std::array<MakerNoteLayout, 12> kLayouts = {{
    // maker            signature          min  mark  dir  offsets from     dropped entries
    {Maker::kNikon,     "NIKON"sv,         14,  10,   0,   B::kOwnHeader,   kNikonDrops},
    {Maker::kNikon,     "NIKON"sv,          8,  -1,   8,   B::kBlock,       kNikonDrops},
    {Maker::kNikon,     ""sv,               8,  -1,   0,   B::kBlock,       kNikonDrops},
    {Maker::kOlympus,   "OLYMPUS\0"sv,     12,   8,  12,   B::kNote,        {}},
    {Maker::kOlympus,   "OLYMP"sv,          8,  -1,   8,   B::kBlock,       {}},
    {Maker::kEpson,     "EPSON"sv,          8,  -1,   8,   B::kBlock,       {}},
    {Maker::kCanon,     ""sv,               0,  -1,   0,   B::kBlock,       {}},
    {Maker::kCasio,     ""sv,               0,  -1,   0,   B::kBlock,       {}},
    {Maker::kSony,      "SONY DSC"sv,      12,  -1,  12,   B::kBlock,       {}},
    {Maker::kMinolta,   ""sv,               0,  -1,   0,   B::kBlock,       kMinoltaDrops},
    {Maker::kPentax,    "AOC"sv,            6,   4,   6,   B::kBlock,       {}},
    {Maker::kPanasonic, "Panasonic"sv,     12,  -1,  12,   B::kBlock,       {}},
}};
// clang-format on

std::string_view Text(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// "MM" big-endian, "II" little-endian; false for anything else.
bool MarkAt(std::span<const uint8_t> head, size_t at, bool& bigEndian) {
  if (head.size() < at + 2) return false;
  const std::string_view mark = Text(head.subspan(at, 2));
  bigEndian = mark == "MM";
  return bigEndian || mark == "II";
}

bool Fits(const MakerNoteLayout& layout, std::span<const uint8_t> head, uint64_t length) {
  if (length < layout.min_length || !AsciiStartsWithNoCase(Text(head), layout.signature)) return false;
  if (layout.mark_at < 0) return true;
  const size_t at = static_cast<size_t>(layout.mark_at);
  bool big = false;
  if (!MarkAt(head, at, big)) return false;
  if (layout.base != MakerNoteBase::kOwnHeader) return true;
  // A TIFF header: the mark, then 42 in its byte order.
  if (head.size() < at + 4) return false;
  return big ? head[at + 2] == 0 && head[at + 3] == 42 : head[at + 2] == 42 && head[at + 3] == 0;
}

}  // namespace

Maker MakerOfMake(std::string_view make) {
  for (const MakePrefix& m : kMakes) {
    if (AsciiStartsWithNoCase(make, m.prefix)) return m.maker;
  }
  return Maker::kUnknown;
}

const MakerNoteLayout* FindMakerNoteLayout(Maker maker, std::span<const uint8_t> head, uint64_t length) {
  for (const MakerNoteLayout& layout : kLayouts) {
    if (layout.maker == maker && Fits(layout, head, length)) return &layout;
  }
  return nullptr;
}

std::optional<MakerNoteDirectory> LocateMakerNote(TiffReader& block, int64_t notePosition,
                                                  std::span<const uint8_t> head, const MakerNoteLayout& layout) {
  bool big = block.BigEndian();
  if (layout.mark_at >= 0 && !MarkAt(head, static_cast<size_t>(layout.mark_at), big)) return std::nullopt;
  switch (layout.base) {
    case MakerNoteBase::kBlock:
      return MakerNoteDirectory{notePosition + layout.directory_at, block.Rebased(block.Base(), big)};
    case MakerNoteBase::kNote:
      return MakerNoteDirectory{notePosition + layout.directory_at, block.Rebased(notePosition, big)};
    case MakerNoteBase::kOwnHeader: {
      const int64_t header = notePosition + layout.mark_at;
      TiffReader own = block.Rebased(header, big);
      try {
        return MakerNoteDirectory{own.At(own.U32At(header + 4)), own};
      } catch (const EReadError&) {
        return std::nullopt;
      }
    }
  }
  return std::nullopt;
}

}  // namespace plb

#pragma once
// The maker notes this program knows, as one table: which camera makers write each layout, the
// signature it starts with, where its directory lies, where its offsets count from, which byte
// order its numbers have, and which of its entries cannot travel when the note moves into a new
// block. The block rewriter relocates notes by it; the RAW reader finds previews inside them by
// it.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "images/exif/tiff_reader.h"

namespace plb {

enum class Maker : uint8_t { kUnknown, kCanon, kCasio, kEpson, kMinolta, kNikon, kOlympus, kPanasonic, kPentax, kSony };

// Where the offsets inside a note count from.
enum class MakerNoteBase : uint8_t {
  kBlock,      // the block's TIFF header, like the block's own offsets: the note can be relocated
  kNote,       // the note's first byte
  kOwnHeader,  // a TIFF header of the note's own at mark_at, whose first offset places the directory
};

struct MakerNoteLayout {
  Maker maker;
  std::string_view signature;  // the note's first bytes, letter case aside; empty for none
  uint8_t min_length;          // a shorter note is not of this layout
  int8_t mark_at;              // -1: the block's byte order; else the "II" or "MM" there (required)
  uint8_t directory_at;        // where the directory starts in the note; the bytes before it are its prefix
  MakerNoteBase base;
  std::span<const uint16_t> drop_tags;  // entries pointing outside the note, which cannot move with it
};

// Tags inside maker notes that the RAW reader follows to the previews.
constexpr uint16_t kNikonPreviewIfd = 0x0011;
constexpr uint16_t kMinoltaPreviewStart = 0x0088;
constexpr uint16_t kMinoltaPreviewLength = 0x0089;
constexpr uint16_t kOlympusCameraSettingsIfd = 0x2020;
constexpr uint16_t kOlympusPreviewValid = 0x0100;
constexpr uint16_t kOlympusPreviewStart = 0x0101;
constexpr uint16_t kOlympusPreviewLength = 0x0102;
constexpr uint16_t kPentaxPreviewSize = 0x0002;
constexpr uint16_t kPentaxPreviewLength = 0x0003;
constexpr uint16_t kPentaxPreviewStart = 0x0004;
// The print-matching entry some notes carry; it must start with its own signature.
constexpr uint16_t kPrintImTag = 0x0E00;

// The maker of a Make value, by the prefix each maker's cameras write.
Maker MakerOfMake(std::string_view make);

// The first layout of maker that a note starting with head (its first bytes, at least the first
// 16 when it has them) and length bytes long fits; nullptr when none does.
const MakerNoteLayout* FindMakerNoteLayout(Maker maker, std::span<const uint8_t> head, uint64_t length);

// Where a note's directory lies, and a reader with the note's base and byte order.
struct MakerNoteDirectory {
  int64_t position;
  TiffReader reader;
};

// The directory of the note at notePosition (absolute) in block, laid out as layout (found for
// its head); nothing when the note's own header cannot be read.
std::optional<MakerNoteDirectory> LocateMakerNote(TiffReader& block, int64_t notePosition,
                                                  std::span<const uint8_t> head, const MakerNoteLayout& layout);

}  // namespace plb

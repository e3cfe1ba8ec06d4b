// The table of maker-note layouts: which layout a maker's note is taken for by its first bytes,
// and where its directory, base and byte order come out inside a block.
#include "images/exif/maker_notes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "images/exif_builder.h"

namespace plb {
namespace {

using test::Bytes;
using namespace std::string_literals;

Bytes Head(const std::string& text, size_t size = 0) {
  Bytes b(text.begin(), text.end());
  if (b.size() < size) b.resize(size, 0);
  return b;
}

TEST(MakerNotes, MakersByTheirMakePrefix) {
  const std::pair<const char*, Maker> cases[] = {
      {"NIKON CORPORATION", Maker::kNikon},
      {"Nikon", Maker::kNikon},
      {"OLYMPUS IMAGING CORP.", Maker::kOlympus},
      {"SEIKO EPSON CORP.", Maker::kEpson},
      {"Canon", Maker::kCanon},
      {"CASIO COMPUTER CO.,LTD.", Maker::kCasio},
      {"SONY", Maker::kSony},
      {"Minolta Co., Ltd.", Maker::kMinolta},
      {"KONICA MINOLTA", Maker::kMinolta},
      {"PENTAX Corporation", Maker::kPentax},
      {"Panasonic", Maker::kPanasonic},
      {"SANYO Electric Co.,Ltd.", Maker::kUnknown},
      {"", Maker::kUnknown},
      {"KONICA", Maker::kUnknown},
  };
  for (const auto& [make, maker] : cases) EXPECT_EQ(MakerOfMake(make), maker) << make;
}

TEST(MakerNotes, LayoutsBySignatureLengthAndMark) {
  struct Case {
    const char* name;
    Maker maker;
    Bytes head;
    bool found;
    MakerNoteBase base;
    uint8_t directoryAt;
  };
  using B = MakerNoteBase;
  const Case cases[] = {
      {"Nikon with its own header", Maker::kNikon, Head("Nikon\0\2\x10\0\0MM\0*\0\0\0\x08"s), true, B::kOwnHeader, 0},
      {"Nikon with a mark but no magic", Maker::kNikon, Head("Nikon\0\2\x10\0\0MM\0+\0\0\0\x08"s), true, B::kBlock, 8},
      {"Nikon with a prefix", Maker::kNikon, Head("Nikon\0\1\0"s, 20), true, B::kBlock, 8},
      {"Nikon without a prefix", Maker::kNikon, Head("\0\x12\0\1"s, 20), true, B::kBlock, 0},
      {"Nikon too short for any", Maker::kNikon, Head("Nikon\0\1"s), false, B::kBlock, 0},
      {"Olympus, little-endian note", Maker::kOlympus, Head("OLYMPUS\0II\3\0"s, 16), true, B::kNote, 12},
      {"Olympus, big-endian note", Maker::kOlympus, Head("OLYMPUS\0MM\0\3"s, 16), true, B::kNote, 12},
      {"Olympus, older note", Maker::kOlympus, Head("OLYMP\0\1\0"s, 16), true, B::kBlock, 8},
      {"Olympus without its signature", Maker::kOlympus, Head("SOMETHING ELSE"), false, B::kBlock, 0},
      {"Epson", Maker::kEpson, Head("EPSON\0\1\0"s, 16), true, B::kBlock, 8},
      {"Canon has no signature", Maker::kCanon, Head("\x05\0"s), true, B::kBlock, 0},
      {"Sony", Maker::kSony, Head("SONY DSC \0\0\0"s, 16), true, B::kBlock, 12},
      {"Sony cut short", Maker::kSony, Head("SONY DSC "), false, B::kBlock, 0},
      {"Pentax", Maker::kPentax, Head("AOC\0MM"s, 16), true, B::kBlock, 6},
      {"Pentax without a byte-order mark", Maker::kPentax, Head("AOC\0\0\x10"s, 16), false, B::kBlock, 0},
      {"Panasonic", Maker::kPanasonic, Head("Panasonic\0\0\0"s, 16), true, B::kBlock, 12},
      {"a maker without a layout", Maker::kUnknown, Head("anything", 16), false, B::kBlock, 0},
  };
  for (const Case& c : cases) {
    const MakerNoteLayout* layout = FindMakerNoteLayout(c.maker, c.head, c.head.size());
    ASSERT_EQ(layout != nullptr, c.found) << c.name;
    if (!layout) continue;
    EXPECT_EQ(layout->maker, c.maker) << c.name;
    EXPECT_EQ(layout->base, c.base) << c.name;
    if (c.base != B::kOwnHeader) {
      EXPECT_EQ(layout->directory_at, c.directoryAt) << c.name;
    }
  }
  // The length counts, not only the bytes at hand: a head cut short of a long note still fits.
  EXPECT_NE(FindMakerNoteLayout(Maker::kSony, Head("SONY DSC "), 100), nullptr);
}

TEST(MakerNotes, PreviewAndSubDirectoryEntriesAreDroppedForNikonAndMinolta) {
  const auto drops = [](Maker maker, const Bytes& head) {
    const MakerNoteLayout* layout = FindMakerNoteLayout(maker, head, head.size());
    return layout ? std::vector<uint16_t>(layout->drop_tags.begin(), layout->drop_tags.end()) : std::vector<uint16_t>{};
  };
  EXPECT_EQ(drops(Maker::kNikon, Head("Nikon\0\1\0"s, 20)), std::vector<uint16_t>{kNikonPreviewIfd});
  const std::vector<uint16_t> minolta = drops(Maker::kMinolta, Head("", 20));
  EXPECT_NE(std::find(minolta.begin(), minolta.end(), kMinoltaPreviewStart), minolta.end());
  EXPECT_NE(std::find(minolta.begin(), minolta.end(), kMinoltaPreviewLength), minolta.end());
  EXPECT_TRUE(drops(Maker::kCanon, Head("", 20)).empty());
}

TEST(MakerNotes, TheDirectoryItsBaseAndByteOrderInsideABlock) {
  // A little-endian block with a note at 40 of each layout kind.
  struct Case {
    const char* name;
    Maker maker;
    Bytes note;
    std::optional<int64_t> directory;
    int64_t base;
    bool bigEndian;
  };
  const Case cases[] = {
      {"offsets from the block", Maker::kOlympus, Head("OLYMP\0\1\0"s, 24), 40 + 8, 0, false},
      {"offsets from the note, its own order", Maker::kOlympus, Head("OLYMPUS\0MM\0\3"s, 24), 40 + 12, 40, true},
      {"its own header", Maker::kNikon, Head("Nikon\0\2\x10\0\0MM\0*\0\0\0\x08"s, 24), 50 + 8, 50, true},
      {"its own header, cut off", Maker::kNikon, Head("Nikon\0\2\x10\0\0II*\0"s), std::nullopt, 0, false},
      {"the mark sets the order", Maker::kPentax, Head("AOC\0MM"s, 24), 40 + 6, 0, true},
  };
  for (const Case& c : cases) {
    Bytes block = {'I', 'I', 42, 0, 8, 0, 0, 0};
    block.resize(40, 0);
    block.insert(block.end(), c.note.begin(), c.note.end());
    TMemoryStream stream(block);
    TiffReader r(stream);
    ASSERT_TRUE(r.ReadHeader(true));
    const MakerNoteLayout* layout = FindMakerNoteLayout(c.maker, c.note, c.note.size());
    ASSERT_NE(layout, nullptr) << c.name;
    const std::optional<MakerNoteDirectory> dir = LocateMakerNote(r, 40, c.note, *layout);
    ASSERT_EQ(dir.has_value(), c.directory.has_value()) << c.name;
    if (!dir) continue;
    EXPECT_EQ(dir->position, *c.directory) << c.name;
    EXPECT_EQ(dir->reader.Base(), c.base) << c.name;
    EXPECT_EQ(dir->reader.BigEndian(), c.bigEndian) << c.name;
  }
}

}  // namespace
}  // namespace plb

// The directory walk on hand-laid bytes: where a directory ends against the block's edges, the
// entry limit, and chains of next-directory links that run off the block or lead back.
#include "images/exif/tiff_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "images/exif_builder.h"

namespace plb {
namespace {

using test::Bytes;

// A block laid out by absolute positions; directories hold SHORT entries whose tags count up
// from 1.
class Block {
 public:
  explicit Block(bool big = false) : big_(big) {
    bytes = big ? Bytes{'M', 'M', 0, 42, 0, 0, 0, 8} : Bytes{'I', 'I', 42, 0, 8, 0, 0, 0};
  }
  Block& Put16(size_t at, uint32_t v) {
    Grow(at + 2);
    bytes[at + (big_ ? 1 : 0)] = uint8_t(v);
    bytes[at + (big_ ? 0 : 1)] = uint8_t(v >> 8);
    return *this;
  }
  Block& Put32(size_t at, uint32_t v) {
    Grow(at + 4);
    for (size_t i = 0; i < 4; ++i) bytes[at + (big_ ? 3 - i : i)] = uint8_t(v >> (8 * i));
    return *this;
  }
  Block& Ifd(size_t at, uint16_t entries, uint32_t next = 0) {
    Put16(at, entries);
    for (uint16_t i = 0; i < entries; ++i) {
      const size_t e = at + 2 + 12 * size_t{i};
      Put16(e, i + 1u).Put16(e + 2, kTiffShort).Put32(e + 4, 1).Put16(e + 8, 100u + i);
    }
    return Put32(at + 2 + 12 * size_t{entries}, next);
  }
  Block& Cut(size_t size) {
    bytes.resize(size);
    return *this;
  }

  Bytes bytes;

 private:
  void Grow(size_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
  }
  bool big_;
};

struct Walked {
  TiffWalkEnd end;
  std::vector<uint16_t> tags;
};

Walked WalkOnce(const Bytes& bytes, uint32_t offset, uint32_t maxEntries, int64_t blockEnd) {
  TMemoryStream stream(bytes);
  TiffReader r(stream);
  EXPECT_TRUE(r.ReadHeader(true));
  TiffWalk walk(blockEnd, maxEntries);
  Walked out;
  out.end = walk.Directory(r, r.At(offset), [&](const TiffEntry& e) {
    out.tags.push_back(e.tag);
    EXPECT_EQ(r.Integer(e), uint16_t(100u + e.tag - 1)) << "entry " << e.tag << " read in the block's byte order";
  });
  return out;
}

TEST(TiffWalk, ADirectoryEndsAtTheEdgeOfItsBlock) {
  constexpr int64_t kStreamEnd = INT64_MAX;
  using E = TiffWalkEnd;
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t offset;
    uint32_t maxEntries;
    int64_t blockEnd;
    E end;
    std::vector<uint16_t> tags;
  };
  const Case cases[] = {
      {"whole", Block().Ifd(8, 3).bytes, 8, TiffWalk::kAnyCount, kStreamEnd, E::kComplete, {1, 2, 3}},
      {"whole, big-endian", Block(true).Ifd(8, 3).bytes, 8, TiffWalk::kAnyCount, kStreamEnd, E::kComplete, {1, 2, 3}},
      {"empty", Block().Ifd(8, 0).bytes, 8, TiffWalk::kAnyCount, kStreamEnd, E::kComplete, {}},
      {"truncated in the third entry",
       Block().Ifd(8, 3).Cut(8 + 2 + 24 + 11).bytes,
       8,
       TiffWalk::kAnyCount,
       kStreamEnd,
       E::kTruncated,
       {1, 2}},
      {"entry count past the end",
       Block().Ifd(8, 2).Put16(8, 0xFFFF).bytes,
       8,
       TiffWalk::kAnyCount,
       kStreamEnd,
       E::kTruncated,
       {1, 2}},
      {"directory offset past the end",
       Block().Ifd(8, 1).bytes,
       0xFFFFFFF0,
       TiffWalk::kAnyCount,
       kStreamEnd,
       E::kUnreadable,
       {}},
      {"count cut in half", Block().Cut(9).bytes, 8, TiffWalk::kAnyCount, kStreamEnd, E::kUnreadable, {}},
      {"block ends before the stream",
       Block().Ifd(8, 3).bytes,
       8,
       TiffWalk::kAnyCount,
       8 + 2 + 24,
       E::kTruncated,
       {1, 2}},
      {"block ends inside the count", Block().Ifd(8, 3).bytes, 8, TiffWalk::kAnyCount, 9, E::kUnreadable, {}},
      {"as many entries as allowed", Block().Ifd(8, 3).bytes, 8, 3, kStreamEnd, E::kComplete, {1, 2, 3}},
      {"one entry more than allowed", Block().Ifd(8, 3).bytes, 8, 2, kStreamEnd, E::kTooMany, {}},
  };
  for (const Case& c : cases) {
    const Walked w = WalkOnce(c.bytes, c.offset, c.maxEntries, c.blockEnd);
    EXPECT_EQ(w.end, c.end) << c.name;
    EXPECT_EQ(w.tags, c.tags) << c.name;
  }
}

TEST(TiffWalk, AFullDirectoryOf65535EntriesIsReadToTheLast) {
  const Walked w = WalkOnce(Block().Ifd(8, 0xFFFF).bytes, 8, TiffWalk::kAnyCount, INT64_MAX);
  EXPECT_EQ(w.end, TiffWalkEnd::kComplete);
  ASSERT_EQ(w.tags.size(), 0xFFFFu);
  EXPECT_EQ(w.tags.back(), 0xFFFF);
}

TEST(TiffWalk, TheVisitorMayStopAndADirectoryIsWalkedOnce) {
  const Bytes bytes = Block().Ifd(8, 3).bytes;
  TMemoryStream stream(bytes);
  TiffReader r(stream);
  ASSERT_TRUE(r.ReadHeader(true));
  TiffWalk walk;
  std::vector<uint16_t> tags;
  EXPECT_EQ(walk.Directory(r, 8,
                           [&](const TiffEntry& e) {
                             tags.push_back(e.tag);
                             return e.tag < 2;
                           }),
            TiffWalkEnd::kStopped);
  EXPECT_EQ(tags, (std::vector<uint16_t>{1, 2}));
  EXPECT_TRUE(walk.Walked(8));
  // A pointer back at it (an Exif pointer at IFD0, say) is refused without a read.
  EXPECT_EQ(walk.Directory(r, 8, [&](const TiffEntry&) { ADD_FAILURE() << "visited twice"; }), TiffWalkEnd::kRefused);
  // Another walk starts afresh.
  TiffWalk other;
  EXPECT_EQ(other.Directory(r, 8, [](const TiffEntry&) {}), TiffWalkEnd::kComplete);
}

// Follows the next-directory links from IFD0 as far as the walk goes; the directories walked.
std::vector<int64_t> Chain(const Bytes& bytes) {
  TMemoryStream stream(bytes);
  TiffReader r(stream);
  EXPECT_TRUE(r.ReadHeader(true));
  TiffWalk walk;
  std::vector<int64_t> walked;
  for (int64_t at = r.At(r.FirstIfdOffset()); at != 0; at = walk.Next(r, at)) {
    if (walk.Directory(r, at, [](const TiffEntry&) {}) != TiffWalkEnd::kComplete) break;
    walked.push_back(at);
  }
  return walked;
}

TEST(TiffWalk, NextDirectoryLinksEndAtLoopsAndAtTheEdge) {
  Block longChain;
  for (uint32_t i = 0; i < 40; ++i) longChain.Ifd(8 + 6 * i, 0, i + 1 < 40 ? 8 + 6 * (i + 1) : 0);
  std::vector<int64_t> budget;
  for (int i = 0; i < TiffWalk::kMaxDirectories; ++i) budget.push_back(8 + 6 * i);
  struct Case {
    const char* name;
    Bytes bytes;
    std::vector<int64_t> walked;
  };
  const Case cases[] = {
      {"a chain of three", Block().Ifd(8, 1, 50).Ifd(50, 2, 100).Ifd(100, 1).bytes, {8, 50, 100}},
      {"a self-pointing IFD", Block().Ifd(8, 2, 8).bytes, {8}},
      {"a loop of two", Block().Ifd(8, 1, 50).Ifd(50, 1, 8).bytes, {8, 50}},
      {"a loop back to the second", Block().Ifd(8, 1, 50).Ifd(50, 1, 100).Ifd(100, 1, 50).bytes, {8, 50, 100}},
      {"a link past the end", Block().Ifd(8, 1, 0xFFFFFF00).bytes, {8}},
      {"a link cut off", Block().Ifd(8, 1, 50).Cut(8 + 2 + 12 + 3).bytes, {8}},
      {"a link to a truncated directory", Block().Ifd(8, 1, 50).Ifd(50, 3).Cut(50 + 2 + 12).bytes, {8}},
      {"more directories than a walk takes", longChain.bytes, budget},
  };
  for (const Case& c : cases) EXPECT_EQ(Chain(c.bytes), c.walked) << c.name;
}

}  // namespace
}  // namespace plb

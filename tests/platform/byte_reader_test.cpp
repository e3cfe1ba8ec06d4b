#include "platform/byte_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace plb {
namespace {

TEST(ByteReader, ReadsBothByteOrders) {
  const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  ByteReader le(bytes, Endian::kLittle);
  EXPECT_EQ(le.U16(), 0x0201);
  EXPECT_EQ(le.U32(), 0x06050403u);
  ByteReader be(bytes, Endian::kBig);
  EXPECT_EQ(be.U16(), 0x0102);
  EXPECT_EQ(be.U32(), 0x03040506u);
  EXPECT_EQ(be.Remaining(), 2u);
}

TEST(ByteReader, RefusesWhatTheBlockDoesNotHold) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    void (*read)(ByteReader&);
  };
  const std::vector<Case> cases = {
      {"short integer", {0x01, 0x02, 0x03}, [](ByteReader& r) { r.U32(); }},
      {"negative text length", {0xff, 0xff, 0xff, 0xff}, [](ByteReader& r) { r.LengthPrefixedText(); }},
      {"text longer than the rest", {0x05, 0, 0, 0, 'a', 'b'}, [](ByteReader& r) { r.LengthPrefixedText(); }},
      {"huge text length", {0xff, 0xff, 0xff, 0x7f}, [](ByteReader& r) { r.LengthPrefixedText(); }},
      {"negative count", {0x00, 0x00, 0x00, 0x80}, [](ByteReader& r) { r.Count(1); }},
      {"count beyond the end", {0x10, 0, 0, 0, 1, 2, 3}, [](ByteReader& r) { r.Count(4); }},
      {"count overflowing 64 bits", {0xff, 0xff, 0xff, 0x7f}, [](ByteReader& r) { r.Count(UINT64_MAX / 2); }},
      {"seek beyond the end", {0x00}, [](ByteReader& r) { r.Seek(2); }},
      {"skip beyond the end", {0x00}, [](ByteReader& r) { r.Skip(UINT64_MAX); }},
  };
  for (const auto& c : cases) {
    ByteReader r(c.bytes);
    EXPECT_THROW(c.read(r), EReadError) << c.name;
  }
}

TEST(ByteReader, ReadsLengthPrefixedTexts) {
  const std::vector<uint8_t> bytes = {0x03, 0, 0, 0, 'a', 'b', 'c', 0x00, 0, 0, 0};
  ByteReader r(bytes);
  EXPECT_EQ(r.LengthPrefixedText(), "abc");
  EXPECT_EQ(r.LengthPrefixedText(), "");
  EXPECT_TRUE(r.AtEnd());
}

TEST(ErrorNames, NameTheirClass) {
  EXPECT_EQ(ClassNameOf(EReadError("x")), "EReadError");
  EXPECT_EQ(ClassNameOf(std::bad_alloc()), "EOutOfMemory");
  EXPECT_EQ(ClassNameOf(std::runtime_error("x")), "Exception");
  EXPECT_EQ(MessageOf(ERangeError("too big")), "too big");
}

}  // namespace
}  // namespace plb

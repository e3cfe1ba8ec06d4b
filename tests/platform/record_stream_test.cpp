#include "platform/record_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "support/test_env.h"

namespace plb {
namespace {

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = test::TestRoot() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// Writes one of every value the records use.
std::string EveryValue() {
  std::string out;
  RecordWriter w(out);
  w.U8(0xAB);
  w.U16(0xF0F0);
  w.U32(0xE001);
  w.I16(-2);
  w.I32(-1);
  w.I64(-5);
  w.U64(0x0102030405060708ull);
  w.F32(1.5f);
  w.DateTime(45000.75);
  w.Bool(true);
  w.Text("写真.JPG");
  w.Text("");
  return out;
}

void ExpectEveryValue(RecordReader& r) {
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.U16(), 0xF0F0);
  EXPECT_EQ(r.PeekU32(), 0xE001u);
  EXPECT_EQ(r.U32(), 0xE001u);
  EXPECT_EQ(r.I16(), -2);
  EXPECT_EQ(r.I32(), -1);
  EXPECT_EQ(r.I64(), -5);
  EXPECT_EQ(r.U64(), 0x0102030405060708ull);
  EXPECT_EQ(r.F32(), 1.5f);
  EXPECT_EQ(r.DateTime(), 45000.75);
  EXPECT_TRUE(r.Bool());
  EXPECT_EQ(r.Text(), "写真.JPG");
  EXPECT_EQ(r.Text(), "");
  EXPECT_TRUE(r.AtEnd());
}

TEST(RecordStream, ValuesAreLittleEndianAndReadBackFromMemoryAndFile) {
  const std::string bytes = EveryValue();
  // The first fields as they lie in the file.
  EXPECT_EQ(bytes.substr(0, 7), std::string("\xAB\xF0\xF0\x01\xE0\x00\x00", 7));
  RecordReader memory(bytes);
  ExpectEveryValue(memory);
  RecordReader file = RecordReader::OpenFile(WriteFile("values.bin", bytes));
  ExpectEveryValue(file);
}

TEST(RecordStream, FileReaderCrossesItsWindowAndSkipsBeyondIt) {
  // Texts and values that straddle the 16 KiB window, and a skip far beyond it.
  std::string bytes;
  RecordWriter w(bytes);
  const std::string big(40000, 'x');
  w.Text(std::string(16381, 'a'));
  w.U32(0x11223344);
  w.Text(big);
  w.Bytes(std::string(100000, '\0').data(), 100000);
  w.I32(77);
  RecordReader r = RecordReader::OpenFile(WriteFile("window.bin", bytes));
  EXPECT_EQ(r.Text().size(), 16381u);
  EXPECT_EQ(r.U32(), 0x11223344u);
  EXPECT_EQ(r.Text(), big);
  r.Skip(100000);
  EXPECT_EQ(r.I32(), 77);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_THROW(r.U8(), EReadError);
}

TEST(RecordStream, DamagedInputFailsWithReadErrorBeforeAllocating) {
  struct Case {
    const char* what;
    std::string bytes;
    int op;  // 0 text, 1 count of 8-byte items, 2 u32
  };
  const Case cases[] = {
      {"short integer", std::string("\x01\x02", 2), 2},
      {"negative text length", std::string("\xFF\xFF\xFF\xFF", 4), 0},
      {"huge text length",
       std::string("\xFF\xFF\xFF\x7F"
                   "abc",
                   7),
       0},
      {"text longer than the rest",
       std::string("\x05\x00\x00\x00"
                   "abcd",
                   8),
       0},
      {"negative count", std::string("\x00\x00\x00\x80", 4), 1},
      {"count beyond the rest",
       std::string("\x10\x00\x00\x00"
                   "12345678",
                   12),
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool fromFile : {false, true}) {
      RecordReader r = fromFile ? RecordReader::OpenFile(WriteFile("damaged.bin", c.bytes)) : RecordReader(c.bytes);
      const auto op = [&] {
        if (c.op == 0) r.Text();
        if (c.op == 1) r.Count(8);
        if (c.op == 2) r.U32();
      };
      EXPECT_THROW(op(), EReadError);
    }
  }
}

TEST(RecordStream, CountAcceptsWhatFitsAndReaderReportsMissingFile) {
  const std::string bytes(
      "\x02\x00\x00\x00"
      "12345678",
      12);
  RecordReader r(bytes);
  EXPECT_EQ(r.Count(4), 2u);
  EXPECT_THROW(RecordReader::OpenFile(test::TestRoot() + "/none.bin"), EReadError);
}

TEST(RecordStream, BufferedWriterHandsOverInFlushesAndKeepsTheBytes) {
  std::string sink;
  int flushes = 0;
  RecordWriter w(
      [&](std::string_view bytes) {
        sink.append(bytes);
        ++flushes;
      },
      64);
  for (int i = 0; i < 40; ++i) w.U32(static_cast<uint32_t>(i));
  w.FlushIfAbove(1000);  // below the threshold: nothing is handed over yet beyond full buffers
  const int before = flushes;
  w.Flush();
  EXPECT_EQ(flushes, before + 1);
  EXPECT_EQ(w.Written(), 160u);
  ASSERT_EQ(sink.size(), 160u);
  RecordReader r(sink);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(r.U32(), static_cast<uint32_t>(i));
}

}  // namespace
}  // namespace plb

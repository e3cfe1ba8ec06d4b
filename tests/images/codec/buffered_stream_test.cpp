#include "images/codec/buffered_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace plb {
namespace {

// A memory stream that counts the calls reaching it and can refuse writes beyond a limit.
class CountingStream : public TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    ++writes;
    if (limit >= 0) count = std::max<int64_t>(0, std::min(count, limit - Position()));
    return TMemoryStream::Write(buffer, count);
  }
  int64_t Read(void* buffer, int64_t count) override {
    ++reads;
    return TMemoryStream::Read(buffer, count);
  }
  int writes = 0;
  int reads = 0;
  int64_t limit = -1;
};

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

std::string ReadText(TStream& s, int64_t n) {
  std::string out(static_cast<size_t>(n), '\0');
  out.resize(static_cast<size_t>(s.Read(out.data(), n)));
  return out;
}

TEST(BufferedStream, RefusesBadSizesAndCounts) {
  TMemoryStream inner;
  for (int size : {0, -1}) {
    try {
      TBufferedStream bad(inner, size);
      FAIL() << "created with size " << size;
    } catch (const EBufferedSTreamError& e) {
      EXPECT_STREQ(e.ClassName(), "EBufferedSTreamError");
      EXPECT_EQ(e.Message(), "TBufferedStream.Create\r\n不正なバッファサイズ。");
    }
  }
  TBufferedStream s(inner, 16);
  char c;
  try {
    s.Read(&c, -1);
    FAIL();
  } catch (const EBufferedSTreamError& e) {
    EXPECT_EQ(e.Message(), "TBufferedStream.Read\r\nCountの指定が負です。");
  }
  try {
    s.Write(&c, -1);
    FAIL();
  } catch (const EBufferedSTreamError& e) {
    EXPECT_EQ(e.Message(), "TBufferedStream.Write\r\nCountの指定が負です。");
  }
}

TEST(BufferedStream, SeekToTheEndWhileWritingAppends) {
  // The thumbnail cache's pattern: seek to the end, write a header, copy the payload, repeat.
  TMemoryStream inner(Bytes("0123456789"));
  {
    TBufferedStream s(inner, 8);
    for (const char* record : {"AB", "CDE", "F"}) {
      s.Seek(0, TSeekOrigin::soEnd);
      s.WriteBuffer(record, static_cast<int64_t>(std::string(record).size()));
    }
    EXPECT_EQ(s.Size(), 16);
    EXPECT_EQ(s.Position(), 16);
    s.Flush();
  }
  EXPECT_EQ(std::string(inner.Bytes().begin(), inner.Bytes().end()), "0123456789ABCDEF");
}

TEST(BufferedStream, ModeChangesKeepThePosition) {
  TMemoryStream inner(Bytes("abcdefghijklmnopqrstuvwxyz"));
  TBufferedStream s(inner, 8);
  EXPECT_EQ(ReadText(s, 3), "abc");
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(inner.Position(), 8);  // read ahead a full buffer
  s.WriteBuffer("XY", 2);          // lands where reading stopped
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(ReadText(s, 2), "fg");  // flushes first, then reads after the written bytes
  EXPECT_EQ(std::string(inner.Bytes().begin(), inner.Bytes().begin() + 7), "abcXYfg");
  EXPECT_EQ(ReadText(s, 100), "hijklmnopqrstuvwxyz");
  EXPECT_EQ(ReadText(s, 5), "");  // at the end: nothing, and no error
}

TEST(BufferedStream, SeekToTheCurrentPositionDoesNotFlush) {
  CountingStream inner;
  TBufferedStream s(inner, 64);
  s.WriteBuffer("abc", 3);
  EXPECT_EQ(s.Seek(0, TSeekOrigin::soCurrent), 3);
  EXPECT_EQ(s.Seek(3, TSeekOrigin::soBeginning), 3);
  EXPECT_EQ(s.Seek(0, TSeekOrigin::soEnd), 3);
  EXPECT_EQ(inner.writes, 0);
  s.Seek(1, TSeekOrigin::soBeginning);
  EXPECT_EQ(inner.writes, 1);
}

TEST(BufferedStream, ReadsManySmallPiecesWithFewInnerReads) {
  std::vector<uint8_t> data(100000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  CountingStream inner;
  inner.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  inner.SetPosition(0);
  TBufferedStream s(inner, 16384);
  uint16_t v;
  for (size_t i = 0; i < data.size() / 2; ++i) s.ReadBuffer(&v, 2);
  EXPECT_LE(inner.reads, 8);
}

TEST(BufferedStream, WriteStopsWhenTheInnerStreamIsFull) {
  CountingStream inner;
  inner.limit = 10;
  TBufferedStream s(inner, 4);
  EXPECT_EQ(s.Write("0123456789abcdef", 16), 10);
  EXPECT_EQ(inner.Size(), 10);
  CountingStream small;
  small.limit = 2;
  TBufferedStream t(small, 8);
  EXPECT_EQ(t.Write("abc", 3), 3);  // still pending
  EXPECT_THROW(t.Flush(), EWriteError);
}

TEST(BufferedStream, BehavesLikeAPlainStreamUnderRandomOperations) {
  // The reference is an unbuffered memory stream given the same operations; every result and
  // the final bytes must agree. Small buffers make every boundary case frequent.
  for (int buffer_size : {1, 3, 16, 4096}) {
    std::mt19937 rng(static_cast<unsigned>(buffer_size));
    TMemoryStream reference;
    TMemoryStream inner;
    {
      TBufferedStream s(inner, buffer_size);
      for (int step = 0; step < 3000; ++step) {
        const int op = static_cast<int>(rng() % 6);
        const int64_t n = rng() % 40;
        SCOPED_TRACE("size " + std::to_string(buffer_size) + " step " + std::to_string(step));
        if (op <= 1) {
          std::vector<uint8_t> bytes(static_cast<size_t>(n));
          for (auto& b : bytes) b = static_cast<uint8_t>(rng());
          ASSERT_EQ(s.Write(bytes.data(), n), reference.Write(bytes.data(), n));
        } else if (op <= 3) {
          std::vector<uint8_t> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
          ASSERT_EQ(s.Read(a.data(), n), reference.Read(b.data(), n));
          ASSERT_EQ(a, b);
        } else if (op == 4) {
          const auto origin = static_cast<TSeekOrigin>(rng() % 3);
          const int64_t size = reference.Size();
          const int64_t pos = reference.Position();
          int64_t offset = origin == TSeekOrigin::soBeginning ? static_cast<int64_t>(rng() % (size + 1))
                           : origin == TSeekOrigin::soEnd     ? -static_cast<int64_t>(rng() % (size + 1))
                                                              : static_cast<int64_t>(rng() % (size + 1)) - pos;
          ASSERT_EQ(s.Seek(offset, origin), reference.Seek(offset, origin));
        } else {
          ASSERT_EQ(s.Position(), reference.Position());
          ASSERT_EQ(s.Size(), reference.Size());
        }
      }
      s.Flush();
    }
    EXPECT_EQ(std::vector<uint8_t>(inner.Bytes().begin(), inner.Bytes().end()),
              std::vector<uint8_t>(reference.Bytes().begin(), reference.Bytes().end()))
        << "buffer size " << buffer_size;
  }
}

TEST(BufferedStream, WorksOverARealFile) {
  const std::string path = test::TestRoot() + "/tmp/stream.bin";
  {
    TFileStream file(path, TFileStream::Mode::kCreate);
    TBufferedStream s(file, 16384);
    for (int i = 0; i < 10000; ++i) s.WriteBuffer(&i, sizeof i);
    s.Seek(0, TSeekOrigin::soBeginning);
    int first = -1;
    s.ReadBuffer(&first, sizeof first);
    EXPECT_EQ(first, 0);
    s.Seek(0, TSeekOrigin::soEnd);
    const int last = 10000;
    s.WriteBuffer(&last, sizeof last);
    s.Flush();
  }
  TFileStream file(path, TFileStream::Mode::kRead);
  EXPECT_EQ(file.Size(), 10001 * 4);
  TBufferedStream s(file, 16384);
  for (int i = 0; i <= 10000; ++i) {
    int v;
    s.ReadBuffer(&v, sizeof v);
    ASSERT_EQ(v, i);
  }
  EXPECT_THROW(TFileStream(path + ".missing", TFileStream::Mode::kRead), EFOpenError);
}

}  // namespace
}  // namespace plb

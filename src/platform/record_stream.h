#pragma once
// The one reader and writer of every stream record the program stores: little-endian integers and
// reals, date-times (a float64 day count), texts as a 32-bit byte length followed by UTF-8 bytes
// without terminator. Every length and count is checked against the bytes that remain before
// anything is allocated, so a damaged file ends in EReadError, never in a crash or a huge
// allocation.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_reader.h"
#include "platform/unique_fd.h"

namespace plb {

class RecordReader {
 public:
  // Reads from bytes held by the caller, who keeps them alive.
  explicit RecordReader(std::span<const uint8_t> bytes);
  explicit RecordReader(std::string_view bytes);
  // Reads a file of any size through a small window; EReadError when it cannot be opened.
  static RecordReader OpenFile(const std::string& path);

  RecordReader(RecordReader&&) noexcept;
  RecordReader& operator=(RecordReader&&) noexcept;
  ~RecordReader();

  uint64_t Position() const;
  uint64_t Remaining() const;
  bool AtEnd() const { return Remaining() == 0; }

  uint8_t U8() { return Window(1).U8(); }
  uint16_t U16() { return Window(2).U16(); }
  uint32_t U32() { return Window(4).U32(); }
  uint64_t U64() { return Window(8).U64(); }
  int16_t I16() { return Window(2).I16(); }
  int32_t I32() { return Window(4).I32(); }
  int64_t I64() { return Window(8).I64(); }
  float F32();
  double F64() { return Window(8).F64(); }
  // A date-time value: days since 1899-12-30 as a float64.
  double DateTime() { return F64(); }
  bool Bool() { return U8() != 0; }

  // The next 32-bit value without consuming it.
  uint32_t PeekU32();

  // Copies n bytes into out.
  void Read(void* out, uint64_t n);
  void Skip(uint64_t n);

  // A 32-bit byte length followed by that many bytes; a negative length or one beyond what
  // remains fails before anything is allocated.
  std::string Text();

  // A 32-bit count whose items (each at least min_item_bytes long) must fit in what remains.
  // Callers still must not reserve by it: a record may be longer than its minimum.
  uint32_t Count(uint64_t min_item_bytes);

  [[noreturn]] void Fail(const std::string& what) const;

 private:
  RecordReader() = default;
  // A reader positioned on at least n buffered bytes; fails when fewer remain.
  ByteReader& Window(uint64_t n);
  void Refill(uint64_t n);

  std::vector<uint8_t> buffer_;  // file mode: the window's bytes
  ByteReader window_{std::span<const uint8_t>()};
  platform::UniqueFd fd_;      // file mode only
  uint64_t window_start_ = 0;  // offset of the window's first byte in the whole input
  uint64_t total_size_ = 0;    // size of the whole input
};

class RecordWriter {
 public:
  // Receives the buffered bytes at each flush.
  using Sink = std::function<void(std::string_view)>;

  // Appends everything to out (flushes are immediate copies).
  explicit RecordWriter(std::string& out);
  // Buffers up to capacity bytes before handing them to sink.
  RecordWriter(Sink sink, size_t capacity);
  // Appends to an open file descriptor (not owned); EWriteError on failure.
  static Sink FdSink(int fd);

  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  // Does not flush: a failure there could not be reported. Call Flush().
  ~RecordWriter() = default;

  void U8(uint8_t v) { Put(&v, 1); }
  void U16(uint16_t v) { PutLE(v, 2); }
  void U32(uint32_t v) { PutLE(v, 4); }
  void U64(uint64_t v) { PutLE(v, 8); }
  void I16(int16_t v) { PutLE(static_cast<uint16_t>(v), 2); }
  void I32(int32_t v) { PutLE(static_cast<uint32_t>(v), 4); }
  void I64(int64_t v) { PutLE(static_cast<uint64_t>(v), 8); }
  void F32(float v);
  void F64(double v);
  void DateTime(double v) { F64(v); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void Bytes(const void* data, size_t n) { Put(data, n); }
  // A 32-bit byte length and the bytes; EWriteError for a text that does not fit in 31 bits.
  void Text(std::string_view text);

  // Bytes written so far, flushed or not.
  uint64_t Written() const { return written_; }
  size_t Buffered() const { return buffer_.size(); }
  // Hands the buffered bytes to the sink when more than threshold are waiting.
  void FlushIfAbove(size_t threshold);
  void Flush();

 private:
  void Put(const void* data, size_t n);
  void PutLE(uint64_t v, int n);

  std::string* direct_ = nullptr;
  Sink sink_;
  std::string buffer_;
  uint64_t written_ = 0;
};

}  // namespace plb

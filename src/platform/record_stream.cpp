#include "platform/record_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace plb {

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");

namespace {
// File reads go through a window of this size; a longer read widens it only as far as needed.
constexpr uint64_t kWindowBytes = 16384;
}  // namespace

RecordReader::RecordReader(std::span<const uint8_t> bytes) : window_(bytes), total_size_(bytes.size()) {}

RecordReader::RecordReader(std::string_view bytes)
    : RecordReader(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {}

RecordReader::RecordReader(RecordReader&&) noexcept = default;
RecordReader& RecordReader::operator=(RecordReader&&) noexcept = default;
RecordReader::~RecordReader() = default;

RecordReader RecordReader::OpenFile(const std::string& path) {
  RecordReader reader;
  reader.fd_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!reader.fd_ || ::fstat(reader.fd_.Get(), &st) != 0) {
    throw EReadError("Stream read error: cannot open " + path + " (" + std::strerror(errno) + ")");
  }
  if (!S_ISREG(st.st_mode)) throw EReadError("Stream read error: not a file: " + path);
  reader.total_size_ = static_cast<uint64_t>(st.st_size);
  return reader;
}

uint64_t RecordReader::Position() const {
  return window_start_ + window_.Position();
}

uint64_t RecordReader::Remaining() const {
  return total_size_ - Position();
}

ByteReader& RecordReader::Window(uint64_t n) {
  if (window_.Remaining() < n) Refill(n);
  return window_;
}

void RecordReader::Refill(uint64_t n) {
  if (!fd_ || n > Remaining()) Fail("read beyond the end");
  // Keep the unread tail of the window and read behind it.
  const uint64_t position = Position();
  const uint64_t kept = window_.Remaining();
  const uint64_t want = std::min<uint64_t>(std::max(kWindowBytes, n), Remaining());
  // The buffer is reused from window to window: a large file is read through one allocation.
  if (kept > 0 && window_.Position() > 0) {
    std::memmove(buffer_.data(), buffer_.data() + window_.Position(), static_cast<size_t>(kept));
  }
  if (buffer_.size() < want) buffer_.resize(static_cast<size_t>(want));
  window_ = ByteReader(std::span<const uint8_t>());
  uint64_t filled = kept;
  while (filled < want) {
    ssize_t got = ::pread(fd_.Get(), buffer_.data() + filled, static_cast<size_t>(want - filled),
                          static_cast<off_t>(position + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(std::string("read failed (") + std::strerror(errno) + ")");
    if (got == 0) break;  // the file shrank under us
    filled += static_cast<uint64_t>(got);
  }
  window_start_ = position;
  window_ = ByteReader(std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(filled)));
  if (filled < n) Fail("read beyond the end");
}

float RecordReader::F32() {
  uint32_t bits = U32();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t RecordReader::PeekU32() {
  ByteReader& w = Window(4);
  const uint64_t at = w.Position();
  uint32_t v = w.U32();
  w.Seek(at);
  return v;
}

void RecordReader::Read(void* out, uint64_t n) {
  if (n > Remaining()) Fail("read beyond the end");
  auto* dst = static_cast<uint8_t*>(out);
  while (n > 0) {
    const uint64_t chunk = std::min(n, kWindowBytes);
    auto bytes = Window(chunk).Bytes(chunk);
    std::memcpy(dst, bytes.data(), bytes.size());
    dst += chunk;
    n -= chunk;
  }
}

void RecordReader::Skip(uint64_t n) {
  if (n > Remaining()) Fail("skip beyond the end");
  if (n <= window_.Remaining()) {
    window_.Skip(n);
    return;
  }
  // Only a file reader gets here: drop the window and continue behind the skipped bytes.
  window_start_ = Position() + n;
  buffer_.clear();
  window_ = ByteReader(std::span<const uint8_t>());
}

std::string RecordReader::Text() {
  const int32_t n = I32();
  if (n < 0) Fail("negative text length");
  if (static_cast<uint64_t>(n) > Remaining()) Fail("text length beyond the end");
  std::string text(static_cast<size_t>(n), '\0');
  Read(text.data(), text.size());
  return text;
}

uint32_t RecordReader::Count(uint64_t min_item_bytes) {
  const int32_t n = I32();
  if (n < 0) Fail("negative count");
  uint64_t need;
  if (!CheckedMul(static_cast<uint64_t>(n), min_item_bytes, need) || need > Remaining()) {
    Fail("count beyond the end");
  }
  return static_cast<uint32_t>(n);
}

void RecordReader::Fail(const std::string& what) const {
  throw EReadError("Stream read error: " + what + " at offset " + std::to_string(Position()));
}

RecordWriter::RecordWriter(std::string& out) : direct_(&out) {}

RecordWriter::RecordWriter(Sink sink, size_t capacity) : sink_(std::move(sink)) {
  buffer_.reserve(capacity);
}

RecordWriter::Sink RecordWriter::FdSink(int fd) {
  return [fd](std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::write(fd, bytes.data(), bytes.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw EWriteError(std::string("Stream write error: ") + std::strerror(errno));
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  };
}

void RecordWriter::F32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  U32(bits);
}

void RecordWriter::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  U64(bits);
}

void RecordWriter::Text(std::string_view text) {
  if (text.size() > static_cast<size_t>(INT32_MAX)) throw EWriteError("Stream write error: text too long");
  U32(static_cast<uint32_t>(text.size()));
  Put(text.data(), text.size());
}

void RecordWriter::FlushIfAbove(size_t threshold) {
  if (buffer_.size() > threshold) Flush();
}

void RecordWriter::Flush() {
  if (direct_ || buffer_.empty()) return;
  sink_(buffer_);
  buffer_.clear();
}

void RecordWriter::Put(const void* data, size_t n) {
  written_ += n;
  if (direct_) {
    direct_->append(static_cast<const char*>(data), n);
    return;
  }
  // A record never waits for more than the buffer holds: flush first rather than grow.
  if (!buffer_.empty() && buffer_.size() + n > buffer_.capacity()) Flush();
  buffer_.append(static_cast<const char*>(data), n);
}

void RecordWriter::PutLE(uint64_t v, int n) {
  uint8_t bytes[8];
  for (int i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
  Put(bytes, static_cast<size_t>(n));
}

}  // namespace plb

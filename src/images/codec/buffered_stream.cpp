#include "images/codec/buffered_stream.h"

#include <algorithm>
#include <cstring>

#include "host/format.h"
#include "host/log_file.h"

namespace plb {
namespace {

[[noreturn]] void Fail(const char* operation, const char* message) {
  throw EBufferedSTreamError(Format("TBufferedStream.%s\r\n%s", operation, message));
}

}  // namespace

TBufferedStream::TBufferedStream(TStream& inner, int bufferSize) : inner_(inner) {
  if (bufferSize <= 0) Fail("Create", "不正なバッファサイズ。");
  buffer_.resize(static_cast<size_t>(bufferSize));
}

TBufferedStream::~TBufferedStream() {
  try {
    Flush();
  } catch (const std::exception& e) {
    // A destructor cannot report; writers that care have called Flush() already.
    LogException("TBufferedStream.Destroy", e);
  }
}

int64_t TBufferedStream::Read(void* buffer, int64_t count) {
  if (count < 0) Fail("Read", "Countの指定が負です。");
  if (mode_ != Mode::kReading) {
    LeaveMode();
    mode_ = Mode::kReading;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (index_ == count_) {
      const int64_t want = count - done;
      if (want >= static_cast<int64_t>(buffer_.size())) {
        // A large read goes straight to the caller's memory instead of through the buffer.
        const int64_t n = inner_.Read(out + done, want);
        count_ = index_ = 0;
        done += std::max<int64_t>(n, 0);
        break;
      }
      count_ = std::max<int64_t>(inner_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size())), 0);
      index_ = 0;
      if (count_ == 0) break;
    }
    const int64_t n = std::min(count - done, count_ - index_);
    std::memcpy(out + done, buffer_.data() + index_, static_cast<size_t>(n));
    index_ += n;
    done += n;
  }
  return done;
}

int64_t TBufferedStream::Write(const void* buffer, int64_t count) {
  if (count < 0) Fail("Write", "Countの指定が負です。");
  if (mode_ != Mode::kWriting) {
    LeaveMode();
    mode_ = Mode::kWriting;
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  const int64_t capacity = static_cast<int64_t>(buffer_.size());
  int64_t done = 0;
  while (done < count) {
    const int64_t n = std::min(count - done, capacity - count_);
    std::memcpy(buffer_.data() + count_, in + done, static_cast<size_t>(n));
    count_ += n;
    done += n;
    if (count_ == capacity) {
      const int64_t written = inner_.Write(buffer_.data(), count_);
      if (written < count_) {
        // The inner stream is full: what it refused of this call's bytes is not written.
        const int64_t refused = count_ - std::max<int64_t>(written, 0);
        count_ = 0;
        return std::max<int64_t>(done - refused, 0);
      }
      count_ = 0;
    }
  }
  return done;
}

int64_t TBufferedStream::CurrentPosition() {
  switch (mode_) {
    case Mode::kReading:
      return inner_.Position() - (count_ - index_);
    case Mode::kWriting:
      return inner_.Position() + count_;
    case Mode::kIdle:
      break;
  }
  return inner_.Position();
}

int64_t TBufferedStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t here = CurrentPosition();
  int64_t from = here;
  if (origin == TSeekOrigin::soBeginning) from = 0;
  // The end counts the bytes still pending: measured before a flush, the inner size would not
  // include them and a "seek to the end, append" would overwrite what was just written.
  if (origin == TSeekOrigin::soEnd) from = Size();
  int64_t target;
  if (__builtin_add_overflow(from, offset, &target) || target < 0) throw EStreamError("Stream seek error");
  if (target == here) return here;
  if (mode_ == Mode::kReading) {
    // A target inside the bytes already buffered is served from them: the marker walks skip
    // short segments and the TIFF scans jump between directories of one block.
    const int64_t buffer_start = here - index_;
    if (target >= buffer_start && target <= buffer_start + count_) {
      index_ = target - buffer_start;
      return target;
    }
  }
  LeaveMode();
  return inner_.Seek(target, TSeekOrigin::soBeginning);
}

int64_t TBufferedStream::Size() {
  const int64_t inner_size = inner_.Size();
  if (mode_ != Mode::kWriting) return inner_size;
  return std::max(inner_size, inner_.Position() + count_);
}

void TBufferedStream::SetSize(int64_t size) {
  LeaveMode();
  inner_.SetSize(size);
}

void TBufferedStream::Flush() {
  if (mode_ != Mode::kWriting || count_ == 0) return;
  const int64_t pending = count_;
  count_ = 0;
  if (inner_.Write(buffer_.data(), pending) != pending) throw EWriteError("Stream write error");
}

void TBufferedStream::LeaveMode() {
  if (mode_ == Mode::kWriting) {
    Flush();
  } else if (mode_ == Mode::kReading && count_ - index_ > 0) {
    inner_.Seek(-(count_ - index_), TSeekOrigin::soCurrent);
  }
  count_ = index_ = 0;
  mode_ = Mode::kIdle;
}

}  // namespace plb

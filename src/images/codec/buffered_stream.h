#pragma once
// A stream over another stream that turns many small reads and writes into few large ones: the
// JPEG marker walks and TIFF directory scans read two and four bytes at a time, the thumbnail
// cache writes records piecewise. The inner stream is not owned.
#include <cstdint>
#include <vector>

#include "images/codec/stream.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EBufferedSTreamError, Error);

class TBufferedStream : public TStream {
 public:
  // bufferSize <= 0 raises EBufferedSTreamError. The system uses kDefaultSize everywhere.
  static constexpr int kDefaultSize = 16384;
  TBufferedStream(TStream& inner, int bufferSize);
  // Writes what is pending; a failure here cannot be reported, so writers call Flush() first.
  ~TBufferedStream() override;
  TBufferedStream(const TBufferedStream&) = delete;
  TBufferedStream& operator=(const TBufferedStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Counts bytes still pending in the buffer.
  int64_t Size() override;
  void SetSize(int64_t size) override;

  // Writes pending bytes to the inner stream; EWriteError when it takes fewer.
  void Flush();

 private:
  enum class Mode { kIdle, kReading, kWriting };
  // Puts the inner stream where this stream's position is and empties the buffer.
  void LeaveMode();
  int64_t CurrentPosition();

  TStream& inner_;
  std::vector<uint8_t> buffer_;
  int64_t count_ = 0;  // valid bytes in the buffer (read: filled; write: pending)
  int64_t index_ = 0;  // next byte to serve while reading
  Mode mode_ = Mode::kIdle;
};

}  // namespace plb

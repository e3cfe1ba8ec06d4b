#pragma once
// The usage counters: per reporting period, how often and how long each main page was shown and
// how long each upload session took. One global item lives for the whole process and is kept in
// the log folder's "PLBLOG" file across runs; when the service names a new reporting period the
// counters of the old one are handed over as "<period id>.upl" for the log saver to send.
//
// Counter file (little-endian): uint32 version 40961; log URL and period id as uint32 byte count
// and bytes; float64 start time; three pages of int32 count and float64 time (days); uint32 number
// of upload records, each uint32 version 40961, int32 photo count, int32 seconds.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EPLBLogItemError, Error);
PLB_DECLARE_ERROR(EPLBUploadTimeItemError, Error);

inline constexpr uint32_t kPLBLogVersion = 40961;
inline constexpr int kPLBLogPageCount = 3;  // 0 service page, 1 library page, 2 BGM page
inline constexpr const char* kPLBLogFileName = "PLBLOG";
inline constexpr const char* kPLBLogUploadExt = ".upl";
// No counter file of ours comes near this; a bigger one is not read at all.
inline constexpr uint64_t kMaxPLBLogFileBytes = 4u << 20;

struct TPLBUploadTimeItem {
  int32_t photo_count = 0;
  int32_t seconds = 0;
  bool operator==(const TPLBUploadTimeItem&) const = default;
};

struct TUploadTimeRecord {
  int count = 0;
  int64_t total_seconds = 0;
  std::vector<int32_t> photo_counts;
  std::vector<int32_t> seconds;
};

class TPLBLogItem {
 public:
  using Clock = std::function<TDateTime()>;
  // clock gives "now" (tests inject one); the item starts reset.
  explicit TPLBLogItem(Clock clock = Now);

  // Start of the program: reset, then read folder/"PLBLOG" when it exists.
  void Initialize(const std::string& log_folder);
  // End of the program: write folder/"PLBLOG", replacing it.
  void Finalize();

  // The main window shows page (0 service page, 1 library page).
  void PageShown(int page);
  void SetLogUrl(const std::string& url);
  // A new id hands the old period over as "<old id>.upl" (see the header comment).
  void SetLogLongSessionId(const std::string& id);
  std::string LogLongSessionId() const;
  std::string LogUrl() const;
  TDateTime StartTime() const;
  std::string LogFolder() const;

  // An upload session ended; a count of 0 adds nothing.
  void Uploaded(int photo_count, int seconds);

  // Writes the counters to file (atomically); only when replace or when it does not exist.
  // True when written. Errors are logged, never raised.
  bool ExportDataToFile(const std::string& file, bool replace);
  // Resets and reads file; false when it does not exist or could not be read whole (what was
  // read before the fault stays, so a damaged file still gives what it holds). Never raises.
  bool InportDataFromFile(const std::string& file);

  int GetPageCount(int page) const;
  // Whole seconds of the page's time; 0 for a span that is not positive.
  int GetPageSecond(int page) const;
  TUploadTimeRecord GetUploadTimeRecord() const;

  // The encoded counters (the current page's time brought up to now first) and their reader,
  // which raises EPLBLogItemError / EPLBUploadTimeItemError / EReadError.
  std::string Encode();
  void Decode(const std::string& bytes);

  void Reset();

 private:
  void ResetLocked();
  void AccumulateLocked(TDateTime now);

  Clock clock_;
  mutable std::mutex lock_;
  std::string log_folder_;
  std::string log_url_;
  std::string log_long_session_id_;
  TDateTime start_time_ = 0;
  int current_page_ = 0;
  TDateTime last_switch_time_ = 0;
  int32_t page_counts_[kPLBLogPageCount] = {};
  TDateTime page_times_[kPLBLogPageCount] = {};
  std::vector<TPLBUploadTimeItem> uploads_;
};

// Whole seconds of a span of days: milliseconds dropped, 0 when not positive.
int SpanSeconds(TDateTime span);

// The program's one item (created on first use).
TPLBLogItem& PLBLogItem();

}  // namespace plb

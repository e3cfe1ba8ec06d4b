#include "service/logs/plb_log_item.h"

#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "host/log_file.h"
#include "platform/atomic_file.h"
#include "platform/byte_reader.h"
#include "platform/record_stream.h"
#include "service/logs/log_files.h"
#include "service/upload/service_path.h"

namespace plb {
namespace {

std::string VersionMessage(uint32_t version) {
  return "未対応のバージョン Ver = " + std::to_string(static_cast<int32_t>(version));
}

bool ValidPage(int page) { return page >= 0 && page < kPLBLogPageCount; }

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

int SpanSeconds(TDateTime span) {
  if (!(span > 0)) return 0;
  // Far beyond any real period: a damaged file must not overflow the conversion.
  const double ms = std::floor(span * 86400000.0 + 0.5);
  if (ms >= 2147483647000.0) return 2147483647;
  return static_cast<int>(static_cast<int64_t>(ms) / 1000);
}

TPLBLogItem::TPLBLogItem(Clock clock) : clock_(std::move(clock)) {
  std::lock_guard guard(lock_);
  ResetLocked();
}

void TPLBLogItem::Reset() {
  std::lock_guard guard(lock_);
  ResetLocked();
}

void TPLBLogItem::ResetLocked() {
  start_time_ = clock_();
  last_switch_time_ = start_time_;
  for (int page = 0; page < kPLBLogPageCount; ++page) {
    page_counts_[page] = 0;
    page_times_[page] = 0;
  }
  uploads_.clear();
}

void TPLBLogItem::AccumulateLocked(TDateTime now) {
  page_times_[current_page_] += now - last_switch_time_;
  last_switch_time_ = now;
}

void TPLBLogItem::Initialize(const std::string& log_folder) {
  try {
    {
      std::lock_guard guard(lock_);
      log_folder_ = WithoutTrailingDelimiter(log_folder);
      ResetLocked();
    }
    InportDataFromFile(LogFolder() + "/" + kPLBLogFileName);
  } catch (const std::exception& e) {
    LogFailure("TPLBLogItem.Initialize", e);
  }
}

void TPLBLogItem::Finalize() {
  try {
    const std::string folder = LogFolder();
    if (folder.empty()) return;
    ExportDataToFile(folder + "/" + kPLBLogFileName, true);
  } catch (const std::exception& e) {
    LogFailure("TPLBLogItem.Finalize", e);
  }
}

void TPLBLogItem::PageShown(int page) {
  if (!ValidPage(page)) return;
  std::lock_guard guard(lock_);
  if (page != current_page_) {
    AccumulateLocked(clock_());
    current_page_ = page;
  }
  ++page_counts_[page];
}

void TPLBLogItem::SetLogUrl(const std::string& url) {
  std::lock_guard guard(lock_);
  log_url_ = url;
}

void TPLBLogItem::SetLogLongSessionId(const std::string& id) {
  std::string old_id;
  std::string folder;
  {
    std::lock_guard guard(lock_);
    if (id == log_long_session_id_) return;
    old_id = log_long_session_id_;
    folder = log_folder_;
  }
  // The old period leaves the process once: written only when no file of that name waits yet,
  // and only then does the counting start afresh. The id comes from the service, so it is made a
  // harmless file name first.
  if (!old_id.empty() && !folder.empty()) {
    const std::string file = folder + "/" + ServicePathComponent(old_id) + kPLBLogUploadExt;
    if (ExportDataToFile(file, false)) Reset();
  }
  std::lock_guard guard(lock_);
  log_long_session_id_ = id;
}

std::string TPLBLogItem::LogLongSessionId() const {
  std::lock_guard guard(lock_);
  return log_long_session_id_;
}

std::string TPLBLogItem::LogUrl() const {
  std::lock_guard guard(lock_);
  return log_url_;
}

TDateTime TPLBLogItem::StartTime() const {
  std::lock_guard guard(lock_);
  return start_time_;
}

std::string TPLBLogItem::LogFolder() const {
  std::lock_guard guard(lock_);
  return log_folder_;
}

void TPLBLogItem::Uploaded(int photo_count, int seconds) {
  try {
    if (photo_count == 0) return;
    std::lock_guard guard(lock_);
    uploads_.push_back({photo_count, seconds});
  } catch (const std::exception& e) {
    LogFailure("TPLBLogItem.Uploaded", e);
  }
}

std::string TPLBLogItem::Encode() {
  std::lock_guard guard(lock_);
  AccumulateLocked(clock_());
  std::string bytes;
  RecordWriter out(bytes);
  out.U32(kPLBLogVersion);
  out.Text(log_url_);
  out.Text(log_long_session_id_);
  out.F64(start_time_);
  for (int page = 0; page < kPLBLogPageCount; ++page) {
    out.I32(page_counts_[page]);
    out.F64(page_times_[page]);
  }
  out.U32(static_cast<uint32_t>(uploads_.size()));
  for (const TPLBUploadTimeItem& upload : uploads_) {
    out.U32(kPLBLogVersion);
    out.I32(upload.photo_count);
    out.I32(upload.seconds);
  }
  out.Flush();
  return bytes;
}

void TPLBLogItem::Decode(const std::string& bytes) {
  ByteReader in({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  // Every value goes into the item as soon as it is read, so a file cut short still gives what
  // it holds up to the fault.
  const uint32_t version = in.U32();
  if (version != kPLBLogVersion) throw EPLBLogItemError(VersionMessage(version));
  std::string url = in.LengthPrefixedText();
  std::string id = in.LengthPrefixedText();
  {
    std::lock_guard guard(lock_);
    log_url_ = std::move(url);
    log_long_session_id_ = std::move(id);
  }
  const TDateTime start = in.F64();
  {
    std::lock_guard guard(lock_);
    start_time_ = std::isfinite(start) ? start : 0;
  }
  for (int page = 0; page < kPLBLogPageCount; ++page) {
    const int32_t count = in.I32();
    const double time = in.F64();
    std::lock_guard guard(lock_);
    page_counts_[page] = count;
    page_times_[page] = std::isfinite(time) ? time : 0;
  }
  const uint32_t records = in.Count(12);
  for (uint32_t i = 0; i < records; ++i) {
    const uint32_t record_version = in.U32();
    if (record_version != kPLBLogVersion) throw EPLBUploadTimeItemError(VersionMessage(record_version));
    TPLBUploadTimeItem upload;
    upload.photo_count = in.I32();
    upload.seconds = in.I32();
    std::lock_guard guard(lock_);
    uploads_.push_back(upload);
  }
}

bool TPLBLogItem::ExportDataToFile(const std::string& file, bool replace) {
  try {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    if (!replace && FileExists(file)) return false;
    WriteFileAtomically(file, Encode());
    return true;
  } catch (const std::exception& e) {
    LogFailure("TPLBLogItem.ExportDataToFile", file, e);
    return false;
  }
}

bool TPLBLogItem::InportDataFromFile(const std::string& file) {
  try {
    if (!FileExists(file)) return false;
    Reset();
    const std::optional<std::string> bytes = ReadLogFile(file, kMaxPLBLogFileBytes);
    if (!bytes) throw EPLBLogItemError("cannot read the file, or it is too large");
    Decode(*bytes);
    return true;
  } catch (const std::exception& e) {
    LogFailure("TPLBLogItem.InportDataFromFile", file, e);
    return false;
  }
}

int TPLBLogItem::GetPageCount(int page) const {
  if (!ValidPage(page)) return 0;
  std::lock_guard guard(lock_);
  return page_counts_[page];
}

int TPLBLogItem::GetPageSecond(int page) const {
  if (!ValidPage(page)) return 0;
  std::lock_guard guard(lock_);
  return SpanSeconds(page_times_[page]);
}

TUploadTimeRecord TPLBLogItem::GetUploadTimeRecord() const {
  std::lock_guard guard(lock_);
  TUploadTimeRecord record;
  record.count = static_cast<int>(uploads_.size());
  for (const TPLBUploadTimeItem& upload : uploads_) {
    record.total_seconds += upload.seconds;
    record.photo_counts.push_back(upload.photo_count);
    record.seconds.push_back(upload.seconds);
  }
  return record;
}

TPLBLogItem& PLBLogItem() {
  static TPLBLogItem item;
  return item;
}

}  // namespace plb

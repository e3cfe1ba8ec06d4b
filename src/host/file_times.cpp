// File times as local date-times, and the last-write time of a file.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "host/file_functions.h"
#include "host/format.h"

namespace plb {
namespace {

[[noreturn]] void RaiseCannotOpen(std::string_view utility, const std::string& path) {
  RaiseFileFunctionsError(utility, EFileFunctionsError(Format("ファイルのオープンに失敗しました。( %s )", path)));
}

timespec LastWriteTime(std::string_view utility, const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) RaiseCannotOpen(utility, path);
  return st.st_mtim;
}

}  // namespace

TDateTime FileTimeToDateTimeEx(const timespec& file_time) {
  return UnixTimeToDateTime(file_time.tv_sec, file_time.tv_nsec);
}

bool DateTimeToFileTimeEx(TDateTime value, timespec& file_time) {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  const bool ok = DateTimeToUnixTime(value, seconds, nanoseconds);
  file_time.tv_sec = static_cast<time_t>(seconds);
  file_time.tv_nsec = static_cast<long>(nanoseconds);
  return ok;
}

// Only the time is read: opening the file for writing, as a time query once did, fails on
// read-only files and media for no gain.
TDateTime GetFileUpdateDateTime(const std::string& path) {
  return FileTimeToDateTimeEx(LastWriteTime("GetFileUpdateDateTime", path));
}

TDateTime SetFileUpdateDateTime(const std::string& path, TDateTime value) {
  constexpr std::string_view kUtility = "SetFileUpdateDateTime";
  if (!(value > 0)) return 0;
  timespec times[2] = {{0, UTIME_OMIT}, {}};
  if (!DateTimeToFileTimeEx(value, times[1]))
    RaiseFileFunctionsError(kUtility, EConvertError("Invalid argument to date encode"));
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) RaiseCannotOpen(kUtility, path);
  return FileTimeToDateTimeEx(LastWriteTime(kUtility, path));
}

}  // namespace plb

#include "host/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "host/format.h"
#include "host/log_cleanup.h"

namespace plb {
namespace {

constexpr std::string_view kRule60 = "////////////////////////////////////////////////////////////";
constexpr std::string_view kRule41 = "-----------------------------------------";

// The one writer of the process. A function-local static, so that it exists during static
// initialisation and late shutdown alike.
struct LogWriter {
  std::mutex lock;
  int fd = -1;
  std::string path;
};

LogWriter& Writer() {
  static LogWriter writer;
  return writer;
}

// Appends the whole text with the fewest writes the kernel allows (one for any entry of sane size).
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string DefaultLogFileName(TDateTime time) {
  return FormatDateTime("yyyymmmdd-hhnnss.zzz", time, EnglishDateWords()) + ".log";
}

std::string LogTimeStamp(TDateTime time) {
  return FormatDateTime("yyyy/mm/dd hh:nn:ss.zzz", time);
}

std::string ProcessCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& c : raw)
    if (c == '\0') c = ' ';
  return raw;
}

void OpenLog(const std::string& folder, const std::string& name) {
  if (!IsFolder(folder)) return;
  CleanUpLogFolder(folder);
  // A named log is opened again by every run that uses it: it is kept small the same way.
  if (!name.empty()) RotateAppendedLog(folder, name);
  const TDateTime now = Now();
  const std::string path = folder + "/" + (name.empty() ? DefaultLogFileName(now) : name);
  const std::string start =
      Format("\r\n\r\n%s\r\n%s\r\nSTART\r\n%s\r\n", kRule60, LogTimeStamp(now), ProcessCommandLine());

  LogWriter& writer = Writer();
  std::lock_guard<std::mutex> hold(writer.lock);
  if (writer.fd >= 0) close(writer.fd);
  writer.fd = -1;
  writer.path.clear();
  // Appending keeps every write at the end even if something else appends to the file.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) throw EFCreateError(Format("Cannot create file \"%s\". %s", path, std::strerror(errno)));
  writer.fd = fd;
  writer.path = path;
  WriteAll(fd, start);
}

void CloseLog() {
  const std::string end = Format("%s\r\n%s\r\nEND\r\n%s\r\n", kRule41, LogTimeStamp(Now()), kRule60);
  LogWriter& writer = Writer();
  std::lock_guard<std::mutex> hold(writer.lock);
  if (writer.fd < 0) return;
  WriteAll(writer.fd, end);
  close(writer.fd);
  writer.fd = -1;
  writer.path.clear();
}

void WriteLog(std::string_view message) {
  if (message.empty()) return;
  // Formatted before the lock is taken: two threads' entries may land in the file in the
  // opposite order of their time stamps, but neither waits for the other's formatting.
  const std::string entry = Format("%s\r\n%s\r\n%s\r\n", kRule41, LogTimeStamp(Now()), message);
  LogWriter& writer = Writer();
  std::lock_guard<std::mutex> hold(writer.lock);
  if (writer.fd >= 0) WriteAll(writer.fd, entry);
}

std::string LogFilePath() {
  LogWriter& writer = Writer();
  std::lock_guard<std::mutex> hold(writer.lock);
  return writer.path;
}

namespace {

// Writes the entry made by text; a report must never become a new error in the code that is
// handling the first one.
template <typename MakeText>
void LogQuietly(MakeText&& text) noexcept {
  try {
    WriteLog(text());
  } catch (...) {
    // The log is where failures are told: one in telling (no memory for the text, a full disk)
    // has nowhere left to go.
  }
}

}  // namespace

void LogException(const std::exception& e) noexcept {
  LogQuietly([&] { return Format("%s Raised. ( %s )", ClassNameOf(e), MessageOf(e)); });
}

void LogException(std::string_view context, const std::exception& e) noexcept {
  LogQuietly([&] { return Format("%s : %s Raised ( %s )", context, ClassNameOf(e), MessageOf(e)); });
}

void LogFailure(std::string_view operation, const std::exception& e) noexcept {
  LogQuietly([&] { return Format("%s is Failed. ( %s Raised ( %s ) )", operation, ClassNameOf(e), MessageOf(e)); });
}

void LogFailure(std::string_view operation, std::string_view detail, const std::exception& e) noexcept {
  LogQuietly([&] { return Format("%s : %s Raised ( %s ; %s )", operation, ClassNameOf(e), MessageOf(e), detail); });
}

}  // namespace plb

#include "progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace plb::cli {
namespace {

// A terminal repaints no faster than the eye reads; more would only cost time.
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

int TerminalColumns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

// The text cut to fit in columns, at a character boundary, since a line that wrapped could not be
// redrawn in place; every character outside ASCII is taken as two columns wide, which may cut a
// little early but never late. Control characters (a file name may hold any) become "?", so no
// name can move the cursor or talk to the terminal.
std::string Fitted(const std::string& text, int columns) {
  std::string out;
  int used = 0;
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) != 0x80) {  // the first byte of a character
      used += c < 0x80 ? 1 : 2;
      if (used > columns) break;
    }
    out += c < 0x20 || c == 0x7F ? '?' : ch;
  }
  return out;
}

}  // namespace

ProgressLine::ProgressLine(std::string command)
    : command_(std::move(command)),
      terminal_(::isatty(STDERR_FILENO) == 1),
      columns_(terminal_ ? TerminalColumns() : 80) {}

ProgressLine::~ProgressLine() {
  Clear();
}

bool ProgressLine::Due() const {
  return terminal_ && (!drawnOnce_ || std::chrono::steady_clock::now() - last_ >= kRedrawInterval);
}

void ProgressLine::Show(const std::string& text) {
  if (!Due()) return;
  last_ = std::chrono::steady_clock::now();
  drawnOnce_ = true;
  // Erase to the end of the line after the text: a shorter text leaves nothing of a longer one.
  const std::string line = Fitted("plb " + command_ + ": " + text, columns_ - 1);
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

std::string CountText(uint64_t done, uint64_t total) {
  const int percent = total ? static_cast<int>(done * 100 / total) : 100;
  return std::to_string(done) + " of " + std::to_string(total) + " (" + std::to_string(percent) + "%)";
}

}  // namespace plb::cli

#pragma once
// How far a long command has got, as one line on stderr that is redrawn in place and wiped when
// the command ends or prints something else, so results and messages read as they would without
// it. Off a terminal (a pipe, a log file) it shows nothing at all.
#include <chrono>
#include <string>

namespace plb::cli {

class ProgressLine {
 public:
  // command: the subcommand's name; the line reads "plb COMMAND: TEXT".
  explicit ProgressLine(std::string command);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // True when a new text would be drawn now: on a terminal, and a moment after the last one.
  // Lets a caller skip making a text that would not be shown.
  bool Due() const;
  // Draws the text when Due().
  void Show(const std::string& text);
  // Wipes the line; call it before printing anything else. The next Show draws it again.
  void Clear();

 private:
  const std::string command_;
  const bool terminal_;
  const int columns_;
  bool shown_ = false;
  bool drawnOnce_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// "done of total (P%)".
std::string CountText(uint64_t done, uint64_t total);

}  // namespace plb::cli

#pragma once
// How the window's commands talk to the user: questions, error and information boxes, choosing
// a folder, typing a name or a number. Each is a function so that tests answer them without
// showing a modal box; Default() gives the real boxes.
#include <QString>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace plb {
class TEditExifDateFormSimple;
}

namespace plb::shell {

struct TActionBoxes {
  // A yes/no question (after the question beep); true for yes.
  std::function<bool(const QString& text)> ask;
  // An error (after the error beep).
  std::function<void(const QString& text)> error;
  std::function<void(const QString& text)> information;
  // A folder on disk; empty when the user cancelled.
  std::function<QString(const QString& caption, const QString& start)> chooseFolder;
  // A line of text; nothing when the user cancelled.
  std::function<std::optional<QString>(const QString& label, const QString& text)> inputText;
  std::function<std::optional<int>(const QString& label, int value, int minimum, int maximum)> inputNumber;
  // The shooting-date dialog over its logic, current being the first photo's date; true on OK.
  std::function<bool(TEditExifDateFormSimple& logic, double current)> editDate;
  // Runs a dialog that does its own work (the copy and move dialog); its result code.
  std::function<int(QDialog& dialog)> run;

  static TActionBoxes Default(QWidget* parent);
};

}  // namespace plb::shell

#pragma once
// The dialogs of the start sequence as Qt message boxes.
//
// For unattended runs (tests of the real program) the environment variable
// PLB_UNATTENDED_DIALOGS names a file: every dialog is then appended to it as one line
// "<dialog>\t<caption>\t<text>" instead of being shown, and answered as if closed at once.
#include <string>

#include "host/start_sequence.h"

namespace plb::shell {

class QtStartUi : public IStartUi {
 public:
  // open_help_page opens the start-error help page (the start-error dialog's link and button).
  explicit QtStartUi(std::function<void()> open_help_page);

  void ShowStillRunningWarning(const std::string& text) override;
  void ShowStartError(const std::string& caption, const std::string& text) override;
  void ShowBootErrorForm() override;
  void SetApplicationTitle(const std::string& title) override;

  // Records an unattended dialog; false when dialogs are to be shown.
  static bool RecordUnattended(const char* dialog, const std::string& caption, const std::string& text);

 private:
  std::function<void()> open_help_page_;
};

}  // namespace plb::shell

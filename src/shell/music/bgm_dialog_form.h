#pragma once
// The music dialog a service page asks for when a book is made: the user picks a song for the
// book, or closes the dialog without one.
#include <QDialog>
#include <string>

namespace plb::shell {

class TBgmUploadPanel;

class TBgmDialogForm : public QDialog {
  Q_OBJECT
 public:
  TBgmDialogForm(const std::string& plumora_id, QWidget* parent = nullptr);

  // The command the service's answer names (empty when the user closed the dialog or nothing
  // was sent).
  const std::string& NextCommand() const { return next_command_; }
  TBgmUploadPanel* Panel() const { return panel_; }
  // Closing while a song is sent cancels the sending first; the dialog closes after it.
  void reject() override;

 private:
  TBgmUploadPanel* panel_ = nullptr;
  std::string next_command_;
};

}  // namespace plb::shell

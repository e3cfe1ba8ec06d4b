#pragma once
// A small modal message box that shows an HTML page above its buttons. The page closes it with the
// command "mode=closedialog" through its "plb_command" frame.
#include <QDialog>
#include <string>

class QPushButton;
class QWidget;

namespace plb::shell {

class TFramePlumoraHome;

// Button flags: bit 0 "はい(&Y)", else bit 2 "OK" as the first button; bit 1 "いいえ(&N)", else
// bit 3 "Cancel" as the second; 0 shows no button panel.
enum THtmlDialogButtons : int {
  hdbYes = 1,
  hdbNo = 2,
  hdbOk = 4,
  hdbCancel = 8,
};

class THtmlDialogForm : public QDialog {
  Q_OBJECT
 public:
  // Shows url in a client area of width × height plus the button panel.
  THtmlDialogForm(const QString& caption, const std::string& url, int width, int height, int buttons,
                  QWidget* parent = nullptr);

  QPushButton* FirstButton() const { return first_; }
  QPushButton* SecondButton() const { return second_; }
  QWidget* ButtonPanel() const { return panel_; }
  TFramePlumoraHome* Home() const { return home_; }

  // The question box: caption "<title> アップデートの確認"; yes for OK and Yes, and always when it has
  // no buttons.
  static bool AskQuestion(const QString& title, const std::string& url, int width, int height, int buttons,
                          QWidget* parent = nullptr);
  // The notice box: caption title, a beep, no answer.
  static void ShowNotice(const QString& title, const std::string& url, int width, int height, int buttons,
                         QWidget* parent = nullptr);

 private:
  void OnCommand(const std::string& command);

  TFramePlumoraHome* home_ = nullptr;
  QWidget* panel_ = nullptr;
  QPushButton* first_ = nullptr;
  QPushButton* second_ = nullptr;
};

}  // namespace plb::shell

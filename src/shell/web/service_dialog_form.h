#pragma once
// The web dialog of the "startdialog" command: a modal window whose only content is a web home.
// Its page commands the program like the service page; the owner closes it with Close().
#include <QDialog>
#include <functional>
#include <string>

namespace plb::shell {

class TFramePlumoraHome;

class TServiceDialogForm : public QDialog {
  Q_OBJECT
 public:
  explicit TServiceDialogForm(const QString& title, QWidget* parent = nullptr);

  // Sets the client size (only sizes > 0), the one-shot load-failure handler and the address,
  // and shows the dialog modal to its parent without blocking; an open dialog only changes.
  void Open(const std::string& url, int width, int height, std::function<void(int)> on_navigate_error);
  // Closes with the result OK.
  void Close();
  TFramePlumoraHome* Home() const { return home_; }

  static constexpr int kDesignWidth = 564;
  static constexpr int kDesignHeight = 417;

 signals:
  // A command of the dialog's page (see TFramePlumoraHome::commandReceived).
  void commandReceived(const std::string& command);

 private:
  TFramePlumoraHome* home_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// The dialog shown when the program could not start: an apology, a link to the help page and
// two buttons. The link acts like the first button.
#include <QDialog>
#include <functional>

namespace plb::shell {

class TBootErrorForm : public QDialog {
  Q_OBJECT
 public:
  // open_help_page is called when the user asks for the help page (button or link).
  explicit TBootErrorForm(std::function<void()> open_help_page, QWidget* parent = nullptr);

 private:
  std::function<void()> open_help_page_;
};

}  // namespace plb::shell

#include "shell/start/qt_start_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <fstream>

#include "shell/start/boot_error_form.h"

namespace plb::shell {
namespace {
// "\r\n" in the texts is for the platform's message boxes; Qt shows "\n" only.
QString ForDisplay(const std::string& text) {
  return QString::fromUtf8(text.c_str()).remove(QChar('\r'));
}
}  // namespace

QtStartUi::QtStartUi(std::function<void()> open_help_page) : open_help_page_(std::move(open_help_page)) {}

bool QtStartUi::RecordUnattended(const char* dialog, const std::string& caption, const std::string& text) {
  const char* path = std::getenv("PLB_UNATTENDED_DIALOGS");
  if (!path || !*path) return false;
  std::ofstream out(path, std::ios::app | std::ios::binary);
  out << dialog << '\t' << caption << '\t' << text << '\n';
  return true;
}

void QtStartUi::ShowStillRunningWarning(const std::string& text) {
  QApplication::beep();
  if (RecordUnattended("warning", QApplication::applicationDisplayName().toStdString(), text)) return;
  QMessageBox::information(nullptr, QApplication::applicationDisplayName(), ForDisplay(text));
}

void QtStartUi::ShowStartError(const std::string& caption, const std::string& text) {
  QApplication::beep();
  if (RecordUnattended("error", caption, text)) return;
  QMessageBox::critical(nullptr, QString::fromStdString(caption), ForDisplay(text));
}

void QtStartUi::ShowBootErrorForm() {
  QApplication::beep();
  if (RecordUnattended("boot-error", "Plumora Browser 起動エラー", "")) return;
  TBootErrorForm form(open_help_page_);
  form.exec();
}

void QtStartUi::SetApplicationTitle(const std::string& title) {
  QApplication::setApplicationDisplayName(QString::fromStdString(title));
}

}  // namespace plb::shell

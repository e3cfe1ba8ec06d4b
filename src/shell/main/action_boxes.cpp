#include "shell/main/action_boxes.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

#include "shell/dialogs/exif_date_form.h"

namespace plb::shell {
namespace {

// The engine's texts use CR LF line ends.
QString ForDisplay(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString Caption(QWidget* parent) {
  return parent ? parent->window()->windowTitle() : QApplication::applicationDisplayName();
}

}  // namespace

TActionBoxes TActionBoxes::Default(QWidget* parent) {
  TActionBoxes boxes;
  boxes.ask = [parent](const QString& text) {
    return QMessageBox::question(parent, Caption(parent), ForDisplay(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  boxes.error = [parent](const QString& text) { QMessageBox::critical(parent, Caption(parent), ForDisplay(text)); };
  boxes.information = [parent](const QString& text) {
    QMessageBox::information(parent, Caption(parent), ForDisplay(text));
  };
  boxes.chooseFolder = [parent](const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start);
  };
  boxes.inputText = [parent](const QString& label, const QString& text) -> std::optional<QString> {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, Caption(parent), label, QLineEdit::Normal, text, &ok);
    if (!ok) return std::nullopt;
    return answer;
  };
  boxes.inputNumber = [parent](const QString& label, int value, int minimum, int maximum) -> std::optional<int> {
    bool ok = false;
    const int answer = QInputDialog::getInt(parent, Caption(parent), label, value, minimum, maximum, 1, &ok);
    if (!ok) return std::nullopt;
    return answer;
  };
  boxes.run = [](QDialog& dialog) { return dialog.exec(); };
  boxes.editDate = [parent](TEditExifDateFormSimple& logic, double current) {
    TEditExifDateForm form(logic, current, parent);
    return form.exec() == QDialog::Accepted;
  };
  return boxes;
}

}  // namespace plb::shell

#include "shell/web/html_dialog_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "service/commands/command_csv.h"
#include "shell/web/frame_plumora_home.h"
#include "shell/web/service_dialog_form.h"

namespace plb::shell {

THtmlDialogForm::THtmlDialogForm(const QString& caption, const std::string& url, int width, int height,
                                 int buttons, QWidget* parent)
    : QDialog(parent) {
  setObjectName("THtmlDialogForm");
  setWindowTitle(caption);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  home_ = new TFramePlumoraHome(this);
  // The page's area as asked; a size that is not positive keeps the web dialog's design size.
  home_->setFixedSize(width > 0 ? width : TServiceDialogForm::kDesignWidth,
                      height > 0 ? height : TServiceDialogForm::kDesignHeight);
  layout->addWidget(home_);

  panel_ = new QWidget(this);
  auto* row = new QHBoxLayout(panel_);
  row->addStretch();
  first_ = new QPushButton(panel_);
  second_ = new QPushButton(panel_);
  row->addWidget(first_);
  row->addWidget(second_);
  row->addStretch();
  if (buttons & hdbYes) {
    first_->setText(QStringLiteral("はい(&Y)"));
  } else if (buttons & hdbOk) {
    first_->setText(QStringLiteral("OK"));
  } else {
    first_->hide();
  }
  if (buttons & hdbNo) {
    second_->setText(QStringLiteral("いいえ(&N)"));
  } else if (buttons & hdbCancel) {
    second_->setText(QStringLiteral("Cancel"));
  } else {
    second_->hide();
  }
  connect(first_, &QPushButton::clicked, this, &QDialog::accept);
  connect(second_, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(panel_);
  panel_->setVisible(buttons != 0);
  first_->setDefault(true);

  connect(home_, &TFramePlumoraHome::commandReceived, this, &THtmlDialogForm::OnCommand);
  home_->Start();
  home_->LoadExact(url);
}

void THtmlDialogForm::OnCommand(const std::string& command) {
  try {
    const auto mode = FindItem(ParseCommandCSV(command), "mode");
    if (mode && AsciiEqualsNoCase(*mode, "closedialog")) accept();
  } catch (const std::exception& e) {
    LogException("THtmlDialogForm.WebMessageBeforeNavigate2", e);
  }
}

bool THtmlDialogForm::AskQuestion(const QString& title, const std::string& url, int width, int height, int buttons,
                                  QWidget* parent) {
  THtmlDialogForm box(title + QStringLiteral(" アップデートの確認"), url, width, height, buttons, parent);
  // Closing the box by its page (closedialog) or by OK and Yes answers yes.
  const int result = box.exec();
  return buttons == 0 || result == QDialog::Accepted;
}

void THtmlDialogForm::ShowNotice(const QString& title, const std::string& url, int width, int height, int buttons,
                                 QWidget* parent) {
  THtmlDialogForm box(title, url, width, height, buttons, parent);
  QApplication::beep();
  box.exec();
}

}  // namespace plb::shell

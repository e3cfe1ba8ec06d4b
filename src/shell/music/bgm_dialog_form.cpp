#include "shell/music/bgm_dialog_form.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/music/bgm_upload_panel.h"

namespace plb::shell {

TBgmDialogForm::TBgmDialogForm(const std::string& plumora_id, QWidget* parent) : QDialog(parent) {
  setObjectName("TBgmDialogForm");
  setWindowTitle(QStringLiteral("プルモラの音楽"));
  resize(520, 420);
  panel_ = new TBgmUploadPanel(this);
  panel_->SetBook(plumora_id);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel_, 1);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &TBgmDialogForm::reject);
  connect(panel_, &TBgmUploadPanel::busyChanged, buttons,
          [buttons](bool busy) { buttons->button(QDialogButtonBox::Close)->setEnabled(!busy); });
  connect(panel_, &TBgmUploadPanel::uploaded, this, [this](const QString& command) {
    next_command_ = command.toStdString();
    accept();
  });
}

void TBgmDialogForm::reject() {
  // Closing while the song is sent would leave the book half told: cancel first, close after.
  if (panel_->Busy()) {
    panel_->CancelUpload();
    return;
  }
  QDialog::reject();
}

}  // namespace plb::shell

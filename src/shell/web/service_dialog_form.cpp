#include "shell/web/service_dialog_form.h"

#include <QVBoxLayout>

#include "host/log_file.h"
#include "shell/web/frame_plumora_home.h"

namespace plb::shell {

TServiceDialogForm::TServiceDialogForm(const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("TServiceDialogForm");
  setWindowTitle(title);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  home_ = new TFramePlumoraHome(this);
  layout->addWidget(home_);
  resize(kDesignWidth, kDesignHeight);
  connect(home_, &TFramePlumoraHome::commandReceived, this, &TServiceDialogForm::commandReceived);
}

void TServiceDialogForm::Open(const std::string& url, int width, int height,
                              std::function<void(int)> on_navigate_error) {
  if (width > 0 || height > 0) resize(width > 0 ? width : this->width(), height > 0 ? height : this->height());
  home_->SetNavigateErrorHandler(std::move(on_navigate_error));
  home_->Start();
  try {
    home_->Navigate(url);
  } catch (const std::exception& e) {
    LogException("TServiceDialogForm.Open", e);
  }
  if (isVisible()) return;
  if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
  show();
}

void TServiceDialogForm::Close() {
  home_->Stop();
  done(QDialog::Accepted);
}

}  // namespace plb::shell

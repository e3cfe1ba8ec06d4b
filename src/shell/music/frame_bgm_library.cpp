#include "shell/music/frame_bgm_library.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/music/bgm_upload_panel.h"

namespace plb::shell {

TFrameBgmLibrary::TFrameBgmLibrary(QWidget* parent) : QWidget(parent) {
  setObjectName("TFrameBgmLibrary");
  auto* title = new QLabel(QStringLiteral("音楽ライブラリ"), this);
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  title->setFont(big);
  back_ = new QPushButton(QStringLiteral("写真ライブラリへ戻る"), this);
  panel_ = new TBgmUploadPanel(this);
  auto* head = new QHBoxLayout;
  head->addWidget(title, 1);
  head->addWidget(back_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(panel_, 1);
  connect(back_, &QPushButton::clicked, this, &TFrameBgmLibrary::backRequested);
  connect(panel_, &TBgmUploadPanel::uploaded, this, &TFrameBgmLibrary::uploaded);
  // No way out of the page while its music is being sent.
  connect(panel_, &TBgmUploadPanel::busyChanged, back_, [this](bool busy) { back_->setEnabled(!busy); });
}

void TFrameBgmLibrary::ShowFor(const std::string& plumora_id) {
  if (!panel_->Busy()) panel_->Rescan();
  panel_->SetBook(plumora_id);
}

}  // namespace plb::shell

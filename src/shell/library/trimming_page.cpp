#include "shell/library/trimming_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "host/log_file.h"
#include "images/effects/effect_panels.h"
#include "images/scale/picture_render.h"

namespace plb::shell {
namespace {

constexpr int kPreviewSide = 240;

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TFrameTrimmingPage::TFrameTrimmingPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TrimmingPage");
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName("TrimmingTitle");
  title_->setWordWrap(true);
  view_ = new QLabel(this);
  view_->setObjectName("TrimmingPreview");
  view_->setAlignment(Qt::AlignCenter);
  view_->setMinimumSize(kPreviewSide, kPreviewSide);
  aspect_ = new QComboBox(this);
  aspect_->setObjectName("ComboAspect");
  for (size_t i = 0; i < AspectPresets().size(); ++i) aspect_->addItem(Utf8(AspectPresetText(static_cast<int>(i))));
  trim_ = new QPushButton(QStringLiteral("写真を切り抜く"), this);
  trim_->setObjectName("TrimmingOn");
  undo_ = new QPushButton(QStringLiteral("切り抜きを解除する"), this);
  undo_->setObjectName("TrimmingOff");
  layout->addWidget(title_);
  layout->addWidget(view_);
  layout->addWidget(aspect_);
  layout->addWidget(trim_);
  layout->addWidget(undo_);
  layout->addStretch(1);
  connect(aspect_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (showing_ || !item_ || !ChooseAspectPreset(*item_, index)) return;
    DrawPreview();
    emit trimmingChanged(item_);
  });
  for (QPushButton* button : {trim_, undo_}) {
    const bool on = button == trim_;
    connect(button, &QPushButton::clicked, this, [this, on] {
      if (!item_ || !SwitchTrimming(*item_, on)) return;
      ShowItem(item_);
      emit trimmingChanged(item_);
    });
  }
  ShowItem(nullptr);
}

void TFrameTrimmingPage::ShowItem(TCatalogItem* item) {
  showing_ = true;
  const bool reload = item != item_ || picture_.isNull();
  item_ = nullptr;
  const bool movie = item && item->Kind() == fkMovie;
  if (!item) {
    title_->setText(QStringLiteral("（写真が選択されていません。）"));
  } else if (movie) {
    title_->setText(QStringLiteral("動画は切り抜くことができません。"));
  } else if (item->Unavailable() || item->Kind() == fkSound) {
    title_->setText(QStringLiteral("この写真は切り抜くことができません。"));
  } else {
    item_ = item;
    PrepareTrimming(*item_);
    title_->setText(Utf8(item_->FileName()) +
                    (item_->TrimmingInForce() ? QStringLiteral("（切り抜き中）") : QString()));
  }
  if (reload) picture_ = QImage();
  if (item_ && picture_.isNull()) {
    try {
      TRenderRequest request;
      request.file_name = item_->FullPath();
      request.kind = item_->Kind();
      request.max_width = kPreviewSide;
      request.max_height = kPreviewSide;
      request.orientation = item_->Orientation();
      Bitmap bitmap = RenderPicture(request);
      if (!bitmap.Empty()) {
        const QImage::Format format = bitmap.Channels() == 4 ? QImage::Format_ARGB32 : QImage::Format_BGR888;
        picture_ = QImage(bitmap.Row(0), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.Stride()),
                          format)
                       .copy();
      }
    } catch (const std::exception& e) {
      LogFailure("TFrameTrimmingPage.Preview", e);
    }
  }
  const bool on = item_ != nullptr;
  aspect_->setEnabled(on);
  trim_->setEnabled(on && !item_->TrimmingInForce());
  undo_->setEnabled(on && item_->TrimmingInForce());
  if (on) aspect_->setCurrentIndex(AspectPresetIndexOf(item_->Block().aspectX, item_->Block().aspectY));
  DrawPreview();
  showing_ = false;
}

QString TFrameTrimmingPage::StatusText() const {
  return title_->text();
}

void TFrameTrimmingPage::DrawPreview() {
  if (!item_ || picture_.isNull()) {
    preview_ = QImage();
    view_->clear();
    return;
  }
  preview_ = picture_.convertToFormat(QImage::Format_RGB32);
  const TTrimRect r = item_->DisplayedTrimRect(preview_.width(), preview_.height());
  if (r.right > r.left && r.bottom > r.top) {
    QPainter p(&preview_);
    const QRect frame(r.left, r.top, r.right - r.left, r.bottom - r.top);
    // What falls outside the frame is dimmed.
    QRegion outside(preview_.rect());
    outside -= QRegion(frame);
    p.setClipRegion(outside);
    p.fillRect(preview_.rect(), QColor(0, 0, 0, 140));
    p.setClipping(false);
    p.setPen(QPen(Qt::white, 1, Qt::DashLine));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
  }
  view_->setPixmap(QPixmap::fromImage(preview_));
}

}  // namespace plb::shell

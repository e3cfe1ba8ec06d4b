#include "shell/library/trimming_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "host/log_file.h"
#include "images/effects/effect_panels.h"
#include "images/scale/picture_render.h"
#include "shell/library/trim_frame_view.h"
#include "shell/qt_text.h"

namespace plb::shell {
namespace {

constexpr int kPreviewSide = 240;

}  // namespace

TFrameTrimmingPage::TFrameTrimmingPage(QWidget* parent) : QWidget(parent) {
  setObjectName("TrimmingPage");
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName("TrimmingTitle");
  title_->setWordWrap(true);
  view_ = new TTrimFrameView(this);
  view_->setMinimumSize(kPreviewSide + 8, kPreviewSide + 8);
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
  connect(view_, &TTrimFrameView::frameChanged, this, &TFrameTrimmingPage::FramePlaced);
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
        picture_ =
            QImage(bitmap.Row(0), bitmap.Width(), bitmap.Height(), static_cast<qsizetype>(bitmap.Stride()), format)
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
    view_->SetPicture(QImage());
    view_->SetFrame({});
    view_->setEnabled(false);
    return;
  }
  view_->setEnabled(true);
  view_->SetPicture(picture_);
  const TTrimRect r = item_->DisplayedTrimRect(picture_.width(), picture_.height());
  view_->SetFrame(r.right > r.left && r.bottom > r.top ? QRect(r.left, r.top, r.right - r.left, r.bottom - r.top)
                                                       : QRect());
  // Fixed proportions (a preset other than free size) are kept while the frame is sized by hand;
  // they are stored for the picture as stored, so a turned picture shows them turned.
  const TCatalogItemBlock block = item_->Block();
  double aspect = 0;
  if (block.aspectX > 0 && block.aspectY > 0) {
    aspect = OrientationSwapsSides(item_->Orientation()) ? static_cast<double>(block.aspectY) / block.aspectX
                                                         : static_cast<double>(block.aspectX) / block.aspectY;
  }
  view_->SetAspect(aspect);
  preview_ = view_->Rendered();
}

void TFrameTrimmingPage::FramePlaced(const QRect& frame) {
  if (!item_ || picture_.isNull()) return;
  const TTrimRect shown{frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
  if (!PlaceTrimFrame(*item_, shown, picture_.width(), picture_.height())) return;
  DrawPreview();
  emit trimmingChanged(item_);
}

}  // namespace plb::shell

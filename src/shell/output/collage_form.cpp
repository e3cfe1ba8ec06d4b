#include "shell/output/collage_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "host/log_file.h"
#include "output/collage/collage_sizes.h"
#include "platform/special_folders.h"

namespace plb::shell {

TFrameCollage::TFrameCollage(std::vector<TCatalogItem*> items, int quality, QWidget* parent)
    : QDialog(parent), quality_(quality) {
  setObjectName("TFrameCollage");
  setWindowTitle(QStringLiteral("コラージュ"));
  for (TCatalogItem* item : items)
    if (item && !item->Unavailable() && item->Kind() != fkMovie && item->Kind() != fkSound) items_.push_back(item);
  auto* layout = new QHBoxLayout(this);
  auto* panel = new QGridLayout;
  style_ = new QComboBox(this);
  style_->setObjectName("ComboType");
  for (int s = 0; s < kCollageStyles; ++s) style_->addItem(QStringLiteral("　") + QString::fromStdString(CollageStyleName(s)));
  size_ = new QComboBox(this);
  size_->setObjectName("ComboSize");
  for (int p = 0; p < kCollageSizeKinds; ++p) {
    const int kind = CollageMenuKind(p);
    size_->addItem(QString::fromStdString(CollageSizeName(kind)), kind);
  }
  size_->setCurrentIndex(CollageDefaultKind());
  cols_ = new QSpinBox(this);
  cols_->setObjectName("SpinCols");
  rows_ = new QSpinBox(this);
  rows_->setObjectName("SpinRows");
  for (QSpinBox* s : {cols_, rows_}) {
    s->setRange(1, 16);
    s->setValue(3);
  }
  frame_ = new QCheckBox(QStringLiteral("写真に枠を付ける"), this);
  space_ = new QCheckBox(QStringLiteral("写真の間隔を開ける"), this);
  portrait_ = new QCheckBox(QStringLiteral(" 縦"), this);
  fixedMain_ = new QCheckBox(QStringLiteral("メイン画像を固定"), this);
  int row = 0;
  panel->addWidget(style_, row++, 0, 1, 4);
  panel->addWidget(new QLabel(QStringLiteral("横"), this), row, 0);
  panel->addWidget(cols_, row, 1);
  panel->addWidget(new QLabel(QStringLiteral("X   縦"), this), row, 2);
  panel->addWidget(rows_, row++, 3);
  panel->addWidget(frame_, row++, 0, 1, 4);
  panel->addWidget(space_, row++, 0, 1, 4);
  panel->addWidget(fixedMain_, row++, 0, 1, 4);
  panel->addWidget(size_, row++, 0, 1, 4);
  panel->addWidget(portrait_, row++, 0, 1, 4);
  auto* remake = new QPushButton(QStringLiteral("再作成"), this);
  remake->setToolTip(QStringLiteral("コラージュを再作成します。"));
  save_ = new QPushButton(QStringLiteral("コラージュの保存"), this);
  save_->setObjectName("BtnSaveImage");
  panel->addWidget(remake, row++, 0, 1, 4);
  panel->addWidget(save_, row++, 0, 1, 4);
  state_ = new QLabel(this);
  panel->addWidget(state_, row++, 0, 1, 4);
  panel->setRowStretch(row, 1);
  layout->addLayout(panel);
  preview_ = new QLabel(this);
  preview_->setObjectName("PreviewBox");
  preview_->setMinimumSize(480, 360);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setStyleSheet(QStringLiteral("background: #404040"));
  layout->addWidget(preview_, 1);

  connect(style_, &QComboBox::currentIndexChanged, this, [this](int s) {
    TCollageSettings defaults;
    cols_->blockSignals(true);
    rows_->blockSignals(true);
    cols_->setValue(defaults.columns[s]);
    rows_->setValue(defaults.rows[s]);
    cols_->blockSignals(false);
    rows_->blockSignals(false);
    fixedMain_->setText(s == 2 ? QStringLiteral("背景画像を固定") : QStringLiteral("メイン画像を固定"));
    Remake();
  });
  for (QSpinBox* s : {cols_, rows_}) connect(s, &QSpinBox::valueChanged, this, &TFrameCollage::Remake);
  for (QCheckBox* c : {frame_, space_, portrait_}) connect(c, &QCheckBox::toggled, this, &TFrameCollage::Render);
  connect(size_, &QComboBox::currentIndexChanged, this, &TFrameCollage::Render);
  connect(remake, &QPushButton::clicked, this, &TFrameCollage::Remake);
  connect(save_, &QPushButton::clicked, this, &TFrameCollage::AcSaveImage);
  Remake();
}

TFrameCollage::~TFrameCollage() { Cancel(); }

void TFrameCollage::Cancel() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  cancel_ = false;
}

TCollageSettings TFrameCollage::Settings() const {
  TCollageSettings s;
  s.style = static_cast<uint8_t>(style_->currentIndex());
  s.columns[s.style] = cols_->value();
  s.rows[s.style] = rows_->value();
  s.frameOn[s.style] = frame_->isChecked() || s.frameOn[s.style];
  s.spacingOn[s.style] = space_->isChecked();
  s.sizeKind = static_cast<uint8_t>(size_->currentData().toInt());
  s.portrait = s.sizeKind >= 4 && portrait_->isChecked();
  s.fixedMainImage = fixedMain_->isChecked();
  s.freeWidth = 1600;
  s.freeHeight = 1200;
  return s;
}

void TFrameCollage::Remake() {
  Cancel();
  layout_ = SetupTargetItems(items_, Settings(), main_, random_);
  main_ = layout_.main;
  Render();
}

void TFrameCollage::Render() {
  Cancel();
  const TCollageSettings settings = Settings();
  const TCollageLayout layout = layout_;
  const int generation = ++generation_;
  making_ = true;
  save_->setEnabled(false);
  save_->setToolTip(QStringLiteral("コラージュを作成しています。今しばらくお待ち下さい。"));
  state_->setText(QStringLiteral("コラージュを作成しています..."));
  worker_ = std::thread([this, settings, layout, generation] {
    Bitmap bitmap;
    try {
      bitmap = RenderCollage(layout, settings, [this] { return cancel_.load(); });
    } catch (const std::exception& e) {
      LogFailure("TCollageMaker.DoWork", e);
    }
    if (cancel_) return;
    QMetaObject::invokeMethod(this, [this, generation, bitmap = std::move(bitmap)]() mutable {
      if (generation != generation_) return;
      bitmap_ = std::move(bitmap);
      picture_ = bitmap_.Empty() ? QImage()
                                 : QImage(bitmap_.Pixel(0, 0), bitmap_.Width(), bitmap_.Height(),
                                          static_cast<qsizetype>(bitmap_.Stride()), QImage::Format_BGR888)
                                       .copy();
      preview_->setPixmap(QPixmap::fromImage(picture_).scaled(preview_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
      making_ = false;
      save_->setEnabled(!picture_.isNull());
      save_->setToolTip(QStringLiteral("作成したコラージュをJPEG形式で保存します。"));
      state_->clear();
      emit rendered();
    }, Qt::QueuedConnection);
  });
}

QString TFrameCollage::SaveTo(const QString& folder) {
  if (making_ || bitmap_.Empty()) return {};
  try {
    return QString::fromStdString(SaveCollage(bitmap_, Settings(), folder.toStdString(), "Collage.jpg", quality_));
  } catch (const std::exception& e) {
    LogFailure("SaveImageAsJpeg", e);
    return {};
  }
}

void TFrameCollage::AcSaveImage() {
  const QString folder =
      QString::fromStdString(platform::SpecialFolderPath(platform::SpecialFolder::kPictures)) + "/PLB_Collage";
  const QString path = SaveTo(folder);
  if (path.isEmpty()) QMessageBox::warning(this, windowTitle(), QStringLiteral("コラージュを保存できませんでした。"));
  else QMessageBox::information(this, windowTitle(), path);
}

}  // namespace plb::shell

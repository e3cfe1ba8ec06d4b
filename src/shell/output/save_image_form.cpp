#include "shell/output/save_image_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "engine/model/catalog_item.h"
#include "images/scale/picture_render.h"
#include "images/scale/resize.h"
#include "output/save/photo_save.h"

namespace plb::shell {

namespace {
// The last size choice of the process: keep the photo's size.
bool& KeepSizeChoice() {
  static bool keep = true;
  return keep;
}
}  // namespace

TSaveImageForm::TSaveImageForm(TCatalogItem* item, int quality, int previewSize, QWidget* parent)
    : QDialog(parent), item_(item), quality_(quality) {
  setObjectName("TSaveImageForm");
  setWindowTitle(QStringLiteral("別名で保存"));
  const TSize size = DisplayedSaveSize(*item_);
  w_ = size.cx, h_ = size.cy;
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("　　保存するサイズを設定してください。"), this);
  title->setStyleSheet(QStringLiteral("font-weight: bold; padding: 8px"));
  layout->addWidget(title);
  auto* preview = new QLabel(this);
  preview->setAlignment(Qt::AlignCenter);
  try {
    TRenderRequest request;
    request.file_name = item_->FullPath();
    request.kind = item_->Kind();
    request.max_width = request.max_height = previewSize;
    request.orientation = item_->Orientation();
    request.adjustment = item_->Color();
    const Bitmap picture = RenderPicture(request);
    preview->setPixmap(QPixmap::fromImage(QImage(picture.Pixel(0, 0), picture.Width(), picture.Height(),
                                                 static_cast<qsizetype>(picture.Stride()), QImage::Format_BGR888)
                                              .copy()
                                              .scaled(previewSize / 2, previewSize / 2, Qt::KeepAspectRatio)));
  } catch (const std::exception&) {
    preview->setText(QString::fromStdString(item_->FileName()));
  }
  layout->addWidget(preview);
  auto* form = new QFormLayout;
  current_ = new QLabel(QStringLiteral("%1 x %2").arg(w_).arg(h_), this);
  form->addRow(QStringLiteral("保存する写真のサイズ　（幅 x 高さ）"), current_);
  keep_ = new QRadioButton(QStringLiteral("写真のサイズを変更しない"), this);
  resize_ = new QRadioButton(QStringLiteral("写真のサイズを変更する"), this);
  (KeepSizeChoice() ? keep_ : resize_)->setChecked(true);
  form->addRow(keep_);
  form->addRow(resize_);
  width_ = new QSpinBox(this);
  height_ = new QSpinBox(this);
  // An unknown size cannot be fitted: the boxes then allow the whole range.
  const TSize most = w_ > 0 && h_ > 0 ? FitInside(8000, 8000, w_, h_) : TSize{8000, 8000};
  width_->setRange(8, std::max(8, most.cx));
  height_->setRange(8, std::max(8, most.cy));
  width_->setValue(w_);
  height_->setValue(h_);
  aspect_ = new QCheckBox(QStringLiteral("縦横比を保持する"), this);
  aspect_->setChecked(true);
  form->addRow(width_, height_);
  form->addRow(aspect_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &TSaveImageForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  const auto enable = [this] {
    const bool resizing = resize_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{width_, height_, aspect_}) w->setEnabled(resizing);
    current_->setEnabled(!resizing);
  };
  connect(resize_, &QRadioButton::toggled, this, enable);
  connect(width_, &QSpinBox::valueChanged, this, [this] { Linked(true); });
  connect(height_, &QSpinBox::valueChanged, this, [this] { Linked(false); });
  enable();
}

void TSaveImageForm::Linked(bool fromWidth) {
  if (guard_ || !aspect_->isChecked() || !aspect_->isEnabled() || w_ <= 0 || h_ <= 0) return;
  guard_ = true;
  if (fromWidth) height_->setValue(FitInside(width_->value(), 8000, w_, h_).cy);
  else width_->setValue(FitInside(8000, height_->value(), w_, h_).cx);
  guard_ = false;
}

bool TSaveImageForm::SaveTo(const QString& path) {
  TSaveOptions options;
  options.resize = resize_->isChecked();
  options.width = width_->value();
  options.height = height_->value();
  options.keepAspect = aspect_->isChecked();
  options.quality = quality_;
  const std::string target = path.toStdString();
  std::error_code ec;
  const bool own = std::filesystem::equivalent(target, item_->FullPath(), ec);
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  bool saved = false;
  try {
    saved = SavePhoto(*item_, target, options, "TSaveImageForm");
  } catch (...) {
    QGuiApplication::restoreOverrideCursor();
    throw;
  }
  QGuiApplication::restoreOverrideCursor();
  if (saved && own) ResetEditsAfterOwnOverwrite(*item_);
  KeepSizeChoice() = keep_->isChecked();
  return saved;
}

void TSaveImageForm::accept() {
  const QString folder = QString::fromStdString(item_->FolderPath());
  const QString path = QFileDialog::getSaveFileName(this, windowTitle(), folder + QString::fromStdString(ProposedSaveName(*item_)),
                                                    QStringLiteral("JPEGファイル (*.jpg *.jpeg)"));
  if (path.isEmpty()) return;  // the dialog stays open
  SaveTo(path);
  QDialog::accept();
}

}  // namespace plb::shell

#include "shell/output/save_images_form.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"
#include "output/save/save_images_thread.h"
#include "output/save/save_names.h"
#include "output/save/save_targets.h"

namespace plb::shell {

namespace {
// The start folder of the process; never stored.
QString& StartFolder() {
  static QString folder;
  return folder;
}
}  // namespace

TSaveImagesForm::TSaveImagesForm(std::vector<TCatalogItem*> items, int quality, QWidget* parent)
    : TFolderWizard(parent), items_(std::move(items)), quality_(quality) {
  setObjectName("TSaveImagesForm");
  setWindowTitle(QStringLiteral("複数画像の保存"));
  AddPage(MakeFolderPage());

  auto* options = new QWidget(this);
  auto* optionsLayout = new QVBoxLayout(options);
  auto* sizeGroup = new QGroupBox(QStringLiteral("保存する写真のサイズ"), options);
  auto* sizeLayout = new QFormLayout(sizeGroup);
  keepSize_ = new QRadioButton(QStringLiteral("写真のサイズは変更しない"), sizeGroup);
  keepSize_->setChecked(true);
  resize_ = new QRadioButton(QStringLiteral("写真のサイズを変更する"), sizeGroup);
  width_ = new QSpinBox(sizeGroup);
  height_ = new QSpinBox(sizeGroup);
  for (QSpinBox* spin : {width_, height_}) {
    spin->setRange(8, 8000);
    spin->setValue(2048);
  }
  keepAspect_ = new QCheckBox(QStringLiteral("縦横比を保持する。"), sizeGroup);
  keepAspect_->setChecked(true);
  sizeLayout->addRow(keepSize_);
  sizeLayout->addRow(resize_);
  sizeLayout->addRow(width_, new QLabel(QStringLiteral("X"), sizeGroup));
  sizeLayout->addRow(height_);
  sizeLayout->addRow(keepAspect_);
  optionsLayout->addWidget(sizeGroup);
  auto* nameGroup = new QGroupBox(QStringLiteral("写真を保存する名前"), options);
  auto* nameLayout = new QFormLayout(nameGroup);
  commonName_ = new QLineEdit(QStringLiteral("Img"), nameGroup);
  commonName_->setObjectName("EditName");
  digits_ = new QSpinBox(nameGroup);
  digits_->setObjectName("SpinDigits");
  digits_->setRange(std::max(1, MinimumDigitCount(items_.size())), 8);
  digits_->setValue(std::max(3, digits_->minimum()));
  samples_ = new QLabel(nameGroup);
  samples_->setObjectName("LabelSamples");
  nameLayout->addRow(QStringLiteral("共通名"), commonName_);
  nameLayout->addRow(QStringLiteral("連番桁数"), digits_);
  nameLayout->addRow(QStringLiteral("保存される名前"), samples_);
  nameLayout->addRow(new QLabel(QStringLiteral("写真は [共通名]＋[連番] ＋ .jpg の形式で保存されます。"), nameGroup));
  optionsLayout->addWidget(nameGroup);
  AddPage(options);

  auto* confirm = new QWidget(this);
  confirm_ = new QLabel(confirm);
  confirm_->setObjectName("LabelConfirm");
  (new QVBoxLayout(confirm))->addWidget(confirm_);
  AddPage(confirm);

  auto* progress = new QWidget(this);
  auto* progressLayout = new QFormLayout(progress);
  source_ = new QLabel(progress);
  folder_ = new QLabel(progress);
  file_ = new QLabel(progress);
  bar_ = new QProgressBar(progress);
  progressLayout->addRow(QStringLiteral("元のファイル"), source_);
  progressLayout->addRow(QStringLiteral("保存フォルダ"), folder_);
  progressLayout->addRow(QStringLiteral("保存ファイル名"), file_);
  progressLayout->addRow(bar_);
  AddPage(progress);

  auto* done = new QWidget(this);
  auto* doneLayout = new QVBoxLayout(done);
  showLibrary_ = new QCheckBox(QStringLiteral("フォトライブラリで保存先のフォルダを表示する。"), done);
  showExplorer_ = new QCheckBox(QStringLiteral("エクスプローラで保存先のフォルダを表示する。"), done);
  doneLayout->addWidget(showLibrary_);
  doneLayout->addWidget(showExplorer_);
  doneLayout->addStretch();
  AddPage(done);

  connect(NextButton(), &QPushButton::clicked, this, &TSaveImagesForm::Next);
  connect(BackButton(), &QPushButton::clicked, this, &TSaveImagesForm::Back);
  connect(CancelButton(), &QPushButton::clicked, this, &TSaveImagesForm::Cancel);
  connect(resize_, &QRadioButton::toggled, this, &TSaveImagesForm::Refresh);
  connect(commonName_, &QLineEdit::textChanged, this, &TSaveImagesForm::Refresh);
  connect(digits_, &QSpinBox::valueChanged, this, &TSaveImagesForm::Refresh);

  SelectStartFolder(StartFolder());
  FolderChanged();
  Enter(TSFolder);
}

TSaveImagesForm::~TSaveImagesForm() {
  closing_ = true;
  if (worker_) worker_->Stop();
}

QString TSaveImagesForm::SampleNames() const {
  return QString::fromStdString(SampleSaveNames(commonName_->text().toStdString(), digits_->value()));
}

bool TSaveImagesForm::ShowInLibrary() const { return showLibrary_->isChecked(); }

void TSaveImagesForm::FolderChanged() {
  const QString folder = SelectedFolder();
  const QFileInfo info(folder);
  // The probe file shows that files can be made here.
  valid_ = false;
  if (info.isDir()) {
    QString probe = folder + "/TEST.TEST";
    for (int n = 1; QFileInfo::exists(probe); ++n) probe = folder + QStringLiteral("/TEST(%1).TEST").arg(n);
    QFile file(probe);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      valid_ = true;
      file.close();
      file.remove();
    }
  }
  Refresh();
}

void TSaveImagesForm::Refresh() {
  const int page = Page();
  const bool resizing = resize_->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{width_, height_, keepAspect_}) w->setEnabled(resizing);
  samples_->setText(SampleNames());
  BackButton()->setVisible(page == TSOptions || page == TSConfirm);
  CancelButton()->setVisible(page != TSDone);
  NextButton()->setVisible(page != TSProgress);
  const QString fault =
      QString::fromStdString(CommonNameFault(commonName_->text().toStdString(), digits_->value(), items_.size()));
  commonName_->setToolTip(fault);
  NextButton()->setEnabled(page == TSFolder ? valid_ : page == TSOptions ? fault.isEmpty() : page != TSProgress);
  NextButton()->setText(page == TSConfirm ? QStringLiteral("実行(&N)")
                        : page == TSDone  ? QStringLiteral("閉じる(&N)")
                                          : QStringLiteral("次へ(&N)"));
}

void TSaveImagesForm::Enter(int page) {
  static const char* const kTitles[] = {"写真を保存するフォルダを指定して下さい。", "写真を保存する条件を指定してください。",
                                        "下記条件で写真を保存します。", "写真を保存しています。"};
  ShowPage(page);
  if (page < TSDone) SetTitle(QString::fromUtf8(kTitles[page]));
  else SetTitle(QString::fromUtf8(completed_ ? kSaveCompletedTitle : kSaveAbortedTitle));
  if (page == TSConfirm) {
    const std::string size = SaveSizeText(resize_->isChecked(), width_->value(), height_->value(), keepAspect_->isChecked());
    confirm_->setText(QStringLiteral("保存先のフォルダ\t%1\n保存する名前\t%2\n保存するサイズ\t%3\n保存する写真の数\t%4 枚")
                          .arg(SelectedFolder(), SampleNames(), QString::fromStdString(size))
                          .arg(items_.size()));
  }
  Refresh();
  if (page == TSProgress) StartWorker();
}

bool TSaveImagesForm::AskOverwrite(const QString& text) {
  return QMessageBox::warning(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TSaveImagesForm::Next() {
  const int page = Page();
  if (page == TSDone) {
    if (showExplorer_->isChecked()) QDesktopServices::openUrl(QUrl::fromLocalFile(Destination()));
    accept();
    return;
  }
  if (page == TSOptions) {
    const std::string folder = SelectedFolder().toStdString(), name = commonName_->text().toStdString();
    // A target that is one of the photos being saved would be gone before it is read.
    if (!SourceReplacedBySave(folder, name, digits_->value(), items_).empty()) {
      QMessageBox::warning(this, windowTitle(), QString::fromUtf8(kSourceWouldBeReplaced).replace("\r\n", "\n"));
      return;
    }
    if (!FirstExistingSaveName(folder, name, digits_->value(), items_.size()).empty() &&
        !AskOverwrite(QString::fromUtf8(kOverwriteQuestion).replace("\r\n", "\n")))
      return;
  }
  if (page < TSDone) Enter(page + 1);
}

void TSaveImagesForm::Back() {
  if (Page() == TSOptions || Page() == TSConfirm) Enter(Page() - 1);
}

void TSaveImagesForm::Cancel() {
  if (Page() == TSProgress) {
    if (worker_) worker_->Terminate();
    return;
  }
  QDialog::reject();
}

void TSaveImagesForm::StartWorker() {
  if (worker_) worker_->Stop();
  worker_ = std::make_unique<TSaveImagesThread>();
  worker_->SetDestination(SelectedFolder().toStdString());
  worker_->SetItems(items_);
  worker_->SetCommonName(commonName_->text().toStdString(), digits_->value());
  TSaveOptions options;
  options.resize = resize_->isChecked();
  options.width = width_->value();
  options.height = height_->value();
  options.keepAspect = keepAspect_->isChecked();
  options.quality = quality_;
  worker_->SetOptions(options);
  processed_ = 0;
  bar_->setRange(0, static_cast<int>(items_.size()));
  bar_->setValue(0);
  for (QLabel* l : {source_, folder_, file_}) l->clear();
  worker_->SetItemSavedHandler([this](TCatalogItem* item, const std::string& path) {
    ++processed_;
    bar_->setValue(processed_);
    const QFileInfo saved(QString::fromStdString(path));
    source_->setText(QString::fromStdString(item->FullPath()));
    folder_->setText(saved.absolutePath());
    file_->setText(saved.fileName());
  });
  worker_->SetEndHandler([this] {
    if (closing_ || !worker_) return;
    worker_->WaitFor();
    completed_ = worker_->Completed();
    worker_.reset();
    Enter(TSDone);
  });
  worker_->Start();
}

}  // namespace plb::shell

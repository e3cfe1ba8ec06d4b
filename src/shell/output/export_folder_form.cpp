#include "shell/output/export_folder_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "engine/model/custom_folder.h"
#include "host/date_time.h"
#include "host/file_functions.h"
#include "output/export/export_folder_thread.h"
#include "output/export/export_names.h"

namespace plb::shell {

namespace {
QString& LastDestination() {
  static QString folder;
  return folder;
}
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TExportFolderFormEx::TExportFolderFormEx(TCustomFolder* root, TFolderTreeList* folders, QWidget* parent,
                                         TAlbumList* albums)
    : TFolderWizard(parent), root_(root), folders_(folders), albums_(albums) {
  setObjectName("TExportFolderFormEx");
  setWindowTitle(QStringLiteral("Plumora Browser"));
  AddPage(MakeFolderPage());
  auto* confirm = new QWidget(this);
  confirm_ = new QLabel(confirm);
  confirm_->setObjectName("LabelConfirm");
  (new QVBoxLayout(confirm))->addWidget(confirm_);
  AddPage(confirm);
  auto* progress = new QWidget(this);
  auto* progressLayout = new QFormLayout(progress);
  source_ = new QLabel(progress);
  destination_ = new QLabel(progress);
  bar_ = new QProgressBar(progress);
  bar_->setRange(0, 100);
  progressLayout->addRow(QStringLiteral("元のファイル"), source_);
  progressLayout->addRow(QStringLiteral("保存ファイル名"), destination_);
  progressLayout->addRow(bar_);
  AddPage(progress);
  auto* done = new QWidget(this);
  auto* doneLayout = new QVBoxLayout(done);
  results_ = new QLabel(done);
  results_->setObjectName("LabelResults");
  showExplorer_ = new QCheckBox(QStringLiteral("エクスプローラで出力先フォルダを表示する。"), done);
  doneLayout->addWidget(results_);
  doneLayout->addWidget(showExplorer_);
  doneLayout->addStretch();
  AddPage(done);
  connect(NextButton(), &QPushButton::clicked, this, &TExportFolderFormEx::Next);
  connect(BackButton(), &QPushButton::clicked, this, &TExportFolderFormEx::Back);
  connect(CancelButton(), &QPushButton::clicked, this, &TExportFolderFormEx::Cancel);

  if (root_) CountExportItems(root_, count_, bytes_);
  SelectStartFolder(LastDestination());
  FolderChanged();
  Enter(TSFolder);
}

TExportFolderFormEx::~TExportFolderFormEx() {
  closing_ = true;
  if (worker_) worker_->Stop();
}

QString TExportFolderFormEx::RootName() const { return root_ ? Q(root_->GetFullName()) : QString(); }

void TExportFolderFormEx::FolderChanged() {
  writable_ = FolderWritable(SelectedFolder());
  Refresh();
}

void TExportFolderFormEx::Refresh() {
  const int page = Page();
  BackButton()->setVisible(page == TSConfirm);
  CancelButton()->setVisible(page != TSDone);
  NextButton()->setVisible(page != TSProgress);
  NextButton()->setEnabled(page == TSFolder ? writable_ : page != TSProgress);
  NextButton()->setText(page == TSConfirm ? QStringLiteral("実行(&N)")
                        : page == TSDone  ? QStringLiteral("閉じる(&N)")
                                          : QStringLiteral("次へ(&N)"));
}

void TExportFolderFormEx::Enter(int page) {
  ShowPage(page);
  if (page == TSFolder) SetTitle(QStringLiteral("「%1」を出力するフォルダを指定して下さい。").arg(RootName()));
  if (page == TSConfirm) {
    SetTitle(QStringLiteral("「%1」を下記条件で写真を出力します。").arg(RootName()));
    confirm_->setText(QStringLiteral("出力元\t%1\n出力先\t%2\n出力する枚数\t%3\n出力する容量\t%4\n\n＊出力中は、他の操作ができなくなります。")
                          .arg(RootName(), SelectedFolder(), Q(FormatExportCount(count_)), Q(FormatExportSize(bytes_))));
  }
  if (page == TSProgress) {
    source_->clear();
    destination_->clear();
  }
  if (page == TSDone) {
    results_->setText(QStringLiteral("出力先フォルダ\t%1\n出力した枚数\t%2\n出力した容量\t%3")
                          .arg(output_, Q(FormatExportCount(copied_)), Q(FormatExportSize(copiedBytes_))));
    showExplorer_->setVisible(copied_ > 0);
  }
  Refresh();
  if (page == TSProgress) StartWorker();
}

int64_t TExportFolderFormEx::FreeBytes(const QString& folder) const {
  std::error_code ec;
  const auto space = std::filesystem::space(folder.toStdString(), ec);
  return ec ? 0 : static_cast<int64_t>(space.available);
}

void TExportFolderFormEx::Warn(const QString& text) { QMessageBox::warning(this, windowTitle(), text); }

bool TExportFolderFormEx::AskStop() {
  return QMessageBox::question(this, windowTitle(), QStringLiteral("出力を中止しますか？"), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void TExportFolderFormEx::Next() {
  switch (Page()) {
    case TSFolder: {
      const std::string folder = SelectedFolder().toStdString();
      if (!ExportFits(bytes_, FreeBytes(SelectedFolder()), IsOnSystemDrive(folder))) {
        Warn(Q(NotEnoughSpaceText(root_->GetName(), bytes_)).replace("\r\n", "\n"));
        return;
      }
      Enter(TSConfirm);
      return;
    }
    case TSConfirm:
      Enter(TSProgress);
      return;
    case TSDone:
      if (copied_ > 0 && showExplorer_->isChecked()) QDesktopServices::openUrl(QUrl::fromLocalFile(output_));
      accept();
      return;
    default:
      return;
  }
}

void TExportFolderFormEx::Back() {
  if (Page() == TSConfirm) Enter(TSFolder);
}

void TExportFolderFormEx::Cancel() {
  if (Page() == TSProgress) {
    if (worker_ && AskStop()) worker_->Terminate();
    return;
  }
  QDialog::reject();
}

void TExportFolderFormEx::StartWorker() {
  worker_ = std::make_unique<TExportFolderThreadEx>(folders_);
  TExportFolderThreadEx* worker = worker_.get();
  worker->SetExportDate(Now());
  worker->SetDestination(SelectedFolder().toStdString());
  worker->SetAlbumTypes(kExportAlbumTypes);
  worker->SetAlbums(albums_);
  worker->SetSourceNode(root_);
  worker->SetSynchronizeProgress(true);
  LastDestination() = SelectedFolder();
  worker->SetProgressHandler([this, worker](TOstraThreadBase* sender, uint8_t state, uint32_t total, int32_t position,
                                            int32_t) {
    if (closing_ || sender != worker_.get()) return;
    switch (state) {
      case psStarted:
        SetTitle(QStringLiteral("「%1」を出力しています。").arg(RootName()));
        bar_->setValue(0);
        bar_->show();
        break;
      case psProgressing:
        // The position alone: failed files are counted in it already.
        if (total >= 1) bar_->setValue(static_cast<int>(std::min<int64_t>(100, int64_t{position} * 100 / total)));
        break;
      case psCompleted:
        SetTitle(QStringLiteral("「%1」の出力が完了しました。").arg(RootName()));
        bar_->hide();
        break;
      case psCancelled:
        SetTitle(QStringLiteral("「%1」の出力は中止されました。").arg(RootName()));
        bar_->hide();
        QApplication::beep();
        break;
      default:
        SetTitle(QStringLiteral("「%1」の出力が失敗しました。").arg(RootName()));
        bar_->hide();
        QApplication::beep();
        break;
    }
    if (state >= psCompleted) {
      // The end: take the results once the worker's body has returned.
      QMetaObject::invokeMethod(this, [this, worker] {
        if (closing_ || worker != worker_.get()) return;
        worker_->WaitFor();
        output_ = Q(worker_->ResultFolder());
        copied_ = worker_->SuccessCount();
        copiedBytes_ = worker_->CopiedBytes();
        worker_.reset();
        Enter(TSDone);
        showNormal();
        raise();
        activateWindow();
      }, Qt::QueuedConnection);
    }
  });
  worker->SetFileProgressHandler([this](TExportFolderThreadEx*, const std::string& from, const std::string& to) {
    source_->setText(Q(from));
    destination_->setText(Q(to));
  });
  worker->Start();
}

}  // namespace plb::shell

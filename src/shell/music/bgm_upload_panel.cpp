#include "shell/music/bgm_upload_panel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "engine/model/file_kinds.h"
#include "platform/special_folders.h"
#include "service/upload/bgm_uploader.h"

namespace plb::shell {
namespace {

// A music folder can be large: the list shows the first files found, enough to choose from.
constexpr int kMaxListedFiles = 2000;

std::vector<std::string> SoundFilesIn(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  TExtItems kinds;
  kinds.Build(kMusicKinds);
  std::error_code error;
  if (folder.empty() || !fs::is_directory(folder, error)) return found;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end && static_cast<int>(found.size()) < kMaxListedFiles; it.increment(error)) {
    const TExtItem* kind = kinds.Find(it->path().extension().string());
    if (kind != nullptr && kind->kind == fkSound && it->is_regular_file(error)) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

TBgmUploadPanel::TBgmUploadPanel(QWidget* parent) : QWidget(parent) {
  target_ = new QLabel(this);
  target_->setWordWrap(true);
  files_ = new QListWidget(this);
  files_->setObjectName("BgmFiles");
  choose_ = new QPushButton(QStringLiteral("ファイルを選択..."), this);
  send_ = new QPushButton(QStringLiteral("プルモラに追加"), this);
  send_->setObjectName("BtnSendBgm");
  cancel_ = new QPushButton(QStringLiteral("中止"), this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  status_ = new QLabel(this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(choose_);
  buttons->addStretch(1);
  buttons->addWidget(send_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(target_);
  layout->addWidget(files_, 1);
  layout->addLayout(buttons);
  layout->addWidget(progress_);
  layout->addWidget(status_);

  connect(choose_, &QPushButton::clicked, this, &TBgmUploadPanel::ChooseFile);
  connect(send_, &QPushButton::clicked, this, &TBgmUploadPanel::StartUpload);
  connect(cancel_, &QPushButton::clicked, this, &TBgmUploadPanel::CancelUpload);
  connect(files_, &QListWidget::itemSelectionChanged, this, &TBgmUploadPanel::UpdateState);
  connect(files_, &QListWidget::itemActivated, this, &TBgmUploadPanel::StartUpload);
  show_message_ = [this](const QString& text) { QMessageBox::warning(this, window()->windowTitle(), text); };
  Rescan();
  SetBook({});
}

TBgmUploadPanel::~TBgmUploadPanel() {
  // The request in flight is dropped; its answer would reach a panel that is gone.
  CancelUpload();
  if (worker_.joinable()) worker_.join();
}

void TBgmUploadPanel::SetBook(const std::string& plumora_id) {
  book_ = plumora_id;
  target_->setText(book_.empty()
                       ? QStringLiteral("音楽を追加するプルモラがありません。サービスのページでプルモラを選んでください。")
                       : QStringLiteral("プルモラ「%1」に追加する音楽を選んでください。").arg(QString::fromStdString(book_)));
  UpdateState();
}

void TBgmUploadPanel::Rescan() {
  QStringList kept;
  for (int i = 0; i < files_->count(); ++i)
    if (files_->item(i)->data(Qt::UserRole + 1).toBool()) kept << files_->item(i)->data(Qt::UserRole).toString();
  files_->clear();
  const std::string folder = platform::SpecialFolderPath(platform::SpecialFolder::kMusic);
  for (const std::string& path : SoundFilesIn(folder)) {
    auto* item = new QListWidgetItem(QString::fromStdString(std::filesystem::path(path).filename().string()), files_);
    item->setData(Qt::UserRole, QString::fromStdString(path));
    item->setToolTip(QString::fromStdString(path));
  }
  for (const QString& path : kept) AddFile(path);
  status_->setText(files_->count() == 0 ? QStringLiteral("音楽フォルダに音楽ファイルがありません。") : QString());
  UpdateState();
}

void TBgmUploadPanel::AddFile(const QString& path) {
  auto* item = new QListWidgetItem(QFileInfo(path).fileName(), files_);
  item->setData(Qt::UserRole, path);
  item->setData(Qt::UserRole + 1, true);  // added by hand: kept over a rescan
  item->setToolTip(path);
  files_->setCurrentItem(item);
  status_->clear();
  UpdateState();
}

void TBgmUploadPanel::ChooseFile() {
  const QString folder = QString::fromStdString(platform::SpecialFolderPath(platform::SpecialFolder::kMusic));
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("音楽ファイルを選択"), folder,
                                                    QStringLiteral("音楽ファイル (*.mp3 *.MP3);;すべてのファイル (*)"));
  if (!path.isEmpty()) AddFile(path);
}

void TBgmUploadPanel::StartUpload() {
  QListWidgetItem* chosen = files_->currentItem();
  if (Busy() || book_.empty() || chosen == nullptr) return;
  const std::string path = chosen->data(Qt::UserRole).toString().toStdString();
  uploader_ = std::make_unique<TBgmUploader>();
  progress_->setValue(0);
  status_->setText(QStringLiteral("「%1」を送信しています...").arg(chosen->text()));
  QPointer<TBgmUploadPanel> self(this);
  TBgmUploader* uploader = uploader_.get();
  const std::string book = book_;
  worker_ = std::thread([self, uploader, book, path] {
    const TBgmUploader::Result result = uploader->Upload(book, path, [self](uint64_t sent, uint64_t total) {
      const int percent = total == 0 ? 0 : static_cast<int>(sent * 100 / total);
      QMetaObject::invokeMethod(
          self, [self, percent] { if (self) self->progress_->setValue(percent); }, Qt::QueuedConnection);
    });
    QMetaObject::invokeMethod(
        self,
        [self, result] {
          if (self)
            self->Finished(result.success, QString::fromStdString(result.next_command),
                           QString::fromStdString(result.message));
        },
        Qt::QueuedConnection);
  });
  UpdateState();
  emit busyChanged(true);
}

void TBgmUploadPanel::CancelUpload() {
  if (uploader_) uploader_->Cancel();
}

void TBgmUploadPanel::Finished(bool success, const QString& command, const QString& message) {
  if (worker_.joinable()) worker_.join();
  uploader_.reset();
  UpdateState();
  emit busyChanged(false);
  if (success) {
    progress_->setValue(100);
    status_->setText(QStringLiteral("音楽を追加しました。"));
    emit uploaded(command);
  } else {
    progress_->setValue(0);
    status_->setText(message);
    show_message_(message);
  }
}

void TBgmUploadPanel::UpdateState() {
  const bool busy = Busy();
  send_->setEnabled(!busy && !book_.empty() && files_->currentItem() != nullptr);
  cancel_->setEnabled(busy);
  choose_->setEnabled(!busy);
  files_->setEnabled(!busy);
  progress_->setVisible(busy || progress_->value() > 0);
}

}  // namespace plb::shell

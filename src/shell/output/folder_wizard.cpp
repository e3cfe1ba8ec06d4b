#include "shell/output/folder_wizard.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/special_folders.h"

namespace plb::shell {

TFolderWizard::TFolderWizard(QWidget* parent) : QDialog(parent) {
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName("TitlePanel");
  title_->setStyleSheet(QStringLiteral("font-weight: bold; padding: 8px"));
  layout->addWidget(title_);
  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_, 1);
  auto* buttons = new QHBoxLayout;
  back_ = new QPushButton(QStringLiteral("戻る(&B)"), this);
  back_->setObjectName("BtnBack");
  next_ = new QPushButton(QStringLiteral("次へ(&N)"), this);
  next_->setObjectName("BtnNext");
  next_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
  cancel_->setObjectName("BtnCancel");
  buttons->addStretch();
  for (QPushButton* b : {back_, next_, cancel_}) buttons->addWidget(b);
  layout->addLayout(buttons);
  resize(560, 460);
}

QWidget* TFolderWizard::MakeFolderPage() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  model_ = new QFileSystemModel(page);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QDir::rootPath());
  model_->setReadOnly(false);
  tree_ = new QTreeView(page);
  tree_->setObjectName("FolderTree");
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->setHeaderHidden(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(tree_);
  auto* commands = new QHBoxLayout;
  newFolder_ = new QPushButton(QStringLiteral("新しいフォルダの作成"), page);
  newFolder_->setToolTip(QStringLiteral("新しいフォルダを作成します。"));
  newFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  rename_ = new QPushButton(QStringLiteral("名前の変更"), page);
  rename_->setShortcut(QKeySequence(Qt::Key_F2));
  auto* refresh = new QPushButton(QStringLiteral("最新の情報に更新"), page);
  refresh->setShortcut(QKeySequence(Qt::Key_F5));
  for (QPushButton* b : {newFolder_, rename_, refresh}) commands->addWidget(b);
  layout->addLayout(commands);
  connect(newFolder_, &QPushButton::clicked, this, &TFolderWizard::CreateNewFolder);
  connect(rename_, &QPushButton::clicked, this, &TFolderWizard::RenameFolder);
  connect(refresh, &QPushButton::clicked, this, &TFolderWizard::RefreshTree);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    const QString folder = SelectedFolder();
    newFolder_->setEnabled(FolderWritable(folder));
    rename_->setEnabled(created_.count(folder) != 0);
    FolderChanged();
  });
  // Only folders made in this dialog may be renamed.
  connect(model_, &QFileSystemModel::fileRenamed, this, [this](const QString& path, const QString& from, const QString& to) {
    if (created_.erase(path + "/" + from)) created_.insert(path + "/" + to);
  });
  return page;
}

QString TFolderWizard::SelectedFolder() const {
  return tree_ && tree_->currentIndex().isValid() ? model_->filePath(tree_->currentIndex()) : QString();
}

void TFolderWizard::SelectFolder(const QString& path) {
  if (!tree_) return;
  const QModelIndex index = model_->index(path);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
}

int TFolderWizard::Page() const { return pages_->currentIndex(); }
QString TFolderWizard::Title() const { return title_->text().mid(2); }

void TFolderWizard::AddPage(QWidget* page) { pages_->addWidget(page); }
void TFolderWizard::ShowPage(int index) { pages_->setCurrentIndex(index); }
void TFolderWizard::SetTitle(const QString& title) { title_->setText(QStringLiteral("　　") + title); }

bool TFolderWizard::FolderWritable(const QString& folder) {
  const QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !info.isWritable()) return false;
  QString probe = folder + "/TEST";
  for (int n = 1; QFileInfo::exists(probe) || QFileInfo(probe).isSymLink(); ++n)
    probe = folder + QStringLiteral("/TEST(%1)").arg(n);
  QDir dir;
  if (!dir.mkdir(probe)) return false;
  dir.rmdir(probe);
  return true;
}

QString TFolderWizard::NewFolderName(const QString& parent) {
  QString name = QStringLiteral("新しいフォルダ");
  for (int n = 2; QFileInfo::exists(parent + "/" + name); ++n) name = QStringLiteral("新しいフォルダ (%1)").arg(n);
  return name;
}

void TFolderWizard::CreateNewFolder() {
  const QString parent = SelectedFolder();
  if (!FolderWritable(parent)) return;
  const QString path = parent + "/" + NewFolderName(parent);
  if (!QDir().mkdir(path)) return;
  created_.insert(path);
  SelectFolder(path);
  RenameFolder();
}

void TFolderWizard::RenameFolder() {
  if (!created_.count(SelectedFolder())) return;
  tree_->edit(tree_->currentIndex());
}

void TFolderWizard::RefreshTree() {
  const QString selected = SelectedFolder();
  tree_->setUpdatesEnabled(false);
  model_->setRootPath(QString());
  model_->setRootPath(QDir::rootPath());
  SelectFolder(selected);
  tree_->setUpdatesEnabled(true);
}

void TFolderWizard::SelectStartFolder(QString& remembered) {
  if (remembered.isEmpty() || !QFileInfo(remembered).isDir()) {
    remembered = QString::fromStdString(platform::SpecialFolderPath(platform::SpecialFolder::kPictures));
    if (!QFileInfo(remembered).isDir()) remembered = QDir::homePath();
  }
  SelectFolder(remembered);
}

void TFolderWizard::reject() {
  if (Page() != ProgressPage()) QDialog::reject();
}

void TFolderWizard::closeEvent(QCloseEvent* event) {
  if (HasWorker()) {
    event->ignore();
  } else {
    QDialog::closeEvent(event);
  }
}

}  // namespace plb::shell

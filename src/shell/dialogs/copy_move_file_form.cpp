#include "shell/dialogs/copy_move_file_form.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/format.h"

namespace plb::shell {
namespace {

constexpr int kPathWidth = 360;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Word(bool copy) {
  return copy ? QStringLiteral("コピー") : QStringLiteral("移動");
}

// The details of a file as "%-17s:%s" lines.
QString Details(const TCatalogItem* item) {
  QStringList lines;
  for (int type : {0, 2, 4, 5}) lines << Q(item->LabeledDisplayText(type, "%-17s:%s"));
  return lines.join('\n');
}

QLabel* AddLabel(QVBoxLayout* layout, const QString& text) {
  auto* label = new QLabel(text);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(label);
  return label;
}

}  // namespace

TCopyMoveQuestionBox::TCopyMoveQuestionBox(bool overwrite, TCatalogItem* existing, TCatalogItem* source,
                                           QWidget* parent)
    : QDialog(parent) {
  auto* layout = new QVBoxLayout(this);
  if (overwrite) {
    setWindowTitle(QStringLiteral("ファイルの上書きの確認"));
    AddLabel(layout, Q(Format("指定されたフォルダには、既に %s が存在しています。", existing->FileName())));
    AddLabel(layout, QStringLiteral("現在のファイル"));
    AddLabel(layout, Details(existing));
    AddLabel(layout, QStringLiteral("に、次の新しいファイルを上書きしますか？"));
    AddLabel(layout, Details(source));
  } else {
    setWindowTitle(QStringLiteral("読みとり専用ファイルの確認"));
    AddLabel(layout, QStringLiteral("　上書きされるファイルは読みとり専用に設定されています。"));
    AddLabel(layout, Details(existing));
    AddLabel(layout, QStringLiteral("このまま実行してよろしいですか？"));
  }
  auto* buttons = new QDialogButtonBox(this);
  const struct {
    QString text;
    TCopyMoveAnswer answer;
  } choices[] = {{QStringLiteral("はい"), cmaYes},
                 {QStringLiteral("いいえ"), cmaNo},
                 {QStringLiteral("すべて"), cmaYesToAll},
                 {QStringLiteral("全ていいえ"), cmaNoToAll},
                 {QStringLiteral("キャンセル"), cmaCancel}};
  for (const auto& choice : choices) {
    QPushButton* button = buttons->addButton(choice.text, QDialogButtonBox::ActionRole);
    button->setObjectName(QStringLiteral("answer%1").arg(static_cast<int>(choice.answer)));
    const TCopyMoveAnswer answer = choice.answer;
    connect(button, &QPushButton::clicked, this, [this, answer] { Choose(answer); });
  }
  layout->addWidget(buttons);
}

void TCopyMoveQuestionBox::Choose(TCopyMoveAnswer answer) {
  answer_ = answer;
  done(answer == cmaCancel ? QDialog::Rejected : QDialog::Accepted);
}

QString TCopyMoveQuestionBox::Texts() const {
  QStringList texts{windowTitle()};
  for (const QLabel* label : findChildren<QLabel*>()) texts << label->text();
  for (const QPushButton* button : findChildren<QPushButton*>()) texts << button->text();
  return texts.join('\n');
}

TCopyMoveFileFrm::TCopyMoveFileFrm(TFolderTreeList& folders, std::vector<TCatalogItem*> items,
                                   const std::string& destinationPath, TFolder* destinationFolder, bool copy,
                                   QWidget* parent)
    : QDialog(parent) {
  std::string sourceFolder = items.empty() || !items.front() ? "" : items.front()->FolderPath();
  if (sourceFolder.size() > 1 && sourceFolder.back() == '/') sourceFolder.pop_back();
  const std::string destination = destinationFolder ? destinationFolder->GetFullName() : destinationPath;
  thread_ =
      std::make_unique<TCopyMoveThread>(folders, std::move(items), destinationPath, destinationFolder, copy, this);

  setWindowTitle(QStringLiteral("ファイルを") + Word(copy) + QStringLiteral("しています。"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(Word(copy) + QStringLiteral("元")), 0, 0);
  source_ = new QLabel(Q(sourceFolder));
  grid->addWidget(source_, 0, 1);
  grid->addWidget(new QLabel(Word(copy) + QStringLiteral("先")), 1, 0);
  destination_ = new QLabel(fontMetrics().elidedText(Q(destination), Qt::ElideMiddle, kPathWidth));
  destination_->setToolTip(Q(destination));
  grid->addWidget(destination_, 1, 1);
  layout->addLayout(grid);
  current_ = new QLabel;
  layout->addWidget(current_);
  bar_ = new QProgressBar;
  bar_->setRange(0, 100);
  layout->addWidget(bar_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &TCopyMoveFileFrm::reject);
  layout->addWidget(buttons);
}

TCopyMoveFileFrm::~TCopyMoveFileFrm() {
  // The thread's calls come through the UI thread; stopping it here runs them while it waits.
  thread_.reset();
}

QString TCopyMoveFileFrm::SourceText() const {
  return source_->text();
}
QString TCopyMoveFileFrm::DestinationText() const {
  return destination_->text();
}
QString TCopyMoveFileFrm::CurrentText() const {
  return current_->text();
}

void TCopyMoveFileFrm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  thread_->Start();
}

void TCopyMoveFileFrm::reject() {
  if (started_ && !finished_) {
    thread_->Terminate();  // Finished() closes the dialog
    return;
  }
  QDialog::reject();
}

void TCopyMoveFileFrm::Progress(TCatalogItem* item, int percent) {
  current_->setText(Q(item->FileName()));
  bar_->setValue(percent);
}

TCopyMoveAnswer TCopyMoveFileFrm::AskOverwrite(TCatalogItem* existing, TCatalogItem* source) {
  TCopyMoveQuestionBox box(true, existing, source, this);
  return AskQuestion(box);
}

TCopyMoveAnswer TCopyMoveFileFrm::AskReadOnly(TCatalogItem* existing) {
  TCopyMoveQuestionBox box(false, existing, nullptr, this);
  return AskQuestion(box);
}

TCopyMoveAnswer TCopyMoveFileFrm::AskQuestion(TCopyMoveQuestionBox& box) {
  QApplication::beep();
  box.exec();
  return box.Answer();
}

void TCopyMoveFileFrm::Finished(int done) {
  finished_ = true;
  bar_->setValue(100);
  done > 0 ? accept() : QDialog::reject();
}

}  // namespace plb::shell

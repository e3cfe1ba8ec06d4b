#include "shell/library/info_pages.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album.h"
#include "engine/model/album_utils.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "shell/library/effect_page.h"
#include "shell/library/trimming_page.h"
#include "shell/qt_text.h"

namespace plb::shell {
namespace {

// The catalog keeps its texts with CR LF line ends; the editor uses LF.
QString FromStored(const std::string& text) {
  QString out = Utf8(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

std::string ToStored(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return text.toStdString();
}

// Every tag below root with its path, parents before their children.
void CollectTags(TAlbum* album, const QString& path, std::vector<std::pair<TAlbum*, QString>>& out) {
  for (TAlbum* child : album->Children()) {
    const QString name = path.isEmpty() ? Utf8(child->GetName()) : path + '\\' + Utf8(child->GetName());
    out.emplace_back(child, name);
    CollectTags(child, name, out);
  }
}

// The file's facts shown on the page: name, extension, pixel size, colours, file size, file date,
// folder.
constexpr int kFileFacts[] = {0, 1, 2, 3, 4, 5, 7};

}  // namespace

TFrameInfoPages::TFrameInfoPages(QWidget* parent) : QTabWidget(parent) {
  setObjectName("TFrameInfoPages");
  auto* page = new QWidget(this);
  page->setObjectName("InfoPage");
  auto* layout = new QVBoxLayout(page);
  title_ = new QLabel(page);
  title_->setObjectName("InfoTitle");
  title_->setWordWrap(true);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  file_ = new QLabel(page);
  file_->setObjectName("InfoFile");
  file_->setWordWrap(true);
  file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  mark_ = new QCheckBox(QStringLiteral("お気に入り"), page);
  mark_->setObjectName("InfoMark");
  auto* commentLabel = new QLabel(QStringLiteral("コメント"), page);
  comment_ = new QPlainTextEdit(page);
  comment_->setObjectName("InfoComment");
  comment_->setMaximumHeight(80);
  keepComment_ = new QPushButton(QStringLiteral("コメントを登録"), page);
  keepComment_->setObjectName("InfoKeepComment");
  keepComment_->setEnabled(false);
  tags_ = new QLabel(page);
  tags_->setObjectName("InfoTags");
  tags_->setWordWrap(true);
  tagList_ = new QListWidget(page);
  tagList_->setObjectName("InfoTagList");
  tagList_->setMaximumHeight(110);
  auto* exifLabel = new QLabel(QStringLiteral("撮影情報"), page);
  exif_ = new QPlainTextEdit(page);
  exif_->setObjectName("InfoExif");
  exif_->setReadOnly(true);
  exif_->setLineWrapMode(QPlainTextEdit::NoWrap);
  exif_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(title_);
  layout->addWidget(file_);
  layout->addWidget(mark_);
  layout->addWidget(commentLabel);
  layout->addWidget(comment_);
  layout->addWidget(keepComment_, 0, Qt::AlignRight);
  layout->addWidget(tags_);
  layout->addWidget(tagList_);
  layout->addWidget(exifLabel);
  layout->addWidget(exif_, 1);
  addTab(page, QStringLiteral("写真情報"));
  effect_ = new TFrameEffectPage(this);
  addTab(effect_, QStringLiteral("写真補正"));
  trimming_ = new TFrameTrimmingPage(this);
  addTab(trimming_, QStringLiteral("切り抜き"));
  connect(effect_, &TFrameEffectPage::effectApplied, this,
          [this](TCatalogItem* item) { emit itemEdited(item, cukEffectChanged); });
  connect(trimming_, &TFrameTrimmingPage::trimmingChanged, this,
          [this](TCatalogItem* item) { emit itemEdited(item, cukTrimmingSwitched); });
  // Only the page in front follows the photo: the others catch up when they are chosen.
  connect(this, &QTabWidget::currentChanged, this, [this] { ShowItem(item_); });

  connect(mark_, &QCheckBox::toggled, this, [this](bool on) {
    if (showing_ || !item_ || item_->Mark() == on) return;
    item_->SetMark(on);
    RaiseCatalogUpdateEvent(item_, cukMarkChanged);
    emit itemEdited(item_, cukMarkChanged);
  });
  connect(comment_, &QPlainTextEdit::textChanged, this, [this] {
    if (showing_) return;
    commentDirty_ = item_ != nullptr;
    keepComment_->setEnabled(commentDirty_);
  });
  connect(keepComment_, &QPushButton::clicked, this, &TFrameInfoPages::CommitComment);
  connect(tagList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* row) {
    if (showing_ || !item_) return;
    TagTicked(static_cast<TAlbum*>(row->data(Qt::UserRole).value<void*>()), row->checkState() == Qt::Checked);
  });
  ShowItem(nullptr);
}

bool TFrameInfoPages::CommitComment() {
  if (!commentDirty_ || !item_) return false;
  commentDirty_ = false;
  keepComment_->setEnabled(false);
  const std::string text = ToStored(comment_->toPlainText());
  if (text == item_->Comment()) return false;
  item_->SetComment(text);
  RaiseCatalogUpdateEvent(item_, cukCommentChanged);
  emit itemEdited(item_, cukCommentChanged);
  return true;
}

void TFrameInfoPages::FocusComment() {
  setCurrentIndex(0);
  comment_->setFocus();
}

void TFrameInfoPages::ShowItem(TCatalogItem* item) {
  // Moving to another photo keeps what was typed for the last one.
  if (item != item_) CommitComment();
  showing_ = true;
  item_ = item;
  if (currentWidget() == effect_) effect_->ShowItem(item);
  if (currentWidget() == trimming_) trimming_->ShowItem(item);
  commentDirty_ = false;
  keepComment_->setEnabled(false);
  mark_->setEnabled(item != nullptr);
  comment_->setEnabled(item != nullptr);
  if (!item) {
    title_->setText(QStringLiteral("（写真が選択されていません。）"));
    file_->clear();
    mark_->setChecked(false);
    comment_->clear();
    tags_->clear();
    ListTags();
    exif_->clear();
    showing_ = false;
    return;
  }
  title_->setText(Utf8(item->FileName()));
  QStringList facts;
  for (int type : kFileFacts) facts << Utf8(item->LabeledDisplayText(type, "%s：%s"));
  file_->setText(facts.join('\n'));
  mark_->setChecked(item->Mark());
  const QString comment = FromStored(item->Comment());
  if (comment_->toPlainText() != comment) comment_->setPlainText(comment);
  QStringList tagNames;
  for (TCustomFolder* tag : item->Tags()) tagNames << Utf8(tag->GetName());
  tags_->setText(QStringLiteral("タグ：") +
                 (tagNames.isEmpty() ? QStringLiteral("なし") : tagNames.join(QStringLiteral("、"))));
  ListTags();
  std::vector<std::string> lines;
  if (item->GetExifTexts(lines) && !lines.empty()) {
    QStringList text;
    for (const std::string& line : lines) text << Utf8(line);
    exif_->setPlainText(text.join('\n'));
  } else {
    exif_->setPlainText(QStringLiteral("（撮影情報はありません。）"));
  }
  showing_ = false;
}

void TFrameInfoPages::ListTags() {
  const bool was = showing_;
  showing_ = true;
  tagList_->clear();
  TAlbum* root = item_ && tagRoot_ ? tagRoot_() : nullptr;
  tagList_->setEnabled(root != nullptr);
  if (root) {
    std::vector<std::pair<TAlbum*, QString>> tags;
    CollectTags(root, QString(), tags);
    for (const auto& [tag, name] : tags) {
      auto* row = new QListWidgetItem(name, tagList_);
      row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
      row->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(tag)));
      row->setCheckState(tag->FindEntry(item_) ? Qt::Checked : Qt::Unchecked);
    }
  }
  showing_ = was;
}

void TFrameInfoPages::TagTicked(TAlbum* tag, bool on) {
  // Entries made by the user's commands carry the group 0.
  const bool changed =
      on ? OstraAddItemToAlbum(tag, item_, 0, true, true) : OstraDelItemFromAlbum(tag, item_, true, true);
  if (!changed) return;
  // The row that was ticked is still in use: the page is shown again on the next turn.
  QPointer<TFrameInfoPages> self(this);
  TCatalogItem* item = item_;
  QMetaObject::invokeMethod(
      this,
      [self, item] {
        if (self) emit self->itemEdited(item, cukTagsChanged);
      },
      Qt::QueuedConnection);
}

QString TFrameInfoPages::FileText() const {
  return title_->text() + '\n' + file_->text();
}

QString TFrameInfoPages::ExifText() const {
  return exif_->toPlainText();
}

QString TFrameInfoPages::TagText() const {
  return tags_->text();
}

}  // namespace plb::shell

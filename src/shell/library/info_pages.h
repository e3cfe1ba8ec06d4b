#pragma once
// The tool panel of the library page. Its information page shows the current photo: the file's
// facts, the shooting data the file's EXIF block holds, and the catalog's own data about it (the
// favourite mark, the comment, the tags), of which the mark, the comment and the tags are edited
// here (the tags as a list of the tag tree's tags, ticked where the photo has them). The
// correction and trimming pages edit the photo's picture.
#include <QTabWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace plb {
class TAlbum;
class TCatalogItem;
}

namespace plb::shell {

class TFrameEffectPage;
class TFrameTrimmingPage;

class TFrameInfoPages : public QTabWidget {
  Q_OBJECT
 public:
  // The pages in their order.
  enum TPage { kInfoPage = 0, kEffectPage = 1, kTrimmingPage = 2 };

  explicit TFrameInfoPages(QWidget* parent = nullptr);

  TFrameEffectPage* EffectPage() const { return effect_; }
  TFrameTrimmingPage* TrimmingPage() const { return trimming_; }

  // Shows the item (null: nothing). A comment being edited for the previous item is kept first.
  void ShowItem(TCatalogItem* item);
  TCatalogItem* Item() const { return item_; }
  // Shows the item again (its mark or data changed elsewhere).
  void Reload() { ShowItem(item_); }
  // Keeps an edited comment in the catalog; false when there was nothing to keep.
  bool CommitComment();
  void FocusComment();

  QString FileText() const;
  QString ExifText() const;
  QString TagText() const;
  // Where the tags come from: the tag root (null: no tags to choose).
  void SetTagRoot(std::function<TAlbum*()> root) { tagRoot_ = std::move(root); }
  QCheckBox* MarkBox() const { return mark_; }
  // One checkable row per tag (its path below the tag root).
  QListWidget* TagList() const { return tagList_; }
  QPlainTextEdit* CommentEdit() const { return comment_; }

 signals:
  // The panel changed the item's catalog data (a catalog-update kind).
  void itemEdited(plb::TCatalogItem* item, int kind);

 private:
  void ListTags();
  void TagTicked(TAlbum* tag, bool on);

  TCatalogItem* item_ = nullptr;
  bool showing_ = false;
  bool commentDirty_ = false;
  QLabel* title_ = nullptr;
  QLabel* file_ = nullptr;
  QPlainTextEdit* exif_ = nullptr;
  QCheckBox* mark_ = nullptr;
  QPlainTextEdit* comment_ = nullptr;
  QPushButton* keepComment_ = nullptr;
  QLabel* tags_ = nullptr;
  QListWidget* tagList_ = nullptr;
  std::function<TAlbum*()> tagRoot_;
  TFrameEffectPage* effect_ = nullptr;
  TFrameTrimmingPage* trimming_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// The frame the export and saving wizards share: a title panel ("　　" and the page's title), the
// pages, the buttons "戻る(&B)", "次へ(&N)" and "ｷｬﾝｾﾙ(&C)", and the destination folder tree with
// its commands "新しいフォルダの作成", "名前の変更" and "最新の情報に更新".
#include <QDialog>
#include <QString>
#include <set>

class QCloseEvent;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeView;

namespace plb::shell {

class TFolderWizard : public QDialog {
  Q_OBJECT
 public:
  explicit TFolderWizard(QWidget* parent = nullptr);

  QString SelectedFolder() const;
  void SelectFolder(const QString& path);
  int Page() const;
  QString Title() const;
  QPushButton* BackButton() const { return back_; }
  QPushButton* NextButton() const { return next_; }
  QPushButton* CancelButton() const { return cancel_; }

  // A folder the wizard may write into: a directory where a probe ("TEST", or "TEST(n)" when that
  // is taken) can be made and removed again; only the probe made is removed.
  static bool FolderWritable(const QString& folder);
  // The name a new folder under parent gets: "新しいフォルダ", or "新しいフォルダ (n)".
  static QString NewFolderName(const QString& parent);

  // Escape does nothing while the worker's progress shows.
  void reject() override;

 public slots:
  void CreateNewFolder();
  void RenameFolder();
  void RefreshTree();

 protected:
  void AddPage(QWidget* page);
  void ShowPage(int index);
  void SetTitle(const QString& title);
  QWidget* MakeFolderPage();
  // Selects the folder the wizard starts in: remembered when it still exists, else the pictures
  // folder, else home; remembered then holds it.
  void SelectStartFolder(QString& remembered);
  // Called whenever the selection in the folder tree changes.
  virtual void FolderChanged() {}
  // The page that shows the worker's progress, and whether a worker exists: the worker reports
  // into the dialog, so Escape does nothing on that page and a close waits for the worker's end.
  virtual int ProgressPage() const = 0;
  virtual bool HasWorker() const = 0;
  void closeEvent(QCloseEvent* event) override;
  QStackedWidget* pages_ = nullptr;

 private:
  QLabel* title_ = nullptr;
  QTreeView* tree_ = nullptr;
  QFileSystemModel* model_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* newFolder_ = nullptr;
  QPushButton* rename_ = nullptr;
  std::set<QString> created_;
};

}  // namespace plb::shell

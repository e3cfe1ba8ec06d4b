#pragma once
// The calendar export wizard ("カレンダーの出力"): destination, confirmation with the count and
// size, the copying with progress and a cancel that asks first, and the results.
#include <memory>

#include "shell/output/folder_wizard.h"

class QCheckBox;
class QLabel;
class QProgressBar;

namespace plb {
class TAlbumList;
class TCustomFolder;
class TExportFolderThreadEx;
class TFolderTreeList;
}  // namespace plb

namespace plb::shell {

class TExportFolderFormEx : public TFolderWizard {
  Q_OBJECT
 public:
  enum { TSFolder, TSConfirm, TSProgress, TSDone };
  TExportFolderFormEx(TCustomFolder* root, TFolderTreeList* folders, QWidget* parent = nullptr,
                      TAlbumList* albums = nullptr);
  ~TExportFolderFormEx() override;

  // False when the calendar holds nothing: the dialog is then not shown.
  bool HasItems() const { return count_ > 0; }
  QString OutputFolder() const { return output_; }
  int CopiedCount() const { return copied_; }

  // Questions; a test answers them.
  virtual bool AskStop();
  virtual void Warn(const QString& text);
  // The free bytes of the destination's volume (0 when unknown).
  virtual int64_t FreeBytes(const QString& folder) const;

 public slots:
  void Next();
  void Back();
  void Cancel();

 protected:
  void FolderChanged() override;
  int ProgressPage() const override { return TSProgress; }
  bool HasWorker() const override { return worker_ != nullptr; }

 private:
  void Enter(int page);
  void Refresh();
  void StartWorker();
  QString RootName() const;

  TCustomFolder* root_;
  TFolderTreeList* folders_;
  TAlbumList* albums_;
  int32_t count_ = 0;
  int64_t bytes_ = 0;
  bool writable_ = false;
  bool closing_ = false;  // the dialog is being destroyed: late reports change nothing
  std::unique_ptr<TExportFolderThreadEx> worker_;
  QString output_;
  int copied_ = 0;
  int64_t copiedBytes_ = 0;
  QLabel* confirm_ = nullptr;
  QLabel* source_ = nullptr;
  QLabel* destination_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QLabel* results_ = nullptr;
  QCheckBox* showExplorer_ = nullptr;
};

}  // namespace plb::shell

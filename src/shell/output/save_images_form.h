#pragma once
// Saving several photos ("複数画像の保存"): destination folder, size and naming rule, a
// confirmation, then the worker with progress and cancel.
#include <memory>
#include <vector>

#include "shell/output/folder_wizard.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QSpinBox;

namespace plb {
class TCatalogItem;
class TSaveImagesThread;
}  // namespace plb

namespace plb::shell {

class TSaveImagesForm : public TFolderWizard {
  Q_OBJECT
 public:
  enum { TSFolder, TSOptions, TSConfirm, TSProgress, TSDone };
  TSaveImagesForm(std::vector<TCatalogItem*> items, int quality, QWidget* parent = nullptr);
  ~TSaveImagesForm() override;

  int ProcessedCount() const { return processed_; }
  bool Completed() const { return completed_; }
  QString Destination() const { return valid_ ? SelectedFolder() : QString(); }
  bool ShowInLibrary() const;
  QString SampleNames() const;

  // The overwrite question; a test answers it.
  virtual bool AskOverwrite(const QString& text);

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
  void StartWorker();
  void Refresh();

  std::vector<TCatalogItem*> items_;
  int quality_;
  bool valid_ = false;
  int processed_ = 0;
  bool completed_ = false;
  bool closing_ = false;  // the dialog is being destroyed: late reports change nothing
  std::unique_ptr<TSaveImagesThread> worker_;
  QRadioButton* keepSize_ = nullptr;
  QRadioButton* resize_ = nullptr;
  QSpinBox* width_ = nullptr;
  QSpinBox* height_ = nullptr;
  QCheckBox* keepAspect_ = nullptr;
  QLineEdit* commonName_ = nullptr;
  QSpinBox* digits_ = nullptr;
  QLabel* samples_ = nullptr;
  QLabel* confirm_ = nullptr;
  QLabel* source_ = nullptr;
  QLabel* folder_ = nullptr;
  QLabel* file_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QCheckBox* showLibrary_ = nullptr;
  QCheckBox* showExplorer_ = nullptr;
};

}  // namespace plb::shell

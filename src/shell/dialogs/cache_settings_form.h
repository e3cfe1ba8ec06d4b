#pragma once
// "サムネイルキャッシュの設定": whether thumbnails are kept on disk or only in memory, and how
// much room they may take. The choice is stored in the configuration and takes effect at the
// next start.
#include <QDialog>

class QRadioButton;
class QSpinBox;

namespace plb {
class TOstraConfigItem;
}

namespace plb::shell {

class TCacheSettingsForm : public QDialog {
  Q_OBJECT
 public:
  TCacheSettingsForm(TOstraConfigItem& config, QWidget* parent = nullptr);

  // Stores a changed choice; true when something changed.
  bool Apply();
  // What the user is told after OK.
  static QString ChangedText();
  static QString UnchangedText();

  QRadioButton* MemoryChoice() const { return memory_; }
  QRadioButton* FileChoice() const { return file_; }
  QSpinBox* MemorySize() const { return memorySize_; }
  QSpinBox* FileSize() const { return fileSize_; }

 private:
  void Sync();

  TOstraConfigItem& config_;
  QRadioButton* memory_ = nullptr;
  QRadioButton* file_ = nullptr;
  QSpinBox* memorySize_ = nullptr;
  QSpinBox* fileSize_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// The collage tool ("コラージュ"): style, cells, output size, frame and spacing, a preview of the
// collage, "再作成" for a new arrangement and "コラージュの保存". The collage is composed on a
// worker thread; a change of the settings cancels the one being made.
#include <QDialog>
#include <QImage>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "output/collage/collage_maker.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TFrameCollage : public QDialog {
  Q_OBJECT
 public:
  TFrameCollage(std::vector<TCatalogItem*> items, int quality, QWidget* parent = nullptr);
  ~TFrameCollage() override;

  TCollageSettings Settings() const;
  bool Making() const { return making_; }
  const QImage& Picture() const { return picture_; }
  // Saves the picture into folder (default: PLB_Collage in the pictures folder); the path written,
  // empty when there is nothing to save or it failed.
  QString SaveTo(const QString& folder);

 public slots:
  void Remake();
  void Render();
  void AcSaveImage();

 signals:
  void rendered();

 private:
  void Cancel();

  std::vector<TCatalogItem*> items_;
  int quality_;
  std::mt19937 random_{std::random_device{}()};
  TCollageLayout layout_;
  TCatalogItem* main_ = nullptr;
  Bitmap bitmap_;
  QImage picture_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  std::atomic<int> generation_{0};
  bool making_ = false;
  QComboBox* style_ = nullptr;
  QComboBox* size_ = nullptr;
  QSpinBox* cols_ = nullptr;
  QSpinBox* rows_ = nullptr;
  QCheckBox* frame_ = nullptr;
  QCheckBox* space_ = nullptr;
  QCheckBox* portrait_ = nullptr;
  QCheckBox* fixedMain_ = nullptr;
  QLabel* preview_ = nullptr;
  QLabel* state_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// Saving one photo ("別名で保存"): keep its size or give a new one (width and height linked by the
// aspect), then a file name; the photo is rendered with its edits and written as a JPEG file.
#include <QDialog>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TSaveImageForm : public QDialog {
  Q_OBJECT
 public:
  TSaveImageForm(TCatalogItem* item, int quality, int previewSize = 480, QWidget* parent = nullptr);

  // Writes the photo to path as the dialog is set; false when it gave no picture. Saving over the
  // photo's own file takes the edits now in its pixels off the item.
  bool SaveTo(const QString& path);
  QSpinBox* WidthBox() const { return width_; }
  QSpinBox* HeightBox() const { return height_; }
  QRadioButton* ResizeOption() const { return resize_; }

 public slots:
  void accept() override;

 private:
  void Linked(bool fromWidth);

  TCatalogItem* item_;
  int quality_;
  int w_ = 0, h_ = 0;
  bool guard_ = false;
  QRadioButton* keep_ = nullptr;
  QRadioButton* resize_ = nullptr;
  QSpinBox* width_ = nullptr;
  QSpinBox* height_ = nullptr;
  QCheckBox* aspect_ = nullptr;
  QLabel* current_ = nullptr;
};

}  // namespace plb::shell

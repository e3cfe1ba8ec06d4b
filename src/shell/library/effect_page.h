#pragma once
// The correction page of the tool panel ("写真の補正"): exposure, gamma, sharpness, finish,
// colour and the other effects of the current photo, or the automatic correction, stored in the
// catalog as soon as they are chosen (the grid and the viewer show the result); "補正をクリア"
// goes back to the photo as it was taken.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace plb {
class TCatalogItem;
struct TEffectPanelChoice;
}  // namespace plb

namespace plb::shell {

class TFrameEffectPage : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameEffectPage(QWidget* parent = nullptr);

  // Shows the item's correction (null or a movie: nothing to correct).
  void ShowItem(TCatalogItem* item);
  TCatalogItem* Item() const { return item_; }

  QComboBox* Exposure() const { return exposure_; }
  QComboBox* Gamma() const { return gamma_; }
  QCheckBox* Automatic() const { return automatic_; }
  QPushButton* Clear() const { return clear_; }

 signals:
  // The item's correction was stored (catalog update 14 raised).
  void effectApplied(plb::TCatalogItem* item);

 private:
  void Store();
  TEffectPanelChoice Choice() const;

  TCatalogItem* item_ = nullptr;
  bool showing_ = false;
  QLabel* title_ = nullptr;
  QComboBox* exposure_ = nullptr;
  QComboBox* gamma_ = nullptr;
  QComboBox* sharpness_ = nullptr;
  QComboBox* finish_ = nullptr;
  QComboBox* color_ = nullptr;
  QComboBox* etc_ = nullptr;
  QCheckBox* automatic_ = nullptr;
  QPushButton* clear_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// The shooting-date dialogs: "撮影日時の変更" asks for the new date and time of the photos, and
// the progress dialog "写真の撮影日時を変更しています。" runs the change of their files and
// catalog entries, with a cancel button and the error report at the end.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "images/dates/date_dialog_logic.h"

class QCheckBox;
class QDateEdit;
class QProgressBar;
class QPushButton;
class QTimeEdit;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

// QDateTime and the catalog's day numbers.
QDateTime ToQDateTime(TDateTime value);
TDateTime FromQDateTime(const QDateTime& value);

class TEditExifDateForm : public QDialog {
  Q_OBJECT
 public:
  // Shows and edits logic; current is the first photo's shooting date.
  TEditExifDateForm(TEditExifDateFormSimple& logic, TDateTime current, QWidget* parent = nullptr);

  QCheckBox* DateCheck() const { return dateCheck_; }
  QCheckBox* TimeCheck() const { return timeCheck_; }
  QDateEdit* DateEdit() const { return date_; }
  QTimeEdit* TimeEdit() const { return time_; }

 private:
  void Sync();

  TEditExifDateFormSimple& logic_;
  QCheckBox* dateCheck_ = nullptr;
  QCheckBox* timeCheck_ = nullptr;
  QDateEdit* date_ = nullptr;
  QTimeEdit* time_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The progress of a change; errors go to showError (the window's error box).
class TExifDateProgressForm : public QDialog, public IExifDateChangeView {
  Q_OBJECT
 public:
  TExifDateProgressForm(std::function<void(const QString&)> showError, QWidget* parent = nullptr);

  // Changes the items' dates; false when the user cancelled.
  bool Run(const std::vector<TCatalogItem*>& items, uint8_t flags, TDateTime target);

  void SetBar(int position, int maximum) override;
  void HideForm() override;
  void ErrorBeep() override;
  void ShowError(const std::string& text) override;

 protected:
  void reject() override;

 private:
  std::function<void(const QString&)> showError_;
  QProgressBar* bar_ = nullptr;
  TExifdateChangeFormEx* running_ = nullptr;
};

}  // namespace plb::shell

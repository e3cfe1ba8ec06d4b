#include "shell/dialogs/exif_date_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"

namespace plb::shell {

QDateTime ToQDateTime(TDateTime value) {
  const DateTimeFields f = DecodeDateTime(value);
  return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second, f.millisecond));
}

TDateTime FromQDateTime(const QDateTime& value) {
  DateTimeFields f;
  f.year = value.date().year();
  f.month = value.date().month();
  f.day = value.date().day();
  f.hour = value.time().hour();
  f.minute = value.time().minute();
  f.second = value.time().second();
  TDateTime out = 0;
  return TryEncodeDateTime(f, out) ? out : 0;
}

TEditExifDateForm::TEditExifDateForm(TEditExifDateFormSimple& logic, TDateTime current, QWidget* parent)
    : QDialog(parent), logic_(logic) {
  setObjectName("TEditExifDateFormSimple");
  setWindowTitle(QString::fromUtf8(TEditExifDateFormSimple::kCaption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8(TEditExifDateFormSimple::kTitle), this));
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QString::fromUtf8(TEditExifDateFormSimple::kCurrentLabel), this), 0, 0);
  grid->addWidget(new QLabel(current > 0 ? ToQDateTime(current).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                         : QStringLiteral("（不明）"),
                             this),
                  0, 1, 1, 2);
  grid->addWidget(new QLabel(QString::fromUtf8(TEditExifDateFormSimple::kNewLabel), this), 1, 0);
  const QDateTime start = ToQDateTime(logic.PickedDate() > 0 ? logic.PickedDate() : FromQDateTime(QDateTime::currentDateTime()));
  date_ = new QDateEdit(start.date(), this);
  date_->setObjectName("DatePicker");
  date_->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
  date_->setCalendarPopup(true);
  time_ = new QTimeEdit(start.time(), this);
  time_->setObjectName("TimePicker");
  time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  grid->addWidget(date_, 1, 1);
  grid->addWidget(time_, 1, 2);
  dateCheck_ = new QCheckBox(QString::fromUtf8(TEditExifDateFormSimple::kDateCheck), this);
  timeCheck_ = new QCheckBox(QString::fromUtf8(TEditExifDateFormSimple::kTimeCheck), this);
  dateCheck_->setChecked(logic.DateChecked());
  timeCheck_->setChecked(logic.TimeChecked());
  grid->addWidget(dateCheck_, 2, 1);
  grid->addWidget(timeCheck_, 2, 2);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  for (QCheckBox* box : {dateCheck_, timeCheck_}) connect(box, &QCheckBox::toggled, this, &TEditExifDateForm::Sync);
  connect(date_, &QDateEdit::dateChanged, this, &TEditExifDateForm::Sync);
  connect(time_, &QTimeEdit::timeChanged, this, &TEditExifDateForm::Sync);
  Sync();
}

void TEditExifDateForm::Sync() {
  logic_.SetDateChecked(dateCheck_->isChecked());
  logic_.SetTimeChecked(timeCheck_->isChecked());
  logic_.SetPickedDate(FromQDateTime(QDateTime(date_->date(), QTime(0, 0))));
  logic_.SetPickedTime(FromQDateTime(QDateTime(QDate(1899, 12, 30), time_->time())));
  date_->setEnabled(logic_.DatePickerEnabled());
  time_->setEnabled(logic_.TimePickerEnabled());
  ok_->setEnabled(logic_.OkEnabled());
}

TExifDateProgressForm::TExifDateProgressForm(std::function<void(const QString&)> showError, QWidget* parent)
    : QDialog(parent), showError_(std::move(showError)) {
  setObjectName("TExifdateChangeFormEx");
  setWindowTitle(QString::fromUtf8(TExifdateChangeFormEx::kCaption));
  auto* layout = new QVBoxLayout(this);
  bar_ = new QProgressBar(this);
  layout->addWidget(bar_);
  auto* cancel = new QPushButton(QString::fromUtf8(TExifdateChangeFormEx::kCancel), this);
  layout->addWidget(cancel, 0, Qt::AlignRight);
  connect(cancel, &QPushButton::clicked, this, &TExifDateProgressForm::reject);
}

bool TExifDateProgressForm::Run(const std::vector<TCatalogItem*>& items, uint8_t flags, TDateTime target) {
  if (items.empty() || flags == 0) return false;
  TExifdateChangeFormEx form(*this, items, target, flags);
  running_ = &form;
  show();
  const int result = form.WaitModal();
  running_ = nullptr;
  hide();
  return result != TExifdateChangeFormEx::kResultCancel;
}

void TExifDateProgressForm::SetBar(int position, int maximum) {
  bar_->setRange(0, std::max(1, maximum));
  bar_->setValue(position);
}

void TExifDateProgressForm::HideForm() {
  hide();
}

void TExifDateProgressForm::ErrorBeep() {
  QApplication::beep();
}

void TExifDateProgressForm::ShowError(const std::string& text) {
  if (showError_) showError_(QString::fromStdString(text));
}

void TExifDateProgressForm::reject() {
  // The change stops after the photo under way; the dialog goes when it has.
  if (running_) running_->Cancel();
}

}  // namespace plb::shell

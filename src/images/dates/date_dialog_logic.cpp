#include "images/dates/date_dialog_logic.h"

#include <algorithm>
#include <cmath>

#include "host/format.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

TDateTime TimeOfDay(TDateTime value) {
  return std::fabs(value - std::trunc(value));
}

}  // namespace

TEditExifDateFormSimple::TEditExifDateFormSimple(uint8_t initialFlags, TDateTime initialDate)
    : dateChecked_(true), timeChecked_((initialFlags & kChangeTime) != 0), date_(initialDate), time_(initialDate) {}

uint8_t TEditExifDateFormSimple::Flags() const {
  return static_cast<uint8_t>((dateChecked_ ? kChangeDate : 0) | (timeChecked_ ? kChangeTime : 0));
}

TDateTime TEditExifDateFormSimple::Target() const {
  return std::trunc(date_) + TimeOfDay(time_);
}

TDateDrop DropOnCalendarNode(TCalendarNodeKind kind, int year, int month, int day, TDateTime firstItemDate) {
  const DateTimeFields first = DecodeDateTime(firstItemDate);
  TDateDrop drop;
  drop.flags = kind == TCalendarNodeKind::kDay     ? kChangeDate
               : kind == TCalendarNodeKind::kMonth ? kChangeYearAndMonth
                                                   : kChangeYear;
  const int m = kind == TCalendarNodeKind::kYear ? first.month : month;
  const int d = std::min(kind == TCalendarNodeKind::kDay ? day : first.day, DaysInMonth(year, m));
  drop.target = EncodeDate(year, m, d) + TimeOfDay(firstItemDate);
  return drop;
}

TDateDrop DropOnCalendarDayCell(TDateTime cellDate, TDateTime firstItemDate) {
  return {kChangeDate, std::trunc(cellDate) + TimeOfDay(firstItemDate)};
}

std::string DateChangeErrorText(int failed) {
  return Format("%d枚の写真は撮影日時の変更に失敗しました。", {failed});
}

TExifdateChangeFormEx::TExifdateChangeFormEx(IExifDateChangeView& view, std::vector<TCatalogItem*> items,
                                             TDateTime target, uint8_t flags)
    : view_(view), changer_(std::make_unique<TExifDateChanger>(std::move(items), target, flags)) {
  changer_->SetSynchronizeProgress(true);
  changer_->SetProgressHandler([this](TOstraThreadBase*, uint8_t state, uint32_t total, int32_t position,
                                      int32_t errors) { OnProgress(state, total, position, errors); });
}

TExifdateChangeFormEx::~TExifdateChangeFormEx() {
  changer_->SetProgressHandler(nullptr);
  changer_->Stop();
}

void TExifdateChangeFormEx::Show() {
  if (shown_) return;
  shown_ = true;
  // Starting resets a worker's termination request: a cancel that came first ends the run here.
  if (cancelRequested_ || !changer_->Start()) ChangerEnded();
}

void TExifdateChangeFormEx::Cancel() {
  cancelRequested_ = true;
  changer_->Terminate();
}

void TExifdateChangeFormEx::OnProgress(uint8_t state, uint32_t total, int32_t position, int32_t /*errors*/) {
  if (state == psStarted) {
    bar_ = 0;
  } else if (state == psProgressing && total > 0) {
    bar_ = std::max(bar_, static_cast<int>(int64_t{position} * 100 / total));  // forward only
  } else if (state >= psCompleted) {
    bar_ = 100;
  }
  view_.SetBar(bar_, 100);
}

void TExifdateChangeFormEx::ChangerEnded() {
  if (ended_) return;
  ended_ = true;
  view_.HideForm();
  const int errors = changer_->ErrorCount();
  if (errors > 0) {
    view_.ErrorBeep();
    view_.ShowError(DateChangeErrorText(errors));
  }
  modalResult_ = cancelRequested_ || changer_->IsTerminated() ? kResultCancel : kResultOk;
}

int TExifdateChangeFormEx::WaitModal() {
  Show();
  changer_->WaitFor();  // runs the UI's pending work, the progress reports among it
  ChangerEnded();
  return modalResult_;
}

bool ChangeShootingDates(IExifDateChangeView& view, const std::vector<TCatalogItem*>& items, uint8_t flags,
                         TDateTime target) {
  if (items.empty() || flags == 0) return false;
  TExifdateChangeFormEx form(view, items, target, flags);
  return form.WaitModal() != TExifdateChangeFormEx::kResultCancel;
}

}  // namespace plb

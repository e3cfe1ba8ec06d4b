#pragma once
// What the shooting-date dialogs decide, without their widgets: the date dialog's check boxes and
// result, the targets of drops on the calendar, and the progress dialog that runs a
// TExifDateChanger. The shell draws them through the small view interfaces below.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "images/dates/exif_date_changer.h"

namespace plb {

class TCatalogItem;

// The date dialog ("撮影日時の変更").
class TEditExifDateFormSimple {
 public:
  static constexpr const char* kCaption = "撮影日時の変更";
  static constexpr const char* kTitle = "新しい撮影日時を指定してください。";
  static constexpr const char* kCurrentLabel = "現在の撮影日時　：";
  static constexpr const char* kNewLabel = "新しい撮影日時　：";
  static constexpr const char* kDateCheck = "日付を変更する。";
  static constexpr const char* kTimeCheck = "時刻を変更する。";

  // Flags 15 for one item, 7 for several; the date the pickers start at.
  TEditExifDateFormSimple(uint8_t initialFlags, TDateTime initialDate);

  bool DateChecked() const { return dateChecked_; }
  bool TimeChecked() const { return timeChecked_; }
  void SetDateChecked(bool on) { dateChecked_ = on; }
  void SetTimeChecked(bool on) { timeChecked_ = on; }
  bool DatePickerEnabled() const { return dateChecked_; }
  bool TimePickerEnabled() const { return timeChecked_; }
  bool OkEnabled() const { return dateChecked_ || timeChecked_; }

  TDateTime PickedDate() const { return date_; }
  TDateTime PickedTime() const { return time_; }
  void SetPickedDate(TDateTime date) { date_ = date; }
  void SetPickedTime(TDateTime time) { time_ = time; }

  // The result on OK.
  uint8_t Flags() const;
  TDateTime Target() const;

 private:
  bool dateChecked_ = true;
  bool timeChecked_ = false;
  TDateTime date_ = 0;
  TDateTime time_ = 0;
};

// The change that dropping items on a calendar node or grid cell asks for.
struct TDateDrop {
  uint8_t flags = 0;
  TDateTime target = 0;
};
enum class TCalendarNodeKind { kYear, kMonth, kDay };
// month and day are ignored where the node has none; firstItemDate is the first dropped item's
// shooting date.
TDateDrop DropOnCalendarNode(TCalendarNodeKind kind, int year, int month, int day, TDateTime firstItemDate);
TDateDrop DropOnCalendarDayCell(TDateTime cellDate, TDateTime firstItemDate);

// What the progress dialog shows; implemented by the shell.
class IExifDateChangeView {
 public:
  virtual ~IExifDateChangeView() = default;
  virtual void SetBar(int position, int maximum) = 0;
  virtual void HideForm() = 0;
  virtual void ErrorBeep() = 0;
  virtual void ShowError(const std::string& text) = 0;
};

// The progress dialog ("写真の撮影日時を変更しています。") and its changer.
class TExifdateChangeFormEx {
 public:
  static constexpr const char* kCaption = "写真の撮影日時を変更しています。";
  static constexpr const char* kCancel = "キャンセル";
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;

  TExifdateChangeFormEx(IExifDateChangeView& view, std::vector<TCatalogItem*> items, TDateTime target, uint8_t flags);
  ~TExifdateChangeFormEx();

  // Showing the dialog starts the changer (once).
  void Show();
  void Cancel();
  // Runs the UI's pending work until the changer has ended; the modal result.
  int WaitModal();
  // The end of the changer, on the UI thread.
  void ChangerEnded();

  int ModalResult() const { return modalResult_; }
  int BarPosition() const { return bar_; }
  TExifDateChanger& Changer() { return *changer_; }

 private:
  void OnProgress(uint8_t state, uint32_t total, int32_t position, int32_t errors);

  IExifDateChangeView& view_;
  std::unique_ptr<TExifDateChanger> changer_;
  bool shown_ = false;
  bool cancelRequested_ = false;
  bool ended_ = false;
  int bar_ = 0;
  int modalResult_ = 0;
};

// The error text of a run in which photos failed.
std::string DateChangeErrorText(int failed);

// Runs the change of items through a progress dialog drawn by view; false at once for no items or
// no flags, else true unless the user cancelled.
bool ChangeShootingDates(IExifDateChangeView& view, const std::vector<TCatalogItem*>& items, uint8_t flags,
                         TDateTime target);

}  // namespace plb

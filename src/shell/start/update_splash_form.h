#pragma once
// The splash window of the start and of the version information: the picture, "Ver x.y.z.w" and
// the application's notice text. It closes itself when its timer runs out, or with a time of 0
// when clicked or left, but never while busy (an update check runs behind it).
#include <QImage>
#include <QWidget>

class QLabel;

namespace plb::shell {

class TUpdateSplashForm : public QWidget {
  Q_OBJECT
 public:
  explicit TUpdateSplashForm(QWidget* parent = nullptr);

  // Shows the window, fading in.
  void Display();
  void SetBusy(bool busy) { busy_ = busy; }
  bool Busy() const { return busy_; }
  // Closes the window time_ms after now (when not busy then); 0: when clicked or left.
  void StartTimer(int time_ms);

  QString VersionText() const;
  const QString& NoticeText() const { return notice_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void CloseWhenIdle();

  QImage image_;
  QLabel* version_ = nullptr;
  QString notice_;
  bool busy_ = false;
  bool close_on_click_ = false;
};

// Whether windows can be blended here (not on the offscreen or minimal platforms).
bool WindowsCanBlend();

// Shows the splash for time_ms (0: until clicked or left); it frees itself when it closes.
TUpdateSplashForm* ShowSplash(int time_ms);

// The update check behind the splash, with the download strip and the announcement question.
// True when an update will run (the caller ends the program); the splash then closes at once,
// else it stays for time_ms.
bool RunUpdateCheckWithSplash(int time_ms);

}  // namespace plb::shell

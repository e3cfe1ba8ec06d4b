#include "shell/start/update_splash_form.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include "host/program_file.h"
#include "host/version_info.h"
#include "service/appinfo/check_app_info.h"
#include "service/updater/application_updater.h"
#include "shell/start/qt_updater_ui.h"

namespace plb::shell {
namespace {

constexpr int kBlendMs = 500;
constexpr int kBusyRecheckMs = 100;
const char* const kDefaultNotice = "Copyright (C) Morvane. All rights reserved.";

// The picture beside the program, or the built-in one.
QImage SplashImage() {
  const QString path = QString::fromStdString(ProgramFolder() + "/splash.bmp");
  QImage image;
  if (QFileInfo::exists(path) && image.load(path) && !image.isNull()) return image;
  image = QImage(480, 300, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, 0, image.height());
  gradient.setColorAt(0, QColor(0x3a, 0x6e, 0xa5));
  gradient.setColorAt(1, QColor(0x1d, 0x2f, 0x4a));
  painter.fillRect(image.rect(), gradient);
  QFont font = painter.font();
  font.setPointSize(26);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(image.rect().adjusted(0, 0, 0, -60), Qt::AlignCenter, QStringLiteral("Plumora Browser"));
  return image;
}

QString Notice() {
  const std::string copyright = AppliedAppInfo().copyright;
  return QString::fromStdString(copyright.empty() ? kDefaultNotice : copyright);
}

}  // namespace

TUpdateSplashForm::TUpdateSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(SplashImage()),
      notice_(Notice()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("TUpdateSplashForm");
  setFixedSize(image_.size());
  version_ = new QLabel(QString::fromStdString("Ver " + FileVersion()), this);
  version_->setObjectName("LblVersion");
  version_->setStyleSheet("color: white; background: transparent;");
  version_->adjustSize();
  version_->move(width() - version_->width() - 12, 12);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

QString TUpdateSplashForm::VersionText() const {
  return version_->text();
}

bool WindowsCanBlend() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void TUpdateSplashForm::Display() {
  if (!WindowsCanBlend()) {
    show();
    return;
  }
  setWindowOpacity(0.0);
  show();
  auto* blend = new QPropertyAnimation(this, "windowOpacity", this);
  blend->setDuration(kBlendMs);
  blend->setStartValue(0.0);
  blend->setEndValue(1.0);
  blend->start(QAbstractAnimation::DeleteWhenStopped);
}

void TUpdateSplashForm::StartTimer(int time_ms) {
  if (time_ms <= 0) {
    close_on_click_ = true;
    return;
  }
  QTimer::singleShot(time_ms, this, &TUpdateSplashForm::CloseWhenIdle);
}

void TUpdateSplashForm::CloseWhenIdle() {
  // A check still running keeps it up; it is looked at again shortly.
  if (busy_) {
    QTimer::singleShot(kBusyRecheckMs, this, &TUpdateSplashForm::CloseWhenIdle);
    return;
  }
  close();
}

void TUpdateSplashForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
  QFont font = painter.font();
  font.setPointSize(7);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(rect().adjusted(12, 6, -12, -6), Qt::AlignBottom | Qt::AlignLeft | Qt::TextSingleLine, notice_);
}

void TUpdateSplashForm::mousePressEvent(QMouseEvent* event) {
  if (close_on_click_ && !busy_) close();
  QWidget::mousePressEvent(event);
}

bool TUpdateSplashForm::event(QEvent* event) {
  if (event->type() == QEvent::WindowDeactivate && close_on_click_ && !busy_) close();
  return QWidget::event(event);
}

TUpdateSplashForm* ShowSplash(int time_ms) {
  auto* splash = new TUpdateSplashForm();
  splash->Display();
  splash->StartTimer(time_ms);
  return splash;
}

bool RunUpdateCheckWithSplash(int time_ms) {
  auto* splash = new TUpdateSplashForm();
  splash->SetBusy(true);
  splash->Display();
  QApplication::processEvents();
  QtUpdaterUi ui(splash);
  const bool update = TApplicationUpdater::CheckUpdate(ui);
  splash->SetBusy(false);
  if (update) {
    splash->close();
  } else {
    splash->StartTimer(time_ms);
  }
  return update;
}

}  // namespace plb::shell

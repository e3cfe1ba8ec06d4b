#include "shell/start/qt_updater_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <thread>

#include "shell/start/qt_start_ui.h"
#include "shell/start/update_splash_form.h"

namespace plb::shell {
namespace {

constexpr int kFadeSteps = 16;
constexpr int kFadeStepMs = 10;
constexpr int kPollMs = 50;

// The strip along the lower edge of the splash: inset 8 left and right, 18 top and bottom, 48 high.
QRect StripRect(const QWidget* splash) {
  if (!splash) return QRect(0, 0, 400, 48);
  QRect r = splash->frameGeometry().adjusted(8, 18, -8, -18);
  r.setTop(r.bottom() - 48);
  return r;
}

}  // namespace

QtUpdaterUi::QtUpdaterUi(QWidget* splash) : splash_(splash) {}

bool QtUpdaterUi::RunDownload(const std::function<bool(const Progress&)>& work) {
  auto* strip = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  strip->setObjectName("TUrlDownloadFormEx");
  strip->setAttribute(Qt::WA_TranslucentBackground);
  strip->setGeometry(StripRect(splash_));
  auto* bar = new QProgressBar(strip);
  bar->setObjectName("PBDownload");
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setGeometry(0, strip->height() - 16, strip->width(), 16);
  strip->show();

  std::atomic<uint64_t> received{0}, total{0};
  std::atomic<bool> done{false};
  bool result = false;
  std::thread worker([&] {
    result = work([&](uint64_t now, uint64_t size) {
      received = now;
      total = size;
    });
    done = true;
  });
  while (!done) {
    const uint64_t size = total;
    if (size == 0) {
      bar->setValue(0);
    } else {
      // The bar only moves up.
      const int percent = static_cast<int>(received * 100 / size);
      if (percent > bar->value()) bar->setValue(std::min(percent, 100));
    }
    QApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    QThread::msleep(kPollMs / 5);
  }
  worker.join();
  if (result) bar->setValue(100);
  // Fades out: alpha 240, 224, ... 0.
  for (int step = 1; step <= kFadeSteps && WindowsCanBlend(); ++step) {
    strip->setWindowOpacity((240.0 - 16.0 * (step - 1)) / 255.0);
    QApplication::processEvents();
    QThread::msleep(kFadeStepMs);
  }
  delete strip;
  return result;
}

bool QtUpdaterUi::AskUpdate(const std::string& page, int, int, int buttons) {
  // The announcement is the service's page; its address is what the box can show.
  const std::string text = "新しいバージョンのプルモラブラウザがあります。\r\n" + page;
  const bool ok_only = buttons == kUpdateButtonsOkOnly;
  if (QtStartUi::RecordUnattended("update", "Plumora Browser", text)) return ok_only;
  if (ok_only) {
    QMessageBox::information(splash_, QStringLiteral("Plumora Browser"), QString::fromStdString(text));
    return true;
  }
  return QMessageBox::question(splash_, QStringLiteral("Plumora Browser"), QString::fromStdString(text)) ==
         QMessageBox::Yes;
}

}  // namespace plb::shell

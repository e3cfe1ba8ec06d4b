#pragma once
// The one QApplication of a shell test program (offscreen), and event pumping with a deadline.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "support/test_env.h"

namespace plb::test {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "plb_shell_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The web home's tests run real pages: WebEngine needs the shared contexts before the
    // application exists, and in a container (often as root) neither its sandbox nor a GPU.
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --single-process", 0);
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser engine (one process here) may crash while the C++ exit tears it down after
    // the last test, turning a passed run into a failed one: the program ends at once instead,
    // with the tests' result, once everything is written out.
    SetProgramEndHook([](int code) {
      std::fflush(nullptr);
      std::_Exit(code);
    });
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Processes events until done() holds or the time is up; answers done().
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return done();
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

inline void PumpFor(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A photograph has many colours; the placeholder, an empty cell or a flat fill has a few.
inline int DistinctColours(const QImage& image, const QRect& area) {
  QSet<QRgb> colours;
  const QRect r = area.intersected(image.rect());
  for (int y = r.top(); y <= r.bottom(); y += 2) {
    for (int x = r.left(); x <= r.right(); x += 2) colours.insert(image.pixel(x, y));
  }
  return static_cast<int>(colours.size());
}

// A thumbnail box shows a picture, not the placeholder sheet of its file kind: many colours, or
// (for a flat picture) a centre that is neither the sheet nor the cell's white.
inline bool ShowsPicture(const QImage& image, const QRect& box) {
  if (DistinctColours(image, box.adjusted(12, 12, -12, -12)) > 30) return true;
  const QRgb centre = image.pixel(box.center()) & 0xFFFFFF;
  return centre != 0xF4F4F4 && centre != 0xFFFFFF && DistinctColours(image, box.adjusted(12, 12, -12, -12)) < 4;
}

// Keeps a picture of the widget in <build>/test-artifacts/<subject>/<name>.png for people to look
// at; true when it was written.
inline bool KeepPicture(QWidget& widget, const std::string& subject, const std::string& name) {
  const std::string folder = BinaryDir() + "/test-artifacts/" + subject;
  std::filesystem::create_directories(folder);
  QApplication::processEvents();
  return widget.grab().save(QString::fromStdString(folder + "/" + name + ".png"));
}

}  // namespace plb::test

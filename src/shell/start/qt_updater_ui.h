#pragma once
// The updater's windows: the download strip laid over the bottom of the splash, and the
// announcement question.
#include <QPointer>

#include "service/updater/application_updater.h"

class QWidget;

namespace plb::shell {

class QtUpdaterUi : public IUpdaterUi {
 public:
  // splash: the window the strip is laid over (may be null: the strip then stands alone).
  explicit QtUpdaterUi(QWidget* splash);

  // The download runs on a worker thread while this thread keeps the windows alive.
  bool RunDownload(const std::function<bool(const Progress&)>& work) override;
  bool AskUpdate(const std::string& page, int width, int height, int buttons) override;

 private:
  QPointer<QWidget> splash_;
};

}  // namespace plb::shell

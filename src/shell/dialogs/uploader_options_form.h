#pragma once
// The uploader's options ("アップロードの設定"): whether the time-outs and counts below apply at
// all, parallel uploads, the connect and read time-outs and the number of uploaders. They are
// kept in the user's settings and used from the next upload on.
#include <QDialog>

#include "host/uploader_options.h"

class QCheckBox;
class QSpinBox;

namespace plb::shell {

class TUploaderOptionsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TUploaderOptionsForm(const TUploaderOptions& options, QWidget* parent = nullptr);

  // The options as the dialog shows them.
  TUploaderOptions Options() const;

  QCheckBox* UseOption() const { return useOption_; }
  QCheckBox* AllowParallel() const { return allowParallel_; }
  QSpinBox* ConnectTimeout() const { return connectTimeout_; }
  QSpinBox* ReadTimeout() const { return readTimeout_; }
  QSpinBox* UploaderCount() const { return uploaderCount_; }

 private:
  void Sync();

  QCheckBox* useOption_ = nullptr;
  QCheckBox* allowParallel_ = nullptr;
  QSpinBox* connectTimeout_ = nullptr;
  QSpinBox* readTimeout_ = nullptr;
  QSpinBox* uploaderCount_ = nullptr;
};

}  // namespace plb::shell

#include "shell/dialogs/uploader_options_form.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace plb::shell {
namespace {

// 0 leaves the uploader's own value; a time-out longer than ten minutes is no time-out.
constexpr int kMaxTimeout = 600000;
constexpr int kMaxUploaders = 16;

QSpinBox* NumberBox(int maximum, int value, const char* name, const QString& suffix, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(0, maximum);
  box->setValue(std::clamp(value, 0, maximum));
  box->setSuffix(suffix);
  box->setSpecialValueText(QStringLiteral("既定値"));
  return box;
}

}  // namespace

TUploaderOptionsForm::TUploaderOptionsForm(const TUploaderOptions& options, QWidget* parent) : QDialog(parent) {
  setObjectName("TUploaderOptionsForm");
  setWindowTitle(QStringLiteral("アップロードの設定"));
  auto* layout = new QVBoxLayout(this);
  useOption_ = new QCheckBox(QStringLiteral("以下の設定を使用する"), this);
  useOption_->setObjectName("UseOption");
  useOption_->setChecked(options.use_option);
  auto* form = new QFormLayout;
  allowParallel_ = new QCheckBox(QStringLiteral("複数の写真を同時にアップロードする"), this);
  allowParallel_->setObjectName("AllowParallel");
  allowParallel_->setChecked(options.allow_parallel);
  connectTimeout_ = NumberBox(kMaxTimeout, options.connect_timeout, "ConnectTimeout", QStringLiteral(" ミリ秒"), this);
  readTimeout_ = NumberBox(kMaxTimeout, options.read_timeout, "ReadTimeout", QStringLiteral(" ミリ秒"), this);
  uploaderCount_ = NumberBox(kMaxUploaders, options.max_uploader_count, "MaxUploaderCount", QString(), this);
  form->addRow(allowParallel_);
  form->addRow(QStringLiteral("接続のタイムアウト"), connectTimeout_);
  form->addRow(QStringLiteral("受信のタイムアウト"), readTimeout_);
  form->addRow(QStringLiteral("同時にアップロードする数"), uploaderCount_);
  layout->addWidget(useOption_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(useOption_, &QCheckBox::toggled, this, &TUploaderOptionsForm::Sync);
  connect(allowParallel_, &QCheckBox::toggled, this, &TUploaderOptionsForm::Sync);
  Sync();
}

void TUploaderOptionsForm::Sync() {
  const bool on = useOption_->isChecked();
  allowParallel_->setEnabled(on);
  connectTimeout_->setEnabled(on);
  readTimeout_->setEnabled(on);
  uploaderCount_->setEnabled(on && allowParallel_->isChecked());
}

TUploaderOptions TUploaderOptionsForm::Options() const {
  TUploaderOptions options;
  options.use_option = useOption_->isChecked();
  options.allow_parallel = allowParallel_->isChecked();
  options.connect_timeout = connectTimeout_->value();
  options.read_timeout = readTimeout_->value();
  options.max_uploader_count = uploaderCount_->value();
  return options;
}

}  // namespace plb::shell

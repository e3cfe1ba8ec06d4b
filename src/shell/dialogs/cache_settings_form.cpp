#include "shell/dialogs/cache_settings_form.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "host/ostra_config_item.h"

namespace plb::shell {
namespace {

constexpr uint8_t kMemoryKind = 0;
constexpr uint8_t kFileKind = 1;
constexpr int kMemoryMin = 8, kMemoryMax = 128, kMemoryInitial = 16;
constexpr int kFileMin = 64, kFileMax = 4000, kFileInitial = 1000;

QString Lines(const char* text) {
  return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QSpinBox* SizeBox(int minimum, int maximum, int value, const char* name, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(minimum, maximum);
  box->setValue(value);
  box->setSuffix(QStringLiteral(" MB"));
  return box;
}

}  // namespace

QString TCacheSettingsForm::ChangedText() {
  return QStringLiteral(
      "サムネイルキャッシュの設定を変更しました。\r\n新しい設定を有効にするためには、PlumoraBrowserを再起動してください。");
}

QString TCacheSettingsForm::UnchangedText() {
  return QStringLiteral("サムネイルキャッシュの設定は変更されていません。");
}

TCacheSettingsForm::TCacheSettingsForm(TOstraConfigItem& config, QWidget* parent) : QDialog(parent), config_(config) {
  setObjectName("TCacheSettingsForm");
  setWindowTitle(QStringLiteral("サムネイルキャッシュの設定"));
  const bool fileKind = config.CacheKind() == kFileKind;
  const int stored = config.CacheMaxSizeMB();
  // The stored size goes into the chosen kind's field when that field can hold it.
  const bool memoryFits = !fileKind && stored >= kMemoryMin && stored <= kMemoryMax;
  const bool fileFits = fileKind && stored >= kFileMin && stored <= kFileMax;
  auto* layout = new QGridLayout(this);
  memory_ = new QRadioButton(QStringLiteral("サムネイル画像をディスクに保存しない。"), this);
  memory_->setObjectName("CacheMemory");
  memorySize_ = SizeBox(kMemoryMin, kMemoryMax, memoryFits ? stored : kMemoryInitial, "CacheMemorySize", this);
  auto* memoryText = new QLabel(Lines("作成したサムネイル画像をディスク上に保存せずにメモリー上でのみ使用します。\r\n"
                                      "次回起動時にはサムネイル画像を再度作成して表示します。\r\n"
                                      "表示は遅くなりますが、ハードディスクの容量を消費しません。"),
                                this);
  file_ = new QRadioButton(QStringLiteral("サムネイル画像をディスクに保存する。"), this);
  file_->setObjectName("CacheFile");
  fileSize_ = SizeBox(kFileMin, kFileMax, fileFits ? stored : kFileInitial, "CacheFileSize", this);
  auto* fileText = new QLabel(Lines("作成したサムネイル画像をディスク上に保存しておきます。\r\n"
                                    "次回起動時には保存しておいたサムネイル画像を利用して表示します。\r\n"
                                    "表示は高速ですが、ハードディスクの容量を消費します。"),
                              this);
  layout->addWidget(file_, 0, 0);
  layout->addWidget(fileSize_, 0, 1);
  layout->addWidget(fileText, 1, 0, 1, 2);
  layout->addWidget(memory_, 2, 0);
  layout->addWidget(memorySize_, 2, 1);
  layout->addWidget(memoryText, 3, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  layout->addWidget(buttons, 4, 0, 1, 2);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  (fileKind ? file_ : memory_)->setChecked(true);
  connect(memory_, &QRadioButton::toggled, this, &TCacheSettingsForm::Sync);
  Sync();
}

void TCacheSettingsForm::Sync() {
  memorySize_->setEnabled(memory_->isChecked());
  fileSize_->setEnabled(file_->isChecked());
}

bool TCacheSettingsForm::Apply() {
  const uint8_t kind = file_->isChecked() ? kFileKind : kMemoryKind;
  const int size = kind == kFileKind ? fileSize_->value() : memorySize_->value();
  if (kind == config_.CacheKind() && size == config_.CacheMaxSizeMB()) return false;
  config_.SetCacheKind(kind);
  config_.SetCacheMaxSizeMB(size);
  return true;
}

}  // namespace plb::shell

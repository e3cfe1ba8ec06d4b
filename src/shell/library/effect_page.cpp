#include "shell/library/effect_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "images/effects/effect_panels.h"
#include "shell/qt_text.h"

namespace plb::shell {
namespace {

QComboBox* ListOf(const std::vector<TPanelEntry>& entries, const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const TPanelEntry& entry : entries) box->addItem(Utf8(entry.text));
  return box;
}

bool Correctable(const TCatalogItem* item) {
  return item && !item->Unavailable() && item->Kind() != fkMovie && item->Kind() != fkSound;
}

}  // namespace

TFrameEffectPage::TFrameEffectPage(QWidget* parent) : QWidget(parent) {
  setObjectName("EffectPage");
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setWordWrap(true);
  auto* form = new QFormLayout;
  exposure_ = ListOf(ExposureEntries(), "EffectExposure", this);
  gamma_ = ListOf(GammaEntries(), "EffectGamma", this);
  sharpness_ = ListOf(SharpnessEntries(), "EffectSharpness", this);
  finish_ = ListOf(FinishEntries(), "EffectFinish", this);
  color_ = ListOf(ColorEntries(), "EffectColor", this);
  etc_ = ListOf(EtcEntries(), "EffectEtc", this);
  form->addRow(QStringLiteral("露出補正"), exposure_);
  form->addRow(QStringLiteral("ガンマ補正"), gamma_);
  form->addRow(QStringLiteral("シャープ"), sharpness_);
  form->addRow(QStringLiteral("仕上がり"), finish_);
  form->addRow(QStringLiteral("COLOR"), color_);
  form->addRow(QStringLiteral("ETC.."), etc_);
  automatic_ = new QCheckBox(QStringLiteral("自動補正"), this);
  automatic_->setObjectName("EffectAutomatic");
  clear_ = new QPushButton(QStringLiteral("補正をクリア"), this);
  clear_->setObjectName("EffectClear");
  layout->addWidget(title_);
  layout->addLayout(form);
  layout->addWidget(automatic_);
  layout->addWidget(clear_, 0, Qt::AlignRight);
  layout->addStretch(1);
  for (QComboBox* box : {exposure_, gamma_, sharpness_, finish_, color_, etc_})
    connect(box, &QComboBox::currentIndexChanged, this, &TFrameEffectPage::Store);
  connect(automatic_, &QCheckBox::toggled, this, &TFrameEffectPage::Store);
  connect(clear_, &QPushButton::clicked, this, [this] {
    if (!item_ || !ClearEffect(*item_)) return;
    ShowItem(item_);
    emit effectApplied(item_);
  });
  ShowItem(nullptr);
}

TEffectPanelChoice TFrameEffectPage::Choice() const {
  TEffectPanelChoice choice;
  choice.exposure = exposure_->currentIndex();
  choice.gamma = gamma_->currentIndex();
  choice.sharpness = sharpness_->currentIndex();
  choice.finish = finish_->currentIndex();
  choice.color = color_->currentIndex();
  choice.etc = etc_->currentIndex();
  choice.automatic = automatic_->isChecked();
  return choice;
}

void TFrameEffectPage::Store() {
  if (showing_ || !item_) return;
  etc_->setEnabled(!automatic_->isChecked());
  if (StoreEffectChoice(*item_, Choice())) emit effectApplied(item_);
}

void TFrameEffectPage::ShowItem(TCatalogItem* item) {
  showing_ = true;
  item_ = Correctable(item) ? item : nullptr;
  const bool on = item_ != nullptr;
  for (QWidget* w :
       std::initializer_list<QWidget*>{exposure_, gamma_, sharpness_, finish_, color_, etc_, automatic_, clear_})
    w->setEnabled(on);
  if (!item) {
    title_->setText(QStringLiteral("（写真が選択されていません。）"));
  } else if (!on) {
    title_->setText(QStringLiteral("この写真は補正できません。"));
  } else {
    title_->setText(Utf8(item->FileName()));
  }
  const TEffectPanelChoice choice = on ? EffectPanelChoiceOf(item_->Color()) : TEffectPanelChoice();
  exposure_->setCurrentIndex(choice.exposure);
  gamma_->setCurrentIndex(choice.gamma);
  sharpness_->setCurrentIndex(choice.sharpness);
  finish_->setCurrentIndex(choice.finish);
  color_->setCurrentIndex(choice.color);
  etc_->setCurrentIndex(choice.etc);
  automatic_->setChecked(choice.automatic);
  etc_->setEnabled(on && !choice.automatic);
  showing_ = false;
}

}  // namespace plb::shell

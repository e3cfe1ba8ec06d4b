#pragma once
// What the correction panel ("写真の補正") and the trimming panel ("切り抜き") show and store,
// without the widgets: the entries of their lists, which entry a stored record shows, the record
// a choice stores, and the trimming rectangle of an aspect preset. The shell's panels are thin
// views over these; storing raises the item's catalog-update event.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/codec/bitmap.h"

namespace plb {

// One list entry: its text and the value it stands for.
struct TPanelEntry {
  std::string text;
  int32_t value = 0;
};

// "露出補正": 21 entries for -3.0 .. +3.0 EV; entry i is brightness i * 10 - 100.
std::vector<TPanelEntry> ExposureEntries();
// "ガンマ補正": 31 entries 0.0 .. 3.0, entry 10 "標準"; entry i is gamma i * 10.
std::vector<TPanelEntry> GammaEntries();
// "シャープ" (filter1), "仕上がり" (contrast), "COLOR" (filter2), "ETC.." (filter3).
const std::vector<TPanelEntry>& SharpnessEntries();
const std::vector<TPanelEntry>& FinishEntries();
std::vector<TPanelEntry> ColorEntries();
std::vector<TPanelEntry> EtcEntries();

// The automatic correction ("自動補正") stores this filter3.
constexpr uint8_t kAutoEffectFilter = 35;

// The selection the correction panel shows for a record, by list index.
struct TEffectPanelChoice {
  int exposure = 10;
  int gamma = 10;
  int sharpness = 3;
  int finish = 3;
  int color = 0;
  int etc = 0;
  bool automatic = false;  // when checked the ETC list is disabled
};

TEffectPanelChoice EffectPanelChoiceOf(const TColorAdjustment& record);
// The record a choice stores; the gains come from the item's current record.
TColorAdjustment EffectRecordOf(const TEffectPanelChoice& choice, const TColorAdjustment& current);

// Stores the choice into the item and raises its effect event (14). Movies and sounds are not
// edited: false.
bool StoreEffectChoice(TCatalogItem& item, const TEffectPanelChoice& choice);
// "補正をクリア": the neutral record.
bool ClearEffect(TCatalogItem& item);

// The trimming aspect presets of "ComboAspect" (shown with two leading blanks).
struct TAspectPreset {
  const char* name;
  uint16_t x, y;  // 0 : 0 for free size; index 1 uses the item's own sides
};
const std::vector<TAspectPreset>& AspectPresets();
// The list text of a preset: two blanks and its name.
std::string AspectPresetText(int index);
// The preset a stored aspect shows: the first with the same pair, otherwise 1.
int AspectPresetIndexOf(uint16_t x, uint16_t y);

struct TTrimSetup {
  TTrimRect rect;
  uint16_t aspect_x = 0, aspect_y = 0;
};
// The rectangle of a preset on a picture of width by height.
TTrimSetup TrimSetupForPreset(int index, int32_t width, int32_t height);

// Chooses a preset (or "サイズをリセットする") for the item and raises event 16; trimming stays
// switched as it was. False for movies, sounds and unknown presets.
bool ChooseAspectPreset(TCatalogItem& item, int index);
// Sets the item up with preset 0 when its rectangle is empty (showing an item does this).
void PrepareTrimming(TCatalogItem& item);
// A frame placed by hand on the picture as displayed (shown at shownWidth by shownHeight): stored
// in the item's own orientation and size, kept inside the picture, with event 16; the aspect and
// the switch stay as they were. False for movies, sounds, an empty frame or an unknown size.
bool PlaceTrimFrame(TCatalogItem& item, const TTrimRect& shown, int32_t shownWidth, int32_t shownHeight);
// "写真を切り抜く" / "切り抜きを解除する": switches trimming and raises event 18.
bool SwitchTrimming(TCatalogItem& item, bool on);

}  // namespace plb

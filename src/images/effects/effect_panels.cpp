#include "images/effects/effect_panels.h"

#include <algorithm>
#include <cmath>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/file_kinds.h"
#include "host/format.h"
#include "images/effects/image_effect.h"
#include "images/scale/resize.h"

namespace plb {
namespace {

constexpr const char* kStandard = "標準";

bool Editable(const TCatalogItem& item) {
  return item.Kind() != fkMovie && item.Kind() != fkSound;
}

int IndexOfValue(const std::vector<TPanelEntry>& entries, int32_t value, int fallback) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].value == value) return static_cast<int>(i);
  return fallback;
}

int32_t ValueAt(const std::vector<TPanelEntry>& entries, int index) {
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return 0;
  return entries[static_cast<size_t>(index)].value;
}

std::vector<TPanelEntry> FilterEntries(std::initializer_list<int> codes) {
  std::vector<TPanelEntry> entries = {{kStandard, 0}};
  for (int code : codes) entries.push_back({EffectFilterName(code), code});
  return entries;
}

}  // namespace

std::vector<TPanelEntry> ExposureEntries() {
  std::vector<TPanelEntry> entries;
  for (int i = -10; i <= 10; ++i) {
    const std::string number = FormatFloat("0.0", std::abs(i) * 0.3);
    entries.push_back({i == 0 ? kStandard : (i > 0 ? "+" : "-") + number, (i + 10) * 10 - 100});
  }
  return entries;
}

std::vector<TPanelEntry> GammaEntries() {
  std::vector<TPanelEntry> entries;
  for (int i = 0; i <= 30; ++i) entries.push_back({i == 10 ? kStandard : FormatFloat("0.0", i * 0.1), i * 10});
  return entries;
}

const std::vector<TPanelEntry>& SharpnessEntries() {
  static const std::vector<TPanelEntry> entries = {{"最弱", 37},    {"弱く", 12}, {"やや弱く", 11}, {kStandard, 0},
                                                   {"やや強く", 8}, {"強く", 9},  {"最強", 10}};
  return entries;
}

const std::vector<TPanelEntry>& FinishEntries() {
  static const std::vector<TPanelEntry> entries = {{"超軟調", -45},  {"軟調", -30}, {"やや軟調", -15}, {kStandard, 0},
                                                   {"やや硬調", 15}, {"硬調", 30},  {"超硬調", 45}};
  return entries;
}

std::vector<TPanelEntry> ColorEntries() {
  return FilterEntries({1, 2, 3, 4, 5, 6, 7});
}

std::vector<TPanelEntry> EtcEntries() {
  return FilterEntries({16, 17, 13, 14, 15, 39, 21, 22, 40});
}

TEffectPanelChoice EffectPanelChoiceOf(const TColorAdjustment& r) {
  TEffectPanelChoice c;
  c.exposure = std::clamp(static_cast<int>(std::trunc(r.meido / 10.0 + 10)), 0, 20);
  c.gamma = std::clamp(static_cast<int>(std::trunc(r.gamma / 10.0)), 0, 30);
  c.sharpness = IndexOfValue(SharpnessEntries(), r.filter1, 3);
  c.finish = IndexOfValue(FinishEntries(), r.cont, 3);
  c.color = IndexOfValue(ColorEntries(), r.filter2, 0);
  c.automatic = r.filter3 == kAutoEffectFilter;
  c.etc = c.automatic ? 0 : IndexOfValue(EtcEntries(), r.filter3, 0);
  return c;
}

TColorAdjustment EffectRecordOf(const TEffectPanelChoice& c, const TColorAdjustment& current) {
  TColorAdjustment r = current;
  r.meido = std::clamp(c.exposure, 0, 20) * 10 - 100;
  r.gamma = std::clamp(c.gamma, 0, 30) * 10;
  r.filter1 = static_cast<uint8_t>(ValueAt(SharpnessEntries(), c.sharpness));
  r.cont = ValueAt(FinishEntries(), c.finish);
  r.filter2 = static_cast<uint8_t>(ValueAt(ColorEntries(), c.color));
  r.filter3 = c.automatic ? kAutoEffectFilter : static_cast<uint8_t>(ValueAt(EtcEntries(), c.etc));
  r.enabled =
      (r.meido != 0 || r.gamma != 100 || r.cont != 0 || r.filter1 != 0 || r.filter2 != 0 || r.filter3 != 0) ? 1 : 0;
  return r;
}

bool StoreEffectChoice(TCatalogItem& item, const TEffectPanelChoice& choice) {
  if (!Editable(item)) return false;
  item.SetColor(EffectRecordOf(choice, item.Color()));
  RaiseCatalogUpdateEvent(&item, cukEffectChanged);
  return true;
}

bool ClearEffect(TCatalogItem& item) {
  if (!Editable(item)) return false;
  item.SetColor(TColorAdjustment{});
  RaiseCatalogUpdateEvent(&item, cukEffectChanged);
  return true;
}

const std::vector<TAspectPreset>& AspectPresets() {
  static const std::vector<TAspectPreset> presets = {
      {"フリーサイズ", 0, 0},        {"画像オリジナル", 0, 0},  {"正方形", 1, 1},         {"パノラマ (横) 2 : 1", 2, 1},
      {"パノラマ (縦) 1 : 2", 1, 2}, {"１６ ： ９", 16, 9},     {"９ ： １６", 9, 16},    {"L版 (横)", 127, 89},
      {"L版 (縦)", 89, 127},         {"六切 (横)", 2540, 2032}, {"六切 (縦)", 2032, 2540}};
  return presets;
}

std::string AspectPresetText(int index) {
  if (index < 0 || static_cast<size_t>(index) >= AspectPresets().size()) return "";
  return std::string("  ") + AspectPresets()[static_cast<size_t>(index)].name;
}

int AspectPresetIndexOf(uint16_t x, uint16_t y) {
  const auto& presets = AspectPresets();
  for (size_t i = 0; i < presets.size(); ++i)
    if (i != 1 && presets[i].x == x && presets[i].y == y) return static_cast<int>(i);
  return 1;
}

TTrimSetup TrimSetupForPreset(int index, int32_t w, int32_t h) {
  TTrimSetup setup;
  const int32_t boxW = static_cast<int32_t>(int64_t{w} * 3 / 4), boxH = static_cast<int32_t>(int64_t{h} * 3 / 4);
  if (index >= 2 && static_cast<size_t>(index) < AspectPresets().size()) {
    const TAspectPreset& p = AspectPresets()[static_cast<size_t>(index)];
    const TSize size = FitInside(boxW, boxH, p.x, p.y);
    const int32_t left = (w - size.cx) / 2, top = (h - size.cy) / 2;
    setup.rect = {left, top, left + size.cx, top + size.cy};
    setup.aspect_x = p.x;
    setup.aspect_y = p.y;
    return setup;
  }
  setup.rect = {w / 8, h / 8, w / 8 + boxW, h / 8 + boxH};
  if (index == 1) {
    setup.aspect_x = static_cast<uint16_t>(std::clamp(w, 0, 65535));
    setup.aspect_y = static_cast<uint16_t>(std::clamp(h, 0, 65535));
  }
  return setup;
}

bool ChooseAspectPreset(TCatalogItem& item, int index) {
  if (!Editable(item) || index < 0 || static_cast<size_t>(index) >= AspectPresets().size()) return false;
  const TTrimSetup setup = TrimSetupForPreset(index, item.Width(), item.Height());
  item.SetTrimming(item.Block().trimmingOn != 0, setup.rect, setup.aspect_x, setup.aspect_y);
  RaiseCatalogUpdateEvent(&item, cukTrimmingEdited);
  return true;
}

void PrepareTrimming(TCatalogItem& item) {
  const TTrimRect r = item.TrimRect();
  if (r.right > r.left && r.bottom > r.top) return;
  ChooseAspectPreset(item, 0);
}

namespace {

// The rectangle on the picture as stored, from one on the picture as displayed at full size: the
// displayed rectangle's flips undone, then its clockwise quarter turns.
TTrimRect StoredFromDisplayed(TTrimRect r, uint16_t orientation, int32_t displayedWidth, int32_t displayedHeight) {
  int32_t dw = displayedWidth, dh = displayedHeight;
  if (OrientationFlipsHorizontally(orientation)) r = {dw - r.right, r.top, dw - r.left, r.bottom};
  if (OrientationFlipsVertically(orientation)) r = {r.left, dh - r.bottom, r.right, dh - r.top};
  for (int turn = 0; turn < OrientationQuarterTurns(orientation); ++turn) {
    // Back one clockwise turn: the picture before it was dh wide and dw high.
    r = {r.top, dw - r.right, r.bottom, dw - r.left};
    std::swap(dw, dh);
  }
  return r;
}

int32_t Scaled(int32_t value, int32_t to, int32_t from) {
  return static_cast<int32_t>(std::lround(static_cast<double>(value) * to / from));
}

}  // namespace

bool PlaceTrimFrame(TCatalogItem& item, const TTrimRect& shown, int32_t shownWidth, int32_t shownHeight) {
  const int32_t w = item.Width(), h = item.Height();
  if (!Editable(item) || w <= 0 || h <= 0 || shownWidth <= 0 || shownHeight <= 0) return false;
  if (shown.right <= shown.left || shown.bottom <= shown.top) return false;
  const uint16_t o = item.Orientation();
  const int32_t dw = OrientationSwapsSides(o) ? h : w, dh = OrientationSwapsSides(o) ? w : h;
  const TTrimRect full{Scaled(shown.left, dw, shownWidth), Scaled(shown.top, dh, shownHeight),
                       Scaled(shown.right, dw, shownWidth), Scaled(shown.bottom, dh, shownHeight)};
  TTrimRect r = StoredFromDisplayed(full, o, dw, dh);
  r = {std::clamp(r.left, 0, w), std::clamp(r.top, 0, h), std::clamp(r.right, 0, w), std::clamp(r.bottom, 0, h)};
  if (r.right <= r.left || r.bottom <= r.top) return false;
  const TCatalogItemBlock block = item.Block();
  item.SetTrimming(block.trimmingOn != 0, r, block.aspectX, block.aspectY);
  RaiseCatalogUpdateEvent(&item, cukTrimmingEdited);
  return true;
}

bool SwitchTrimming(TCatalogItem& item, bool on) {
  if (!Editable(item)) return false;
  const TCatalogItemBlock block = item.Block();
  item.SetTrimming(on, item.TrimRect(), block.aspectX, block.aspectY);
  RaiseCatalogUpdateEvent(&item, cukTrimmingSwitched);
  return true;
}

}  // namespace plb

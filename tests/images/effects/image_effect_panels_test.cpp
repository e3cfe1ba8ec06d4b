// The correction and trimming panels without widgets: list entries, the entry a record shows,
// the record a choice stores, trimming presets, and the item events they raise.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "engine/events/catalog_update_bus.h"
#include "images/effects/effect_panels.h"
#include "engine/model/file_kinds.h"
#include "platform/ui_dispatcher.h"

namespace plb {
namespace {

TEST(EffectPanel, ListEntries) {
  const auto exposure = ExposureEntries();
  ASSERT_EQ(exposure.size(), 21u);
  EXPECT_EQ(exposure[0].text, "-3.0");
  EXPECT_EQ(exposure[0].value, -100);
  EXPECT_EQ(exposure[9].text, "-0.3");
  EXPECT_EQ(exposure[10].text, "標準");
  EXPECT_EQ(exposure[11].text, "+0.3");
  EXPECT_EQ(exposure[20].value, 100);
  const auto gamma = GammaEntries();
  ASSERT_EQ(gamma.size(), 31u);
  EXPECT_EQ(gamma[0].text, "0.0");
  EXPECT_EQ(gamma[10].text, "標準");
  EXPECT_EQ(gamma[15].text, "1.5");
  EXPECT_EQ(gamma[30].value, 300);
  EXPECT_EQ(SharpnessEntries()[0].value, 37);
  EXPECT_EQ(FinishEntries()[6].text, "超硬調");
  EXPECT_EQ(ColorEntries()[4].text, "Ｒ→Ｇ→Ｂ");
  const auto etc = EtcEntries();
  ASSERT_EQ(etc.size(), 10u);
  EXPECT_EQ(etc[6].value, 39);
  EXPECT_EQ(etc[6].text, "鉛筆風");
}

TEST(EffectPanel, ChoiceShownForARecordAndRecordStoredForAChoice) {
  struct Case {
    TColorAdjustment record;
    TEffectPanelChoice shown;
  };
  auto rec = [](int32_t b, int32_t c, int32_t g, uint8_t f1, uint8_t f2, uint8_t f3) {
    TColorAdjustment r;
    r.meido = b, r.cont = c, r.gamma = g, r.filter1 = f1, r.filter2 = f2, r.filter3 = f3;
    return r;
  };
  const Case cases[] = {
      {rec(0, 0, 100, 0, 0, 0), {10, 10, 3, 3, 0, 0, false}},
      {rec(30, -15, 150, 8, 2, 22), {13, 15, 4, 2, 2, 8, false}},
      {rec(-250, 17, 9999, 99, 30, 35), {0, 30, 3, 3, 0, 0, true}},  // out of range: clamped or "標準"
      {rec(-100, 45, -20, 37, 7, 16), {0, 0, 0, 6, 7, 1, false}},
  };
  for (const Case& c : cases) {
    const TEffectPanelChoice got = EffectPanelChoiceOf(c.record);
    EXPECT_EQ(got.exposure, c.shown.exposure);
    EXPECT_EQ(got.gamma, c.shown.gamma);
    EXPECT_EQ(got.sharpness, c.shown.sharpness);
    EXPECT_EQ(got.finish, c.shown.finish);
    EXPECT_EQ(got.color, c.shown.color);
    EXPECT_EQ(got.etc, c.shown.etc);
    EXPECT_EQ(got.automatic, c.shown.automatic);
  }

  TColorAdjustment current;
  current.red = 20;
  current.blue = -5;
  const TColorAdjustment neutral = EffectRecordOf(TEffectPanelChoice{}, current);
  EXPECT_EQ(int{neutral.enabled}, 0);
  EXPECT_EQ(int{neutral.red}, 20);  // the gains stay the item's
  TEffectPanelChoice choice;
  choice.gamma = 12;
  choice.automatic = true;
  choice.etc = 5;
  const TColorAdjustment stored = EffectRecordOf(choice, current);
  EXPECT_EQ(int{stored.enabled}, 1);
  EXPECT_EQ(int{stored.gamma}, 120);
  EXPECT_EQ(int{stored.filter3}, 35);
  EXPECT_EQ(int{stored.blue}, -5);
}

TEST(TrimmingPanel, PresetsOnAPicture) {
  struct Case {
    int index;
    TTrimRect rect;
    uint16_t x, y;
  };
  const Case cases[] = {
      {0, {500, 375, 3500, 2625}, 0, 0},  {1, {500, 375, 3500, 2625}, 4000, 3000}, {2, {875, 375, 3125, 2625}, 1, 1},
      {5, {500, 656, 3500, 2344}, 16, 9}, {6, {1367, 375, 2633, 2625}, 9, 16},     {7, {500, 449, 3500, 2551}, 127, 89},
  };
  for (const Case& c : cases) {
    const TTrimSetup setup = TrimSetupForPreset(c.index, 4000, 3000);
    EXPECT_EQ(setup.rect, c.rect) << c.index;
    EXPECT_EQ(setup.aspect_x, c.x) << c.index;
    EXPECT_EQ(setup.aspect_y, c.y) << c.index;
  }
  EXPECT_EQ(AspectPresetText(3), "  パノラマ (横) 2 : 1");
  EXPECT_EQ(AspectPresetIndexOf(0, 0), 0);
  EXPECT_EQ(AspectPresetIndexOf(1, 1), 2);
  EXPECT_EQ(AspectPresetIndexOf(2032, 2540), 10);
  EXPECT_EQ(AspectPresetIndexOf(4000, 3000), 1);
}

// A frame placed on the displayed preview comes back where it was placed for every orientation:
// the stored rectangle is the displayed one turned back, and a frame past the edge is cut.
TEST(TrimmingPanel, AFramePlacedOnThePreviewIsStoredInThePicturesOwnOrientation) {
  for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    TCatalogItem photo;
    TCatalogItemBlock block = photo.Block();
    block.width = 4000;
    block.height = 3000;
    photo.SetBlock(block);
    photo.SetOrientation(orientation);
    const bool upright = orientation >= 5;
    const int32_t shownW = upright ? 180 : 240, shownH = upright ? 240 : 180;
    const TTrimRect placed{20, 30, 110, 150};
    ASSERT_TRUE(PlaceTrimFrame(photo, placed, shownW, shownH));
    EXPECT_EQ(photo.DisplayedTrimRect(shownW, shownH), placed);
    // In the picture's own pixels, inside it.
    const TTrimRect stored = photo.TrimRect();
    EXPECT_GE(stored.left, 0);
    EXPECT_GE(stored.top, 0);
    EXPECT_LE(stored.right, 4000);
    EXPECT_LE(stored.bottom, 3000);
    EXPECT_EQ((stored.right - stored.left) * (stored.bottom - stored.top), 1500 * 2000);
    // Past the right and bottom edges: cut at the picture's sides.
    ASSERT_TRUE(PlaceTrimFrame(photo, {100, 100, shownW + 50, shownH + 50}, shownW, shownH));
    EXPECT_EQ(photo.DisplayedTrimRect(shownW, shownH), (TTrimRect{100, 100, shownW, shownH}));
  }
  TCatalogItem photo, movie;
  TCatalogItemBlock block = photo.Block();
  block.width = 400;
  block.height = 300;
  photo.SetBlock(block);
  EXPECT_FALSE(PlaceTrimFrame(photo, {50, 50, 50, 80}, 400, 300)) << "an empty frame";
  EXPECT_FALSE(PlaceTrimFrame(photo, {500, 10, 600, 80}, 400, 300)) << "wholly outside";
  EXPECT_FALSE(PlaceTrimFrame(photo, {10, 10, 80, 80}, 0, 300));
  block.kind = fkMovie;
  movie.SetBlock(block);
  EXPECT_FALSE(PlaceTrimFrame(movie, {10, 10, 80, 80}, 400, 300));
}

TEST(Panels, StoringRaisesTheItemEventsAndMoviesAreLeftAlone) {
  platform::PumpedUiDispatcher ui;
  platform::ScopedUiDispatcher installed(ui);
  InitializeCatalogUpdater();
  std::mutex lock;
  std::vector<std::pair<TCatalogItem*, uint8_t>> events;
  int owner = 0;
  RegisterCatalogUpdateEvent(&owner, "TPanelTest", false, "OnUpdate", [&](TCatalogItem* item, uint8_t kind) {
    std::lock_guard guard(lock);
    events.emplace_back(item, kind);
  });
  TCatalogItem photo, movie;
  TCatalogItemBlock block = photo.Block();
  block.width = 400;
  block.height = 300;
  photo.SetBlock(block);
  block.kind = fkMovie;
  movie.SetBlock(block);

  TEffectPanelChoice choice;
  choice.exposure = 12;
  EXPECT_TRUE(StoreEffectChoice(photo, choice));
  EXPECT_EQ(int{photo.Color().meido}, 20);
  EXPECT_EQ(int{photo.Color().enabled}, 1);
  PrepareTrimming(photo);
  EXPECT_EQ(photo.TrimRect(), (TTrimRect{50, 37, 350, 262}));
  EXPECT_TRUE(SwitchTrimming(photo, true));
  EXPECT_TRUE(photo.TrimmingInForce());
  EXPECT_TRUE(ClearEffect(photo));
  EXPECT_EQ(photo.Color(), TColorAdjustment{});
  EXPECT_FALSE(StoreEffectChoice(movie, choice));
  EXPECT_FALSE(ChooseAspectPreset(movie, 2));
  EXPECT_FALSE(SwitchTrimming(movie, true));

  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard guard(lock);
      if (events.size() >= 4) break;
    }
    ui.PumpFor(10);
  }
  {
    std::lock_guard guard(lock);
    EXPECT_EQ(events, (std::vector<std::pair<TCatalogItem*, uint8_t>>{{&photo, cukEffectChanged},
                                                                      {&photo, cukTrimmingEdited},
                                                                      {&photo, cukTrimmingSwitched},
                                                                      {&photo, cukEffectChanged}}));
  }
  UnRegisterCatalogUpdateEvent(&owner, "OnUpdate");
  FinalizeCatalogUpdater();
}

}  // namespace
}  // namespace plb

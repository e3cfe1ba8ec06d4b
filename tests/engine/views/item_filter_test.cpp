// The marked-items filter: match all and match any over the condition bits.
#include "engine/views/item_filter.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/model/catalog_item.h"

namespace plb {
namespace {

TEST(ItemFilter, MatchAllAndMatchAnyKeepTheRightItems) {
  auto plain = std::make_unique<TCatalogItem>();
  auto favourite = std::make_unique<TCatalogItem>();
  favourite->SetMark(true);
  auto counted = std::make_unique<TCatalogItem>();
  counted->RaiseCounter();
  auto both = std::make_unique<TCatalogItem>();
  both->SetMark(true);
  both->RaiseCounter();
  auto ranked = std::make_unique<TCatalogItem>();
  ranked->SetFourLevelMark(2);
  ranked->SetSecondMark(true);
  const std::vector<TCatalogItem*> all = {plain.get(), favourite.get(), counted.get(),
                                          both.get(),  ranked.get(),    nullptr};

  struct Case {
    const char* what;
    uint32_t conditions;
    bool matchAll;
    std::vector<TCatalogItem*> kept;
  } cases[] = {
      {"mark and counter, all", scMark | scCounter, true, {both.get()}},
      {"mark and counter, any", scMark | scCounter, false, {favourite.get(), counted.get(), both.get()}},
      {"every item", scEvery, false, {plain.get(), favourite.get(), counted.get(), both.get(), ranked.get()}},
      {"every item, all", scEvery, true, {plain.get(), favourite.get(), counted.get(), both.get(), ranked.get()}},
      {"nothing chosen, all", 0, true, {}},
      {"nothing chosen, any", 0, false, {}},
      {"four-level 2 and any level", scFourLevel2 | scFourLevelAny, true, {ranked.get()}},
      {"four-level 1", scFourLevel1, false, {}},
      {"second mark", scSecondMark, false, {ranked.get()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<TCatalogItem*> items = all;
    OstraEngineSelectTargetItems(c.conditions, c.matchAll, items);
    EXPECT_EQ(items, c.kept);
  }
}

}  // namespace
}  // namespace plb

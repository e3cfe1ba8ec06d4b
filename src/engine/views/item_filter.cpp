#include "engine/views/item_filter.h"

#include <exception>

#include "engine/model/catalog_item.h"
#include "host/engine_error.h"

namespace plb {
namespace {

constexpr int kLastCondition = 7;

bool Holds(const TCatalogItem& item, int bit) {
  switch (bit) {
    case 1:
      return item.Mark();
    case 2:
      return item.FourLevelMark() == 1;
    case 3:
      return item.FourLevelMark() == 2;
    case 4:
      return item.FourLevelMark() == 3;
    case 5:
      return item.FourLevelMark() != 0;
    case 6:
      return item.Counter() != 0;
    case 7:
      return item.SecondMark();
    default:
      return false;
  }
}

}  // namespace

bool ItemMatchesConditions(const TCatalogItem& item, uint32_t conditions, bool matchAll) {
  if (matchAll) {
    if (conditions == 0) return false;
    for (int bit = 1; bit <= kLastCondition; ++bit) {
      if ((conditions & (1u << bit)) && !Holds(item, bit)) return false;
    }
    return true;
  }
  if (conditions & scEvery) return true;
  for (int bit = 1; bit <= kLastCondition; ++bit) {
    if ((conditions & (1u << bit)) && Holds(item, bit)) return true;
  }
  return false;
}

void OstraEngineSelectTargetItems(uint32_t conditions, bool matchAll, std::vector<TCatalogItem*>& items) {
  try {
    std::erase_if(
        items, [&](const TCatalogItem* item) { return !item || !ItemMatchesConditions(*item, conditions, matchAll); });
  } catch (const std::exception& e) {
    RaiseEngineOperationError(e, "OstraEngineSelectTargetItems");
  }
}

}  // namespace plb

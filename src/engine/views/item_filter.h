#pragma once
// The filter of the catalog listing that keeps only marked items.
#include <cstdint>
#include <vector>

namespace plb {

class TCatalogItem;

// Condition bits.
enum TSelectCondition : uint32_t {
  scEvery = 1u << 0,
  scMark = 1u << 1,          // favourite mark
  scFourLevel1 = 1u << 2,    // four-level mark 1
  scFourLevel2 = 1u << 3,    // four-level mark 2
  scFourLevel3 = 1u << 4,    // four-level mark 3
  scFourLevelAny = 1u << 5,  // four-level mark not 0
  scCounter = 1u << 6,       // counter not 0
  scSecondMark = 1u << 7,
};

// Whether one item passes. matchAll: at least one bit is set and every chosen condition of bits 1
// to 7 holds; otherwise bit 0 or any chosen condition. Conditions are tested in bit order and
// testing stops once the outcome is settled.
bool ItemMatchesConditions(const TCatalogItem& item, uint32_t conditions, bool matchAll);

// Takes out of items every entry that does not pass (and every null entry). Errors come as
// EOstraEngineError labelled "OstraEngineSelectTargetItems".
void OstraEngineSelectTargetItems(uint32_t conditions, bool matchAll, std::vector<TCatalogItem*>& items);

}  // namespace plb

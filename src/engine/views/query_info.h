#pragma once
// The filter of the catalog views: text patterns, date ranges and switches that an item must all
// pass to stay in a list.
#include <array>
#include <string>
#include <vector>

namespace plb {

class TCatalogItem;

struct TQueryInfoRecord {
  enum TextField { qtFileName = 0, qtFolderPath = 1, qtComment = 2, qtTitle = 3, qtSecondTitle = 4 };
  std::array<bool, 5> textOn{};
  std::array<std::string, 5> pattern;
  bool shootingDateOn = false;
  double shootingFrom = 0, shootingTo = 0;
  bool fileDateOn = false;
  double fileFrom = 0, fileTo = 0;
  bool markOnly = false;
  bool fourLevelMarkOnly = false;
  bool colorAdjustedOnly = false;
  bool moviesOnly = false;
  bool eyeFiOnly = false;

  // Every switch off, empty patterns, both ranges from yesterday 00:00 to today 00:00.
  static TQueryInfoRecord Fresh();
};

// The pieces of a pattern: folded to lower case and split at ";"; a ";" at the very end adds no
// piece.
std::vector<std::string> PatternPieces(const std::string& pattern);

// True when the item passes every test whose switch is on.
bool PassesQuery(const TQueryInfoRecord& query, const TCatalogItem& item);

}  // namespace plb

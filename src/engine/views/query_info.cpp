#include "engine/views/query_info.h"

#include <cmath>

#include "engine/model/catalog_item.h"
#include "engine/views/name_order.h"
#include "host/date_time.h"

namespace plb {

TQueryInfoRecord TQueryInfoRecord::Fresh() {
  TQueryInfoRecord q;
  const double today = std::floor(Now());
  q.shootingFrom = q.fileFrom = today - 1;
  q.shootingTo = q.fileTo = today;
  return q;
}

std::vector<std::string> PatternPieces(const std::string& pattern) {
  std::vector<std::string> pieces;
  const std::string folded = FoldCase(pattern);
  size_t start = 0;
  while (start < folded.size()) {
    size_t end = folded.find(';', start);
    if (end == std::string::npos) end = folded.size();
    pieces.push_back(folded.substr(start, end - start));
    start = end + 1;
  }
  // A separator first or twice in a row leaves an empty piece; only one at the very end adds none.
  return pieces;
}

namespace {

// Every piece must occur in the folded text; an empty piece occurs nowhere.
bool ContainsEveryPiece(const std::string& text, const std::vector<std::string>& pieces) {
  const std::string folded = FoldCase(text);
  for (const auto& piece : pieces) {
    if (piece.empty() || folded.find(piece) == std::string::npos) return false;
  }
  return true;
}

bool InRange(double v, double from, double to) {
  return v >= from && v <= to;
}

std::string TextOf(const TCatalogItem& item, int field) {
  switch (field) {
    case TQueryInfoRecord::qtFileName:
      return item.FileName();
    case TQueryInfoRecord::qtFolderPath:
      return item.FolderPath();
    case TQueryInfoRecord::qtComment:
      return item.Comment();
    case TQueryInfoRecord::qtTitle:
      return item.Title();
    default:
      return item.SecondTitle();
  }
}

}  // namespace

bool PassesQuery(const TQueryInfoRecord& q, const TCatalogItem& item) {
  for (int field = 0; field < 5; ++field) {
    if (!q.textOn[field]) continue;
    const std::vector<std::string> pieces = PatternPieces(q.pattern[field]);
    if (!pieces.empty() && !ContainsEveryPiece(TextOf(item, field), pieces)) return false;
  }
  const TCatalogItemBlock b = item.Block();
  if (q.shootingDateOn && !InRange(b.shootingDate, q.shootingFrom, q.shootingTo)) return false;
  if (q.fileDateOn && !InRange(b.fileDate, q.fileFrom, q.fileTo)) return false;
  if (q.markOnly && !(b.flags & cifMark)) return false;
  if (q.fourLevelMarkOnly && b.fourLevelMark == 0) return false;
  if (q.colorAdjustedOnly && !b.color.enabled) return false;
  if (q.moviesOnly && b.kind != fkMovie) return false;
  if (q.eyeFiOnly && item.ItemClass() != 1) return false;
  return true;
}

}  // namespace plb

#include "shell/grid/thumbnail_request_window.h"

#include <algorithm>
#include <unordered_set>

namespace plb::shell {

TThumbnailRequest BuildThumbnailRequest(const std::vector<TCatalogItem*>& cells, int firstCell, int windowCells,
                                        bool scrolledUp) {
  TThumbnailRequest request;
  const int count = static_cast<int>(cells.size());
  const int begin = std::clamp(firstCell, 0, count);
  const int end = std::clamp(begin + std::max(0, windowCells), begin, count);
  for (int i = begin; i < end; ++i) {
    if (TCatalogItem* item = cells[static_cast<size_t>(i)]) request.window.push_back(item);
  }
  request.list = request.window;
  const int ahead = 2 * (end - begin);
  if (scrolledUp) {
    for (int i = begin - 1; i >= std::max(0, begin - ahead); --i) {
      if (TCatalogItem* item = cells[static_cast<size_t>(i)]) request.list.push_back(item);
    }
  } else {
    for (int i = end; i < std::min(count, end + ahead); ++i) {
      if (TCatalogItem* item = cells[static_cast<size_t>(i)]) request.list.push_back(item);
    }
  }
  return request;
}

std::vector<TCatalogItem*> WindowFirst(const std::vector<TCatalogItem*>& window,
                                       const std::vector<TCatalogItem*>& shown) {
  std::vector<TCatalogItem*> out = window;
  const std::unordered_set<TCatalogItem*> first(window.begin(), window.end());
  out.reserve(shown.size());
  for (TCatalogItem* item : shown) {
    if (!first.count(item)) out.push_back(item);
  }
  return out;
}

}  // namespace plb::shell

#pragma once
// The thumbnails the grid asks for: the items on screen plus one row, then a look-ahead of twice
// as many cells in the direction of scrolling, so that the next screen is ready when it comes.
#include <vector>

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

struct TThumbnailRequest {
  std::vector<TCatalogItem*> window;  // the cells on screen plus one row, empty cells skipped
  std::vector<TCatalogItem*> list;    // the window followed by the look-ahead
};

// cells: the cell list; firstCell: the top row's first cell; windowCells: visible columns ×
// (visible rows + 1); scrolledUp: the top row moved up since the last request, so the look-ahead
// runs backwards from the window.
TThumbnailRequest BuildThumbnailRequest(const std::vector<TCatalogItem*>& cells, int firstCell, int windowCells,
                                        bool scrolledUp);

// With every shown item requested (the cache holds them all): the window's items first, in their
// order, then the other shown items.
std::vector<TCatalogItem*> WindowFirst(const std::vector<TCatalogItem*>& window,
                                       const std::vector<TCatalogItem*>& shown);

}  // namespace plb::shell

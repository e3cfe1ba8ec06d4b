#pragma once
// Composing many photos into one picture in one of nine styles: grids, a poster with one large
// photo, a frame mosaic, masks, a pile of tilted prints. Photos go to cells at random; the
// picture is rendered at the size of the chosen output kind.
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(ECollageMakerError, Error);

constexpr int kCollageStyles = 9;

// The style's display name ("シンプルグリッド", ...), "Unknown" for others.
std::string CollageStyleName(int style);

struct TCollageSettings {
  uint8_t style = 0;
  int32_t columns[kCollageStyles] = {3, 3, 3, 1, 3, 3, 4, 4, 5};
  int32_t rows[kCollageStyles] = {3, 3, 3, 1, 3, 3, 4, 4, 4};
  uint8_t sizeKind = 0;
  int32_t freeWidth = 1920, freeHeight = 1080;
  bool portrait = false;
  bool fixedMainImage = false;
  bool frameOn[kCollageStyles] = {false, false, false, false, false, false, false, false, true};
  int32_t frameWidth[kCollageStyles] = {1, 1, 1, 3, 1, 1, 1, 1, 5};
  uint32_t frameColor[kCollageStyles] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                         0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
  bool spacingOn[kCollageStyles] = {};
  int32_t spacingWidth[kCollageStyles] = {16, 16, 16, 100, 16, 16, 5, 5, 5};
  uint32_t spacingColor[kCollageStyles] = {};
  bool includeMargins = false;
  float scale = 1.0f;
  bool keepInside[kCollageStyles] = {false, false, false, false, false, false, false, false, true};

  int32_t Columns() const { return columns[style % kCollageStyles]; }
  int32_t Rows() const { return rows[style % kCollageStyles]; }
};

// The picture's size (photo area, or with margins when they are included), scaled.
TSize CollageCanvasSize(const TCollageSettings& settings);
// RGB: styles 3-8 the spacing colour, 0-2 the frame colour with the frame on, else white.
uint32_t CollageBackground(const TCollageSettings& settings);
// The rectangle of cell c on a canvas.
TRect CollageCellArea(const TCollageSettings& settings, TSize canvas, int32_t cell);

// One cell: its photo (or none), and the jitter and tilt the pile style uses.
struct TCollageItem {
  TCatalogItem* item = nullptr;
  double xJitter = 0, yJitter = 0;
  int32_t angle = 0;
  int32_t cell = 0;
};

// Which photo goes where.
struct TCollageLayout {
  TCatalogItem* main = nullptr;
  std::vector<TCollageItem> cells;  // in drawing order
};

// Assigns the sources to cells at random (photos repeat when there are fewer than cells; the
// frame mosaic leaves its interior empty, the wide poster all rows but the last).
TCollageLayout SetupTargetItems(const std::vector<TCatalogItem*>& sources, const TCollageSettings& settings,
                                TCatalogItem* previousMain, std::mt19937& random);

// Renders the collage; stop is asked before each cell and step called after it. A photo that
// cannot be decoded leaves its cell as the background shows it. Raises ECollageMakerError.
Bitmap RenderCollage(const TCollageLayout& layout, const TCollageSettings& settings,
                     const std::function<bool()>& stop = nullptr, const std::function<void()>& step = nullptr);

// The collage as saved: the photo area framed by the margins of its kind in the background
// colour, written as a JPEG under folder/name, or name(1), (2), ... when that is taken: an earlier
// collage is never replaced. Answers the path written.
std::string SaveCollage(const Bitmap& collage, const TCollageSettings& settings, const std::string& folder,
                        const std::string& name, int quality);

// The decode scale a photo needs for a target: full above one half, then 1/2, 1/4, 1/8.
int CalcLoadImageSize(int32_t itemWidth, int32_t itemHeight, int32_t targetWidth, int32_t targetHeight);

}  // namespace plb

#pragma once
// What one print job is made of: the settings of the page layout, the description of the paper it
// goes on, and the page count the layout gives.
#include <cstddef>
#include <cstdint>
#include <string>

namespace plb {

// Caption items: the file name with its extension, the shooting date.
constexpr uint16_t kCaptionFileName = 0x3;
constexpr uint16_t kCaptionShootingDate = 0x20;

struct TPrintSettings {
  int32_t cellMarginX = 10;  // tenths of a millimetre kept free inside each cell
  int32_t cellMarginY = 10;
  int32_t pageMarginX = 0;  // tenths of a millimetre kept free inside the page
  int32_t pageMarginY = 0;
  bool fillCell = false;    // the photo covers its cell, cut to the cell's shape
  bool squareCells = true;  // fitted photos go into the largest centred square of the cell
  bool printCaption = true;
  bool pageNumbers = false;
  bool applyAdjustment = true;
  bool applyOrientation = true;
  bool applyTrimming = true;
  uint16_t captionItems = 0;
  int32_t captionPointSize = 9;
  int32_t pageNumberPointSize = 9;
  int32_t columns = 1;  // 1..16
  int32_t rows = 1;     // 1..16
  int32_t fromPage = 1;
  int32_t toPage = 1;
  int32_t copies = 1;
  bool collate = true;
  uint32_t background = 0xFFFFFF;  // RGB
};

// The print panel's rules for a grid: a single cell has no cell margin and is not squared, and
// the caption is printed when any caption item is chosen.
void ApplyPanelRules(TPrintSettings& settings);

// ceil(items / (columns × rows)).
int32_t PrintPageCount(size_t items, const TPrintSettings& settings);

// The sheet in device pixels and tenths of a millimetre; conversions use 253.999 tenths an inch.
struct TPrinterInfoRec {
  std::string printerName;
  std::string paperName;
  std::string orientationText;
  int32_t physicalWidth = 0, physicalHeight = 0;  // device pixels
  int32_t offsetX = 0, offsetY = 0;               // printable area's distance from the corner
  int32_t printableWidth = 0, printableHeight = 0;
  int32_t resolutionX = 0, resolutionY = 0;  // pixels per inch
  double pixelsPerTenthX = 0, pixelsPerTenthY = 0;
};

// A sheet of width × height tenths of a millimetre at a resolution, printable to its edges (what
// a PDF file is): "( %.1nmm x %.1nmm )" as its paper name.
TPrinterInfoRec SheetInfo(const std::string& printerName, int32_t widthTenths, int32_t heightTenths, int32_t dpi);

// Device pixels to tenths of a millimetre, rounded.
int32_t PixelsToTenths(int32_t pixels, int32_t resolution);

constexpr const char* kPortraitText = "ポートレイト（縦）";
constexpr const char* kLandscapeText = "ランドスケープ （横）";
constexpr const char* kTooMuchCaption = "印刷情報が多すぎます。";
constexpr const char* kPrintDocumentName = "Plumora Browser";

}  // namespace plb

#include "output/print/print_settings.h"

#include <cmath>
#include <cstdio>

namespace plb {

namespace {
constexpr double kTenthsPerInch = 253.999;

// "1,234.5".
std::string OneDecimalGrouped(double value) {
  const int64_t tenths = static_cast<int64_t>(std::llround(value * 10));
  const std::string digits = std::to_string(tenths / 10);
  std::string whole;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) whole.push_back(',');
    whole.push_back(digits[i]);
  }
  whole.push_back('.');
  whole.append(std::to_string(tenths % 10));
  return whole;
}
}  // namespace

void ApplyPanelRules(TPrintSettings& s) {
  const bool single = s.columns == 1 && s.rows == 1;
  s.cellMarginX = s.cellMarginY = single ? 0 : 10;
  s.squareCells = !single;
  s.printCaption = s.captionItems != 0;
}

int32_t PrintPageCount(size_t items, const TPrintSettings& s) {
  const int64_t cells = int64_t{s.columns} * s.rows;
  if (cells <= 0) return 0;
  return static_cast<int32_t>((static_cast<int64_t>(items) + cells - 1) / cells);
}

int32_t PixelsToTenths(int32_t pixels, int32_t resolution) {
  return resolution > 0 ? static_cast<int32_t>(std::lround(pixels * kTenthsPerInch / resolution)) : 0;
}

TPrinterInfoRec SheetInfo(const std::string& printerName, int32_t widthTenths, int32_t heightTenths, int32_t dpi) {
  TPrinterInfoRec info;
  info.printerName = printerName;
  info.resolutionX = info.resolutionY = dpi;
  info.physicalWidth = info.printableWidth = static_cast<int32_t>(std::lround(widthTenths * dpi / kTenthsPerInch));
  info.physicalHeight = info.printableHeight = static_cast<int32_t>(std::lround(heightTenths * dpi / kTenthsPerInch));
  info.pixelsPerTenthX = info.pixelsPerTenthY = dpi / kTenthsPerInch;
  info.paperName.append("( ").append(OneDecimalGrouped(widthTenths / 10.0)).append("mm x ");
  info.paperName.append(OneDecimalGrouped(heightTenths / 10.0)).append("mm )");
  info.orientationText = widthTenths > heightTenths ? kLandscapeText : kPortraitText;
  return info;
}

}  // namespace plb

#pragma once
// The page layout of a print job: the page frame (background, page number, margins), the grid of
// cells, and in each cell the photo fitted into (or covering) its area with the caption below.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "images/codec/bitmap.h"
#include "output/print/print_canvas.h"
#include "output/print/print_settings.h"

namespace plb {

class TCatalogItem;

// Background, "( %d / %d )" at the foot when page numbers are on, page margins; answers the
// content rectangle.
TRect DrawPageFrame(IPrintCanvas& canvas, const TPrinterInfoRec& info, const TPrintSettings& settings, int32_t page,
                    int32_t pageCount);

// columns × rows cells of the content in reading order, each content ÷ columns wide and
// content ÷ rows high (rounded).
std::vector<TRect> SplitCells(const TRect& content, int32_t columns, int32_t rows);

// Where the parts of one cell go.
struct TCellGeometry {
  TRect pictureArea;
  TRect pictureRect;  // the drawn photo: fitted and centred, or the whole area when filling
  TRect captionRect;
  TSize drawnSize;  // the photo's size on the page
};
// picture: the photo's size as it is printed (trimmed and turned as the settings say).
TCellGeometry LayoutCell(const TRect& cell, const TPrintSettings& settings, const TPrinterInfoRec& info,
                         int32_t captionHeight, TSize picture);

// The caption lines of an item: its file name, its shooting date.
std::vector<std::string> CaptionLines(const TCatalogItem& item, const TPrintSettings& settings);

// The photo's size as printed.
TSize PrintedPictureSize(TCatalogItem& item, const TPrintSettings& settings);

// Decoded, trimmed, brought down to the drawn size (never up), turned and colour-adjusted.
Bitmap PrintPicture(const TCatalogItem& item, const TPrintSettings& settings, TSize drawnSize);

// The part of a picture of size that has the aspect of area, centred.
TRect CoverSourceRect(TSize picture, const TRect& area);

void DrawCell(IPrintCanvas& canvas, const TRect& cell, TCatalogItem& item, const TPrintSettings& settings,
              const TPrinterInfoRec& info);

// Prints pages from..to of items into one document. stop is asked before each page and cell;
// step is called after each cell. Answers false when stop ended it.
bool PrintPages(IPrintCanvas& canvas, const std::vector<TCatalogItem*>& items, const TPrintSettings& settings,
                const TPrinterInfoRec& info, const std::function<bool()>& stop, const std::function<void()>& step);

// Opens one document of a job: its name and the copies the printer makes of it.
using TOpenPrintDocument = std::function<std::unique_ptr<IPrintDocument>(const std::string& name, int32_t copies)>;

// The whole job: with collate, one document a copy named "Plumora Browser (n/N)"; otherwise one
// document that the printer copies. A document is aborted when stop ended it. Answers false then.
bool PrintJob(const TOpenPrintDocument& open, const std::vector<TCatalogItem*>& items, const TPrintSettings& settings,
              const TPrinterInfoRec& info, const std::function<bool()>& stop, const std::function<void()>& step);

}  // namespace plb

#include "output/print/page_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/model/catalog_item.h"
#include "host/date_time.h"
#include "images/codec/image_load.h"
#include "images/codec/save_jpeg_with_exif.h"
#include "images/effects/image_effect.h"
#include "images/scale/orientation.h"
#include "images/scale/resize.h"

namespace plb {

namespace {

int32_t Round(double v) { return static_cast<int32_t>(std::lround(v)); }

TRect Shrunk(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

bool Turns(const TCatalogItem& item, const TPrintSettings& s) {
  return s.applyOrientation && OrientationSwapsSides(item.Orientation());
}

}  // namespace

TRect DrawPageFrame(IPrintCanvas& canvas, const TPrinterInfoRec& info, const TPrintSettings& s, int32_t page,
                    int32_t pageCount) {
  // The printable area with the device's corner at 0, 0.
  TRect rect{0, 0, info.printableWidth, info.printableHeight};
  canvas.FillRect(rect, s.background);
  if (s.pageNumbers) {
    char text[64];
    std::snprintf(text, sizeof text, "( %d / %d )", page, pageCount);
    const std::vector<std::string> line{text};
    const int32_t h = canvas.TextHeight(line, s.pageNumberPointSize);
    canvas.DrawTextLines(TRect{rect.left, rect.bottom - h, rect.right, rect.bottom}, line, s.pageNumberPointSize);
    rect.bottom -= h;
  }
  return Shrunk(rect, Round(s.pageMarginX * info.pixelsPerTenthX), Round(s.pageMarginY * info.pixelsPerTenthY));
}

std::vector<TRect> SplitCells(const TRect& content, int32_t columns, int32_t rows) {
  std::vector<TRect> cells;
  if (columns < 1 || rows < 1) return cells;
  const int32_t w = Round(double(content.Width()) / columns);
  const int32_t h = Round(double(content.Height()) / rows);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < columns; ++c)
      cells.push_back(TRect{content.left + c * w, content.top + r * h, content.left + (c + 1) * w,
                            content.top + (r + 1) * h});
  return cells;
}

TCellGeometry LayoutCell(const TRect& cell, const TPrintSettings& s, const TPrinterInfoRec& info,
                         int32_t captionHeight, TSize picture) {
  const int32_t mx = Round(s.cellMarginX * info.pixelsPerTenthX);
  const int32_t my = Round(s.cellMarginY * info.pixelsPerTenthY);
  const TRect inner = Shrunk(cell, mx, my);
  TCellGeometry g;
  g.pictureArea = inner;
  if (s.printCaption) {
    g.pictureArea.bottom = inner.bottom - captionHeight - my;
    g.captionRect = TRect{inner.left, g.pictureArea.bottom + my, inner.right, inner.bottom};
  }
  TRect& area = g.pictureArea;
  if (area.Width() <= 1 || area.Height() <= 1 || picture.cx <= 0 || picture.cy <= 0) {
    g.pictureRect = TRect{area.left, area.top, area.left, area.top};
    return g;
  }
  if (!s.fillCell && s.squareCells) {
    const int32_t side = std::min(area.Width(), area.Height());
    const int32_t x = area.left + (area.Width() - side) / 2, y = area.top + (area.Height() - side) / 2;
    area = TRect{x, y, x + side, y + side};
  }
  const double rx = double(area.Width()) / picture.cx, ry = double(area.Height()) / picture.cy;
  const double scale = s.fillCell ? std::max(rx, ry) : std::min(rx, ry);
  g.drawnSize = TSize{static_cast<int32_t>(picture.cx * scale + 0.5), static_cast<int32_t>(picture.cy * scale + 0.5)};
  if (s.fillCell) {
    g.pictureRect = area;
  } else {
    const int32_t x = area.left + Round((area.Width() - g.drawnSize.cx) / 2.0);
    const int32_t y = area.top + Round((area.Height() - g.drawnSize.cy) / 2.0);
    g.pictureRect = TRect{x, y, x + g.drawnSize.cx, y + g.drawnSize.cy};
  }
  return g;
}

std::vector<std::string> CaptionLines(const TCatalogItem& item, const TPrintSettings& s) {
  std::vector<std::string> lines;
  if (!s.printCaption) return lines;
  if (s.captionItems & kCaptionFileName) lines.push_back(item.FileName());
  // A photo without a known date gets no date line rather than the zero date's 1899.
  if ((s.captionItems & kCaptionShootingDate) && item.ShootingDate() > 0)
    lines.push_back(FormatDateTime("yyyy/mm/dd hh:nn:ss", item.ShootingDate()));
  return lines;
}

TSize PrintedPictureSize(TCatalogItem& item, const TPrintSettings& s) {
  if (item.Width() <= 0 || item.Height() <= 0) item.ReadDimensions();
  TSize size{item.Width(), item.Height()};
  if (s.applyTrimming && item.TrimmingInForce()) {
    const TTrimRect r = item.TrimRect();
    size = TSize{r.right - r.left, r.bottom - r.top};
  }
  if (Turns(item, s)) std::swap(size.cx, size.cy);
  return size;
}

Bitmap PrintPicture(const TCatalogItem& item, const TPrintSettings& s, TSize drawn) {
  // The decode size is in the file's own orientation.
  if (Turns(item, s)) std::swap(drawn.cx, drawn.cy);
  Bitmap bitmap;
  LoadImageFile(bitmap, item.Kind(), item.FullPath(), nullptr, dsFull);
  if (bitmap.Empty()) return bitmap;
  if (s.applyTrimming && item.TrimmingInForce()) {
    const TTrimRect r = item.ScaledTrimRect(bitmap.Width(), bitmap.Height());
    if (r.right > r.left && r.bottom > r.top) CropBitmap(bitmap, TRect{r.left, r.top, r.right, r.bottom});
  }
  if (drawn.cx > 0 && drawn.cy > 0 && bitmap.Width() > drawn.cx && bitmap.Height() > drawn.cy) {
    try {
      ResizeBitmapTo(bitmap, drawn.cx, drawn.cy, nullptr, rmAuto);
    } catch (const std::exception&) {
      // Printed at its decoded size instead: the canvas scales it.
    }
  }
  if (s.applyOrientation) {
    const TOrientationTurn turn = TurnOfOrientation(item.Orientation());
    ApplyRotation(turn.rotation, turn.flipV, turn.flipH, bitmap);
  }
  if (s.applyAdjustment) {
    TColorAdjustment adjustment;
    {
      std::lock_guard lock(item.Lock());
      adjustment = item.Color();
    }
    ApplyItemEffect(bitmap, adjustment);
  }
  return bitmap;
}

TRect CoverSourceRect(TSize picture, const TRect& area) {
  if (area.Width() <= 0 || area.Height() <= 0) return TRect{0, 0, picture.cx, picture.cy};
  const double areaAspect = double(area.Width()) / area.Height();
  if (double(picture.cx) / picture.cy > areaAspect) {
    const int32_t w = Round(picture.cy * areaAspect);
    const int32_t x = (picture.cx - w) / 2;
    return TRect{x, 0, x + w, picture.cy};
  }
  const int32_t h = Round(picture.cx / areaAspect);
  const int32_t y = (picture.cy - h) / 2;
  return TRect{0, y, picture.cx, y + h};
}

void DrawCell(IPrintCanvas& canvas, const TRect& cell, TCatalogItem& item, const TPrintSettings& s,
              const TPrinterInfoRec& info) {
  std::vector<std::string> lines = CaptionLines(item, s);
  int32_t captionHeight = lines.empty() ? 0 : canvas.TextHeight(lines, s.captionPointSize);
  const int32_t innerHeight = cell.Height() - 2 * Round(s.cellMarginY * info.pixelsPerTenthY);
  if (captionHeight > innerHeight) {
    lines = {kTooMuchCaption};
    captionHeight = canvas.TextHeight(lines, s.captionPointSize);
  }
  const TCellGeometry g = LayoutCell(cell, s, info, captionHeight, PrintedPictureSize(item, s));
  if (g.pictureRect.Width() > 0 && g.pictureRect.Height() > 0) {
    const Bitmap picture = PrintPicture(item, s, g.drawnSize);
    if (!picture.Empty()) {
      const TSize size{picture.Width(), picture.Height()};
      const TRect source = s.fillCell ? CoverSourceRect(size, g.pictureArea) : TRect{0, 0, size.cx, size.cy};
      canvas.DrawPicture(picture, source, g.pictureRect);
    }
  }
  if (!lines.empty()) canvas.DrawTextLines(g.captionRect, lines, s.captionPointSize);
}

bool PrintPages(IPrintCanvas& canvas, const std::vector<TCatalogItem*>& items, const TPrintSettings& s,
                const TPrinterInfoRec& info, const std::function<bool()>& stop, const std::function<void()>& step) {
  const int32_t pageCount = PrintPageCount(items.size(), s);
  const size_t perPage = static_cast<size_t>(s.columns) * static_cast<size_t>(s.rows);
  const int32_t from = std::max(1, s.fromPage), to = std::min(pageCount, s.toPage);
  for (int32_t page = from; page <= to; ++page) {
    if (stop && stop()) return false;
    if (page != from) canvas.NewPage();
    const TRect content = DrawPageFrame(canvas, info, s, page, pageCount);
    const std::vector<TRect> cells = SplitCells(content, s.columns, s.rows);
    size_t index = static_cast<size_t>(page - 1) * perPage;
    for (const TRect& cell : cells) {
      if (index >= items.size()) break;
      if (stop && stop()) return false;
      try {
        DrawCell(canvas, cell, *items[index], s, info);
      } catch (const std::exception&) {
        // A photo that cannot be drawn leaves its cell empty; the page goes on.
      }
      ++index;
      if (step) step();
    }
    if (index >= items.size()) break;
  }
  return true;
}

bool PrintJob(const TOpenPrintDocument& open, const std::vector<TCatalogItem*>& items, const TPrintSettings& s,
              const TPrinterInfoRec& info, const std::function<bool()>& stop, const std::function<void()>& step) {
  const int32_t passes = s.collate ? std::max(1, s.copies) : 1;
  for (int32_t pass = 1; pass <= passes; ++pass) {
    if (stop && stop()) return false;
    std::string name = kPrintDocumentName;
    if (s.collate) name += " (" + std::to_string(pass) + "/" + std::to_string(passes) + ")";
    std::unique_ptr<IPrintDocument> document = open(name, s.collate ? 1 : std::max(1, s.copies));
    if (!PrintPages(*document, items, s, info, stop, step)) {
      document->Abort();
      return false;
    }
    document->Finish();
  }
  return true;
}

}  // namespace plb

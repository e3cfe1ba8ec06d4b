#pragma once
// How one cell of the catalog grid looks: background by state, the raised edge, the thumbnail or
// the placeholder of its file kind, the overlay icons, the caption lines and the day band above
// a header row.
#include <QColor>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "shell/grid/catalog_grid_layout.h"
#include "shell/grid/thumbnail_pixmaps.h"

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

inline const QColor kGridColor(0xFF, 0xFF, 0xFF);
inline const QColor kSelectionColor(0xC0, 0xC0, 0xC0);
inline const QColor kFavouriteColor(0x00, 0xFF, 0xFF);
inline const QColor kCalendarDayColor(0xFF, 0xDD, 0x95);

// Bits of the caption flags.
enum TCaptionBit : uint8_t {
  cbFileName = 1 << 0,
  cbTitle = 1 << 1,
  cbFileSize = 1 << 2,
  cbShootingDate = 1 << 3,
  cbUploadState = 1 << 4,
};

struct TCellLook {
  bool selected = false;
  bool focused = false;
  bool highlightFavourites = false;
  bool calendarDay = false;  // the current folder is a calendar day
  uint8_t captionFlags = 0;
  bool twoLineDate = false;  // the shooting date as date, line break, time
};

QColor CellBackground(const TCatalogItem& item, const TCellLook& look);
QString UploadStateWord(int state);
// The caption lines of an item in their order: name, title, size, date, upload state.
QStringList CaptionLines(const TCatalogItem& item, uint8_t flags, bool twoLineDate);

// The caption's lines as drawn in a box of width × height: each text wrapped over as many lines
// as it needs, the last line that fits ending in an ellipsis when text is left over.
struct TCaptionLine {
  QString text;
  int top = 0;
  int height = 0;
};
std::vector<TCaptionLine> LayOutCaption(const QStringList& lines, const QFont& font, int width, int height);
// The lines a caption of these flags takes (the date may take two).
int CaptionLineCount(uint8_t flags, bool twoLineDate);
// The band label of a day: 'yyyy"年"m"月"d"日 ("dddd")"'.
QString DayBandLabel(int64_t day);

void PaintItemCell(QPainter& p, const QRect& cell, const TGridGeometry& g, TCatalogItem& item, const TCellLook& look,
                   const TThumbnailPixmaps::Entry& thumbnail);
// A cell without an item: the grid colour.
void PaintEmptyCell(QPainter& p, const QRect& cell);
// The band across a header row: background, the folder class's icon (1 folder, 2 album, 3
// calendar, 4 tag) and the label in bold white; answers the label's width.
int PaintHeaderBand(QPainter& p, const QRect& band, const QString& label, int folderClass);

}  // namespace plb::shell

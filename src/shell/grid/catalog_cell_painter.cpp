#include "shell/grid/catalog_cell_painter.h"

#include <qdrawutil.h>

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPalette>
#include <QTextLayout>

#include "engine/model/catalog_item.h"
#include "host/date_time.h"
#include "host/format.h"
#include "shell/qt_text.h"

namespace plb::shell {
namespace {

// A small square badge with a glyph: the overlay icons.
void Badge(QPainter& p, int x, int y, const QColor& colour, const QString& glyph) {
  const QRect r(x, y, 14, 14);
  p.setPen(QColor(0x40, 0x40, 0x40));
  p.setBrush(colour);
  p.drawRoundedRect(r, 3, 3);
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, glyph);
}

void Star(QPainter& p, int x, int y) {
  QPainterPath path;
  const QPointF c(x + 7, y + 7);
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 == 0) ? 7.0 : 3.0;
    const double a = -M_PI / 2 + i * M_PI / 5;
    const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    if (i == 0)
      path.moveTo(pt);
    else
      path.lineTo(pt);
  }
  path.closeSubpath();
  p.setPen(QColor(0x80, 0x60, 0x00));
  p.setBrush(QColor(0xFF, 0xC8, 0x00));
  p.drawPath(path);
}

// The placeholder while the cache has no thumbnail: a sheet marked with the file kind.
void Placeholder(QPainter& p, const QRect& box, uint8_t kind) {
  static const char* const kWords[] = {"BMP", "JPG", "", "WMF", "THM", "RAW", "MOV", "SND"};
  const QRect sheet = box.adjusted(box.width() / 4, box.height() / 5, -box.width() / 4, -box.height() / 5);
  p.setPen(QColor(0x90, 0x90, 0x90));
  p.setBrush(QColor(0xF4, 0xF4, 0xF4));
  p.drawRect(sheet);
  p.setPen(kind == 6 ? QColor(0x30, 0x30, 0xA0) : QColor(0x60, 0x60, 0x60));
  p.drawText(sheet, Qt::AlignCenter, kind < 8 && kWords[kind][0] ? kWords[kind] : "JPG");
}

void Overlays(QPainter& p, const QRect& cell, TCatalogItem& item) {
  int x = cell.left() + 2;
  int y = cell.top() + 2;
  if (const int stars = item.FourLevelMark(); stars > 0) {
    for (int i = 0; i < std::min(stars, 4); ++i) Star(p, x + 8 * i, y);
    y += 16;
  }
  if (!item.TagsOfAlbumTypes(1u << 8).empty()) Badge(p, x, y, QColor(0x20, 0x80, 0x20), "T"), x += 16;
  if (item.Mark()) Badge(p, x, y, QColor(0xE0, 0x30, 0x60), "\u2665"), x += 16;
  if (item.SecondMark()) Badge(p, x, y, QColor(0x90, 0x20, 0x20), "\u00D7"), x += 16;
  if (item.Color().enabled) Badge(p, x, y, QColor(0x30, 0x60, 0xC0), "C"), x += 16;
  if (const uint16_t o = item.Orientation(); o != 1) {
    const int turns = OrientationQuarterTurns(o);
    if (turns != 0) Badge(p, x, y, QColor(0x50, 0x50, 0x50), turns == 1 ? "R" : turns == 3 ? "L" : "U"), x += 16;
    if (OrientationFlipsHorizontally(o) || OrientationFlipsVertically(o)) {
      Badge(p, x, y, QColor(0x50, 0x50, 0x50), OrientationFlipsHorizontally(o) ? "H" : "V"), x += 16;
    }
  }
  if (item.TrimmingInForce()) Badge(p, x, y, QColor(0x80, 0x40, 0x80), "#"), x += 16;
  const int right = cell.right() - 16;
  int top = cell.top() + 2;
  if (item.Kind() == 6) Badge(p, right, top, QColor(0x20, 0x20, 0x20), "\u25B6"), top += 16;
  if (item.Flags() & cifReadOnly) Badge(p, right, top, QColor(0x70, 0x70, 0x70), "R"), top += 16;
  if (!QString::fromStdString(item.Comment()).trimmed().isEmpty())
    Badge(p, right, top, QColor(0xC0, 0x90, 0x20), "\u2026");
  // Print reservations along the bottom, wrapping upwards.
  const int count = item.Counter();
  int px = cell.left() + 2;
  int py = cell.bottom() - 16;
  for (int i = 0; i < count; ++i) {
    if (px + 16 > cell.right() - 32) {
      px = cell.left() + 2;
      py -= 16;
    }
    Badge(p, px, py, QColor(0x20, 0x60, 0x90), "P");
    px += 16;
  }
}

void Caption(QPainter& p, const QRect& box, const QStringList& lines) {
  qDrawShadePanel(&p, box, QPalette(QColor(0xD4, 0xD0, 0xC8)), true, 1, nullptr);
  const QRect text = box.adjusted(2, 2, -2, -2);
  p.fillRect(text, Qt::white);
  p.setPen(Qt::black);
  for (const TCaptionLine& line : LayOutCaption(lines, p.font(), text.width(), text.height()))
    p.drawText(QRect(text.left(), text.top() + line.top, text.width(), line.height), Qt::AlignLeft | Qt::AlignVCenter,
               line.text);
}

}  // namespace

std::vector<TCaptionLine> LayOutCaption(const QStringList& lines, const QFont& font, int width, int height) {
  std::vector<TCaptionLine> out;
  const QFontMetrics fm(font);
  QStringList paragraphs;
  for (const QString& line : lines)
    for (const QString& part : line.split('\n')) paragraphs << part.trimmed();
  int y = 0;
  for (int n = 0; n < paragraphs.size(); ++n) {
    const QString& paragraph = paragraphs[n];
    // A long name goes on over the next lines, broken between words where it can be and
    // anywhere where it cannot (file names have no spaces).
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      if (y + fm.height() > height) return out;
      const bool lastRoom = y + 2 * fm.height() > height;
      const bool more = line.textStart() + line.textLength() < paragraph.size() || n + 1 < paragraphs.size();
      QString shown = paragraph.mid(line.textStart(), line.textLength()).trimmed();
      if (lastRoom && more) {
        // The last line that fits ends with an ellipsis: the text left over does not show.
        QString rest = paragraph.mid(line.textStart()).trimmed();
        if (n + 1 < paragraphs.size()) rest += QStringLiteral(" \u2026");
        shown = fm.elidedText(rest, Qt::ElideRight, width);
      }
      out.push_back({shown, y, fm.height()});
      y += fm.height();
    }
    layout.endLayout();
  }
  return out;
}

QColor CellBackground(const TCatalogItem& item, const TCellLook& look) {
  if (look.highlightFavourites && item.Mark()) return kFavouriteColor;
  if (look.selected) return kSelectionColor;
  switch (item.UploaderValue(0)) {
    case 1:
      return QColor(0xEC, 0xE9, 0xD8);
    case 2:
    case 3:
    case 4:
      return QColor(0xFF, 0xB5, 0x1E);
    case 5:
      return QColor(0xFF, 0xDD, 0x95);
    case 6:
      return QColor(0xFF, 0x93, 0x76);
    default:
      break;
  }
  return look.calendarDay ? kCalendarDayColor : kGridColor;
}

QString UploadStateWord(int state) {
  static const char* const kWords[] = {"追加予定", "追加待ち", "追加準備中", "追加準備済み",
                                       "追加中",   "追加済み", "エラー"};
  return state >= 0 && state <= 6 ? QString::fromUtf8(kWords[state]) : QStringLiteral("不明");
}

QStringList CaptionLines(const TCatalogItem& item, uint8_t flags, bool twoLineDate) {
  QStringList lines;
  if (flags & cbFileName) lines << Utf8(item.FileName());
  if (flags & cbTitle) lines << Utf8(item.Title());
  if (flags & cbFileSize) lines << Utf8(FormatFloat("#,##0", static_cast<double>(item.FileSize())));
  if (flags & cbShootingDate) {
    const double date = item.ShootingDate();
    lines << (date == 0 ? QString() : Utf8(FormatDateTime(twoLineDate ? "ddddd\"\n\"tt" : "c", date)));
  }
  if (flags & cbUploadState) lines << UploadStateWord(item.UploaderValue(0));
  return lines;
}

int CaptionLineCount(uint8_t flags, bool twoLineDate) {
  int n = 0;
  for (int bit = 0; bit < 5; ++bit) n += (flags >> bit) & 1;
  if ((flags & cbShootingDate) && twoLineDate) ++n;
  return n;
}

QString DayBandLabel(int64_t day) {
  return Utf8(FormatDateTime("yyyy\"年\"m\"月\"d\"日 (\"dddd\")\"", static_cast<double>(day)));
}

void PaintItemCell(QPainter& p, const QRect& cell, const TGridGeometry& g, TCatalogItem& item, const TCellLook& look,
                   const TThumbnailPixmaps::Entry& thumbnail) {
  p.save();
  // Narrow columns never let a cell paint into its neighbour.
  p.setClipRect(cell, Qt::IntersectClip);
  p.fillRect(cell, CellBackground(item, look));
  qDrawShadePanel(&p, cell, QPalette(QColor(0xD4, 0xD0, 0xC8)), false, 1, nullptr);
  const QRect box(cell.left() + g.box.left, cell.top() + g.box.top, g.box.width, g.box.height);
  if (thumbnail.pixmap.isNull()) {
    Placeholder(p, box, item.Kind());
  } else {
    const QRect image = thumbnail.rect.translated(box.topLeft());
    if (thumbnail.stretch) {
      p.setRenderHint(QPainter::SmoothPixmapTransform, true);
      p.drawPixmap(image, thumbnail.pixmap);
      qDrawShadePanel(&p, image.adjusted(-1, -1, 1, 1), QPalette(QColor(0xD4, 0xD0, 0xC8)), true, 1, nullptr);
    } else {
      p.drawPixmap(image.topLeft(), thumbnail.pixmap);
    }
  }
  Overlays(p, cell, item);
  if (look.captionFlags != 0 && g.caption.height > 0) {
    const QRect captionBox(cell.left() + g.caption.left, cell.top() + g.caption.top, g.caption.width, g.caption.height);
    Caption(p, captionBox, CaptionLines(item, look.captionFlags, look.twoLineDate));
  }
  if (look.focused) {
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(cell.adjusted(2, 2, -3, -3));
  }
  p.restore();
}

void PaintEmptyCell(QPainter& p, const QRect& cell) {
  p.fillRect(cell, kGridColor);
}

int PaintHeaderBand(QPainter& p, const QRect& band, const QString& label, int folderClass) {
  QLinearGradient gradient(band.topLeft(), band.bottomLeft());
  gradient.setColorAt(0, QColor(0x6A, 0x8C, 0xB8));
  gradient.setColorAt(1, QColor(0x3E, 0x5E, 0x8A));
  p.fillRect(band, gradient);
  static const char* const kIcons[] = {"", "F", "A", "C", "T"};
  Badge(p, band.left() + 4, band.top() + 4, QColor(0x22, 0x33, 0x55), kIcons[std::clamp(folderClass, 0, 4)]);
  QFont bold = p.font();
  bold.setBold(true);
  p.save();
  p.setFont(bold);
  p.setPen(Qt::white);
  const int width = QFontMetrics(bold).horizontalAdvance(label);
  p.drawText(QRect(band.left() + 24, band.top(), band.width() - 24, band.height()), Qt::AlignLeft | Qt::AlignVCenter,
             label);
  p.restore();
  return width;
}

}  // namespace plb::shell

#include "shell/output/qt_print_document.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QStringList>

namespace plb::shell {

namespace {
QRect ToQRect(const TRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
}  // namespace

QString CaptionFontFamily() { return QStringLiteral("Noto Sans CJK JP"); }

TQtPrintDocument::TQtPrintDocument(QPagedPaintDevice* device, QPrinter* printer, QString pdfPath)
    : device_(device), printer_(printer), pdfPath_(std::move(pdfPath)) {
  // The painter's origin is the printable area's corner, where the layout starts its page.
  painter_.begin(device_);
}

TQtPrintDocument::~TQtPrintDocument() {
  if (painter_.isActive()) painter_.end();
}

void TQtPrintDocument::NewPage() { device_->newPage(); }

void TQtPrintDocument::FillRect(const TRect& rect, uint32_t rgb) {
  painter_.fillRect(ToQRect(rect), QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

void TQtPrintDocument::DrawPicture(const Bitmap& picture, const TRect& source, const TRect& target) {
  // The bitmap stores B, G, R; 24-bit rows.
  const QImage image(picture.Pixel(0, 0), picture.Width(), picture.Height(), static_cast<qsizetype>(picture.Stride()),
                     picture.PixelFormat() == pf32Bit ? QImage::Format_RGB32 : QImage::Format_BGR888);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_.drawImage(ToQRect(target), image, ToQRect(source));
}

QFont TQtPrintDocument::FontOf(int32_t pointSize) const {
  QFont font(CaptionFontFamily());
  font.setPointSize(pointSize);
  return font;
}

int32_t TQtPrintDocument::TextHeight(const std::vector<std::string>& lines, int32_t pointSize) {
  const QFontMetrics metrics(FontOf(pointSize), device_);
  return metrics.lineSpacing() * static_cast<int32_t>(lines.size());
}

void TQtPrintDocument::DrawTextLines(const TRect& rect, const std::vector<std::string>& lines, int32_t pointSize) {
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  painter_.setFont(FontOf(pointSize));
  painter_.setPen(Qt::black);
  painter_.drawText(ToQRect(rect), Qt::AlignHCenter | Qt::AlignTop, text.join('\n'));
}

void TQtPrintDocument::Finish() {
  if (painter_.isActive()) painter_.end();
}

void TQtPrintDocument::Abort() {
  if (printer_) printer_->abort();
  if (painter_.isActive()) painter_.end();
  if (!pdfPath_.isEmpty()) QFile::remove(pdfPath_);
}

TPrinterInfoRec PrinterInfoOf(QPrinter& printer) {
  TPrinterInfoRec info;
  info.printerName = printer.printerName().toStdString();
  const QPageLayout layout = printer.pageLayout();
  info.paperName = layout.pageSize().name().toStdString();
  info.orientationText = layout.orientation() == QPageLayout::Portrait ? kPortraitText : kLandscapeText;
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
  info.physicalWidth = paper.width();
  info.physicalHeight = paper.height();
  info.offsetX = page.left() - paper.left();
  info.offsetY = page.top() - paper.top();
  info.printableWidth = page.width();
  info.printableHeight = page.height();
  info.resolutionX = printer.logicalDpiX();
  info.resolutionY = printer.logicalDpiY();
  info.pixelsPerTenthX = info.resolutionX / 253.999;
  info.pixelsPerTenthY = info.resolutionY / 253.999;
  return info;
}

}  // namespace plb::shell

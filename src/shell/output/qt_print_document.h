#pragma once
// The printer document of a Qt paint device: a printer (through the system's spooler) or a PDF
// writer. Device pixels with the sheet's corner at 0, 0, as the page layout draws.
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <memory>

#include "output/print/print_canvas.h"
#include "output/print/print_settings.h"

namespace plb::shell {

class TQtPrintDocument : public IPrintDocument {
 public:
  // device must outlive the document; pdfPath names the file a PDF writer writes (removed when
  // the document is aborted), empty for a printer.
  TQtPrintDocument(QPagedPaintDevice* device, QPrinter* printer, QString pdfPath = {});
  ~TQtPrintDocument() override;

  void NewPage() override;
  void FillRect(const TRect& rect, uint32_t rgb) override;
  void DrawPicture(const Bitmap& picture, const TRect& source, const TRect& target) override;
  int32_t TextHeight(const std::vector<std::string>& lines, int32_t pointSize) override;
  void DrawTextLines(const TRect& rect, const std::vector<std::string>& lines, int32_t pointSize) override;
  void Finish() override;
  void Abort() override;

 private:
  QFont FontOf(int32_t pointSize) const;

  QPagedPaintDevice* device_;
  QPrinter* printer_;
  QString pdfPath_;
  QPainter painter_;
};

// The sheet of a printer as the layout sees it: printable area, offsets, resolution.
TPrinterInfoRec PrinterInfoOf(QPrinter& printer);

// The caption font: a Japanese sans-serif face.
QString CaptionFontFamily();

}  // namespace plb::shell

#include "shell/output/print_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "output/print/page_layout.h"
#include "shell/output/print_spooler.h"
#include "shell/output/qt_print_document.h"

namespace plb::shell {

namespace {

QCheckBox* Check(const char* name, const QString& text, bool on, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  box->setChecked(on);
  return box;
}

}  // namespace

TFramePrint::TFramePrint(std::vector<TCatalogItem*> items, QWidget* parent) : QDialog(parent) {
  setObjectName("TFramePrint");
  setWindowTitle(QStringLiteral("写真の印刷"));
  for (TCatalogItem* item : items) {
    if (item && !item->Unavailable() && item->Kind() != fkMovie && item->Kind() != fkSound) items_.push_back(item);
  }
  auto* layout = new QVBoxLayout(this);

  auto* printerGroup = new QGroupBox(QStringLiteral("プリンター"), this);
  auto* printerLayout = new QVBoxLayout(printerGroup);
  printer_ = new QLabel(printerGroup);
  const QPrinterInfo defaultPrinter = QPrinterInfo::defaultPrinter();
  if (defaultPrinter.isNull()) {
    printer_->setText(QStringLiteral("Printer not Found"));
    printer_->setStyleSheet(QStringLiteral("color: red"));
  } else {
    printerName_ = defaultPrinter.printerName().toStdString();
    printer_->setText(defaultPrinter.printerName() + "\n" + defaultPrinter.defaultPageSize().name() + "\n" +
                      QString::fromUtf8(kLandscapeText));
  }
  printerLayout->addWidget(printer_);
  layout->addWidget(printerGroup);

  auto* grid = new QGroupBox(QStringLiteral("レイアウト"), this);
  auto* gridLayout = new QGridLayout(grid);
  cols_ = new QSpinBox(grid);
  cols_->setObjectName("SpinCols");
  rows_ = new QSpinBox(grid);
  rows_->setObjectName("SpinRows");
  for (QSpinBox* spin : {cols_, rows_}) spin->setRange(1, 16);
  gridLayout->addWidget(new QLabel(QStringLiteral("横"), grid), 0, 0);
  gridLayout->addWidget(cols_, 0, 1);
  gridLayout->addWidget(new QLabel(QStringLiteral("縦"), grid), 0, 2);
  gridLayout->addWidget(rows_, 0, 3);
  pageNumbers_ = Check("CBPageNumber", QStringLiteral("ページ番号"), false, grid);
  fill_ = Check("CBFill", QStringLiteral("領域一杯に印刷する"), false, grid);
  gridLayout->addWidget(pageNumbers_, 1, 0, 1, 2);
  gridLayout->addWidget(fill_, 1, 2, 1, 2);
  pages_ = new QLabel(grid);
  gridLayout->addWidget(pages_, 2, 0, 1, 4);
  layout->addWidget(grid);

  auto* info = new QGroupBox(QStringLiteral("写真情報"), this);
  auto* infoLayout = new QHBoxLayout(info);
  fileName_ = Check("CBFileName", QStringLiteral("ファイル名"), false, info);
  shootingDate_ = Check("CBExifDate", QStringLiteral("撮影日時"), false, info);
  infoLayout->addWidget(fileName_);
  infoLayout->addWidget(shootingDate_);
  layout->addWidget(info);

  auto* edits = new QGroupBox(QStringLiteral("補正"), this);
  auto* editsLayout = new QVBoxLayout(edits);
  adjustment_ = Check("CBEffect", QStringLiteral("補正を反映させる"), true, edits);
  orientation_ = Check("CBRotate", QStringLiteral("回転を反映させる"), true, edits);
  trimming_ = Check("CBTrimming", QStringLiteral("切り抜きを反映させる"), true, edits);
  for (QCheckBox* box : {adjustment_, orientation_, trimming_}) editsLayout->addWidget(box);
  layout->addWidget(edits);

  progress_ = new QProgressBar(this);
  progress_->setVisible(false);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  print_ = new QPushButton(QStringLiteral("印刷を実行する"), this);
  print_->setObjectName("AcPrintPrint");
  pdf_ = new QPushButton(QStringLiteral("PDFに出力..."), this);
  pdf_->setObjectName("AcPrintPdf");
  abort_ = new QPushButton(QStringLiteral("印刷を中止する"), this);
  abort_->setObjectName("AcPrintAbort");
  abort_->setEnabled(false);
  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  for (QPushButton* b : {print_, pdf_, abort_, close}) buttons->addWidget(b);
  layout->addLayout(buttons);
  connect(print_, &QPushButton::clicked, this, &TFramePrint::AcPrintPrint);
  connect(pdf_, &QPushButton::clicked, this, &TFramePrint::AcPrintPdf);
  connect(abort_, &QPushButton::clicked, this, &TFramePrint::AcPrintAbort);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  const auto refresh = [this] {
    pages_->setText(QStringLiteral("%1 枚 / %2 ページ").arg(items_.size()).arg(PrintPageCount(items_.size(), Settings())));
  };
  connect(cols_, &QSpinBox::valueChanged, this, refresh);
  connect(rows_, &QSpinBox::valueChanged, this, refresh);
  refresh();
}

TPrintSettings TFramePrint::Settings() const {
  TPrintSettings s;
  s.columns = cols_->value();
  s.rows = rows_->value();
  s.pageNumbers = pageNumbers_->isChecked();
  s.fillCell = fill_->isChecked();
  s.applyAdjustment = adjustment_->isChecked();
  s.applyOrientation = orientation_->isChecked();
  s.applyTrimming = trimming_->isChecked();
  s.captionItems = (fileName_->isChecked() ? kCaptionFileName : 0) | (shootingDate_->isChecked() ? kCaptionShootingDate : 0);
  ApplyPanelRules(s);
  s.fromPage = 1;
  s.toPage = PrintPageCount(items_.size(), s);
  return s;
}

bool TFramePrint::Run(const std::function<bool()>& job) {
  busy_ = true;
  abortRequested_ = false;
  print_->setEnabled(false);
  pdf_->setEnabled(false);
  abort_->setEnabled(true);
  progress_->setVisible(true);
  progress_->setValue(0);
  bool done = false;
  try {
    done = job();
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromStdString(e.what()));
  }
  busy_ = false;
  print_->setEnabled(true);
  pdf_->setEnabled(true);
  abort_->setEnabled(false);
  progress_->setVisible(false);
  return done;
}

bool TFramePrint::PrintToPdf(const QString& path) {
  if (items_.empty() || busy_) return false;
  // A file holds each page once: copies are a printer's business.
  TPrintSettings s = Settings();
  s.copies = 1;
  s.collate = false;
  return Run([&] {
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    writer.setCreator(QString::fromUtf8(kPrintDocumentName));
    const QSize sheet = writer.pageLayout().fullRectPixels(300).size();
    TPrinterInfoRec info;
    info.printerName = "PDF";
    info.physicalWidth = info.printableWidth = sheet.width();
    info.physicalHeight = info.printableHeight = sheet.height();
    info.resolutionX = info.resolutionY = 300;
    info.pixelsPerTenthX = info.pixelsPerTenthY = 300 / 253.999;
    const int total = static_cast<int>(std::min<size_t>(items_.size(), size_t(s.columns) * s.rows * (s.toPage - s.fromPage + 1)));
    progress_->setRange(0, total);
    const auto open = [&](const std::string& name, int32_t) -> std::unique_ptr<IPrintDocument> {
      writer.setTitle(QString::fromStdString(name));
      return std::make_unique<TQtPrintDocument>(&writer, nullptr, path);
    };
    return PrintJob(open, items_, s, info, [this] { return abortRequested_.load(); },
                    [this] {
                      progress_->setValue(progress_->value() + 1);
                      QApplication::processEvents();
                    });
  });
}

void TFramePrint::AcPrintPdf() {
  const QString path = QFileDialog::getSaveFileName(this, windowTitle(), QString(), QStringLiteral("PDF (*.pdf)"));
  if (!path.isEmpty()) PrintToPdf(path);
}

void TFramePrint::AcPrintPrint() {
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    QApplication::beep();
    QMessageBox::critical(this, windowTitle(), QStringLiteral("プリンターがインストールされていません。"));
    return;
  }
  if (busy_) {
    QApplication::beep();
    QMessageBox::critical(this, windowTitle(), QStringLiteral("現在印刷処理中です。いましばらくお待ち下さい。"));
    return;
  }
  if (items_.empty()) return;
  TPrintSettings s = Settings();
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dialog(&printer, this);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setMinMax(1, s.toPage);
  if (dialog.exec() != QDialog::Accepted) return;
  if (printer.printRange() == QPrinter::PageRange) {
    s.fromPage = std::max(1, printer.fromPage());
    s.toPage = std::min(s.toPage, printer.toPage());
  }
  s.copies = printer.copyCount();
  s.collate = printer.collateCopies();
  printerName_ = printer.printerName().toStdString();
  const TPrinterInfoRec info = PrinterInfoOf(printer);
  Run([&] {
    progress_->setRange(0, static_cast<int>(items_.size()));
    const auto open = [&](const std::string& name, int32_t copies) -> std::unique_ptr<IPrintDocument> {
      printer.setDocName(QString::fromStdString(name));
      printer.setCopyCount(copies);
      return std::make_unique<TQtPrintDocument>(&printer, &printer);
    };
    return PrintJob(open, items_, s, info, [this] { return abortRequested_.load(); },
                    [this] {
                      progress_->setValue(progress_->value() + 1);
                      QApplication::processEvents();
                    });
  });
  QApplication::beep();
}

void TFramePrint::AcPrintAbort() {
  QApplication::beep();
  if (QMessageBox::question(this, windowTitle(), QString::fromUtf8(kAbortPrintQuestion).replace("\r\n", "\n")) !=
      QMessageBox::Yes)
    return;
  if (busy_) abortRequested_ = true;
  // Only this program's documents; other programs' stay in the queue.
  CancelOwnPrintJobs(printerName_);
}

}  // namespace plb::shell

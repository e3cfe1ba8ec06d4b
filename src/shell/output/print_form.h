#pragma once
// The print tool ("写真の印刷"): the layout settings of a job, printing on the system's printer
// through its print dialog or into a PDF file, with progress and abort.
#include <QDialog>
#include <atomic>
#include <string>
#include <vector>

#include "output/print/print_settings.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TFramePrint : public QDialog {
  Q_OBJECT
 public:
  // items: the selection; movies, sounds and unavailable items are left out.
  explicit TFramePrint(std::vector<TCatalogItem*> items, QWidget* parent = nullptr);

  const std::vector<TCatalogItem*>& Items() const { return items_; }
  // The settings as the panel shows them (panel rules applied).
  TPrintSettings Settings() const;
  // Prints into a PDF file without asking (the "PDFに出力..." action after its file dialog).
  // False when stopped or nothing was printed.
  bool PrintToPdf(const QString& path);
  bool Busy() const { return busy_; }

 public slots:
  void AcPrintPrint();
  void AcPrintAbort();
  void AcPrintPdf();

 private:
  bool Run(const std::function<bool()>& job);

  std::vector<TCatalogItem*> items_;
  QSpinBox* cols_ = nullptr;
  QSpinBox* rows_ = nullptr;
  QCheckBox* fileName_ = nullptr;
  QCheckBox* shootingDate_ = nullptr;
  QCheckBox* pageNumbers_ = nullptr;
  QCheckBox* fill_ = nullptr;
  QCheckBox* adjustment_ = nullptr;
  QCheckBox* orientation_ = nullptr;
  QCheckBox* trimming_ = nullptr;
  QLabel* printer_ = nullptr;
  QLabel* pages_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* print_ = nullptr;
  QPushButton* pdf_ = nullptr;
  QPushButton* abort_ = nullptr;
  std::atomic<bool> abortRequested_{false};
  bool busy_ = false;
  std::string printerName_;
};

constexpr const char* kAbortPrintQuestion =
    "印刷処理を中止してよろしいですか？\r\n\r\n（印刷を中止した場合、印刷されていないデータは失われます。）";

}  // namespace plb::shell

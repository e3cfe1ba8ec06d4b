#pragma once
// A printer document that is a PDF file: pages of the sheet's size, photos as embedded JPEG
// images, captions in a Japanese CID font the reader supplies. The file is written through a
// staging file beside it and appears only when the document is finished; an aborted document
// leaves nothing. Several documents of one job can go into one file (one after the other).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/print/print_canvas.h"
#include "output/print/print_settings.h"
#include "platform/atomic_file.h"

namespace plb {

class TPdfFile {
 public:
  // Pages of info's sheet; EWriteError when the file cannot be made.
  TPdfFile(const std::string& path, const TPrinterInfoRec& info, int jpegQuality = 92);
  ~TPdfFile();
  TPdfFile(const TPdfFile&) = delete;
  TPdfFile& operator=(const TPdfFile&) = delete;

  // A document that adds its pages to this file; finishing it keeps them.
  std::unique_ptr<IPrintDocument> OpenDocument();
  // Writes the page tree and renames the file into place; false (and no file) without pages.
  bool Close();
  int PageCount() const { return static_cast<int>(pages_.size()); }

 private:
  friend class TPdfDocument;
  int NewObject();
  void BeginObject(int number);
  void Write(const std::string& text);
  void WriteStreamObject(int number, const std::string& dictionary, const std::string& data);
  void EndPage(const std::string& content, const std::vector<int>& images);

  TPrinterInfoRec info_;
  int quality_;
  AtomicFileWriter writer_;
  uint64_t written_ = 0;
  std::vector<uint64_t> offsets_;  // by object number - 1
  std::vector<int> pages_;
  bool closed_ = false;
};

}  // namespace plb

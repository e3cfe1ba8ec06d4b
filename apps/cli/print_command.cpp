// plb print: lays photos out on pages, several to a page in a grid, each fitted into (or
// covering) its cell with its file name and shooting date below, and writes the pages as a PDF
// file, as the print tool would send them to a printer.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine_session.h"
#include "number_options.h"
#include "output/print/page_layout.h"
#include "output/print/pdf_document.h"
#include "output/print/print_settings.h"
#include "photo_items.h"
#include "platform/error.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::string pdf;
  std::vector<std::string> files;
  TPrintSettings settings;
  std::vector<std::string> captions;
  std::string pages;
  bool portrait = false;
  int dpi = 300;
};

void ParseLayout(const std::string& text, TPrintSettings& s) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError{"--layout must be COLUMNSxROWS"};
  s.columns = WholeNumber("--layout", text.substr(0, x), 1, 16);
  s.rows = WholeNumber("--layout", text.substr(x + 1), 1, 16);
}

void ParseCaptions(const std::vector<std::string>& captions, TPrintSettings& s) {
  for (const std::string& c : captions) {
    if (c == "name") s.captionItems |= kCaptionFileName;
    else if (c == "date") s.captionItems |= kCaptionShootingDate;
    else throw UsageError{"--caption takes name or date, not \"" + c + "\""};
  }
}

// "A-B" or "A".
void ParsePages(const std::string& text, int32_t pageCount, TPrintSettings& s) {
  s.fromPage = 1;
  s.toPage = pageCount;
  if (text.empty()) return;
  const size_t dash = text.find('-');
  s.fromPage = WholeNumber("--pages", text.substr(0, dash), 1, pageCount);
  s.toPage = dash == std::string::npos ? s.fromPage : WholeNumber("--pages", text.substr(dash + 1), s.fromPage, pageCount);
}

int RunPrint(Options& o) {
  if (o.files.empty()) throw UsageError{"no file given"};
  TPrintSettings& s = o.settings;
  ParseCaptions(o.captions, s);
  ApplyPanelRules(s);

  EngineSession session("print", false);
  session.SetReadOnly();
  PhotoItems finder(session);
  std::vector<TCatalogItem*> items;
  for (const std::string& file : o.files) {
    TCatalogItem* item = finder.Find(file);
    // Movies and sounds are not printed and take no cell.
    if (item->Kind() == fkMovie || item->Kind() == fkSound) continue;
    items.push_back(item);
  }
  if (items.empty()) throw Error("nothing to print: no photos among the files");
  const int32_t pageCount = PrintPageCount(items.size(), s);
  ParsePages(o.pages, pageCount, s);

  // A4, landscape as the printer is set up unless asked otherwise.
  const TPrinterInfoRec info =
      o.portrait ? SheetInfo("PDF", 2100, 2970, o.dpi) : SheetInfo("PDF", 2970, 2100, o.dpi);
  ProgressLine progress("print");
  const size_t cells = static_cast<size_t>(s.toPage - s.fromPage + 1) * static_cast<size_t>(s.columns) * s.rows;
  const size_t total = std::min(cells, items.size()) * static_cast<size_t>(s.collate ? s.copies : 1);
  size_t done = 0;
  TPdfFile file(o.pdf, info);
  const bool finished = PrintJob([&](const std::string&, int32_t) { return file.OpenDocument(); }, items, s, info,
                                 [&] { return session.Interrupted(); },
                                 [&] {
                                   ++done;
                                   if (progress.Due()) progress.Show("printing, " + CountText(done, total));
                                 });
  progress.Clear();
  if (!finished) {
    std::fprintf(stderr, "plb print: stopped; nothing written\n");
    session.Close();
    return 1;
  }
  file.Close();
  std::printf("%s: %d pages, %s\n", o.pdf.c_str(), file.PageCount(), info.paperName.c_str());
  session.Close();
  return 0;
}

Runner DefinePrint(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->files, "the photos, in print order");
  app.add_option("--pdf", o->pdf, "the PDF file to print into")->type_name("OUT.pdf")->required();
  app.add_option_function<std::string>(
         "--layout", [o](const std::string& text) { ParseLayout(text, o->settings); }, "cells a page (1 to 16 each)")
      ->type_name("CxR");
  app.add_option("--caption", o->captions, "below each photo: name, date (repeatable)")->type_name("ITEM");
  app.add_flag("--page-numbers", o->settings.pageNumbers, "\"( n / N )\" at each page's foot");
  app.add_flag("--fill", o->settings.fillCell, "photos cover their cells, cut to shape");
  app.add_option("--pages", o->pages, "the pages to print, A-B")->type_name("A-B");
  AddWholeNumberOption(app, "--copies", 1, 99, [o](int v) { o->settings.copies = v; }, "copies");
  app.add_flag_function(
      "--no-collate", [o](int64_t) { o->settings.collate = false; }, "copies page by page");
  app.add_flag("--portrait", o->portrait, "upright A4 instead of landscape");
  AddWholeNumberOption(app, "--dpi", 72, 600, [o](int v) { o->dpi = v; }, "resolution of the pictures (300)");
  return [o] { return RunPrint(*o); };
}

}  // namespace

PLB_SUBCOMMAND("print",
               "--pdf OUT.pdf [--layout CxR] [--caption name|date]... [--page-numbers] [--fill] [--pages A-B] "
               "[--copies N] [--no-collate] [--portrait] [--dpi N] FILE...",
               "lay photos out on pages in a grid and print them into a PDF file", DefinePrint);

}  // namespace plb::cli

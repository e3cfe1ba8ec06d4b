// plb save: writes photos as new JPEG files into a folder under numbered names ("Img001.jpg", ...),
// as the catalog shows them: trimmed, upright, colour-adjusted, optionally resized, with their
// EXIF data carried over. A file in the catalog brings its edits; any other picture file is
// saved as it is.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "images/codec/image_load.h"
#include "json_output.h"
#include "number_options.h"
#include "output/save/save_images_thread.h"
#include "output/save/save_names.h"
#include "output/save/save_targets.h"
#include "platform/error.h"
#include "photo_items.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::string destination;
  std::vector<std::string> files;
  TSaveOptions save;
  bool exact = false;
  std::string name = "Img";
  int digits = 0;  // 0: three, or more when the count needs them
  int quality = 0;  // 0: the configured quality
  bool overwrite = false;
  bool json = false;
};

void ParseSize(const std::string& text, TSaveOptions& save) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError{"--size must be WIDTHxHEIGHT"};
  save.width = WholeNumber("--size", text.substr(0, x), 8, 8000);
  save.height = WholeNumber("--size", text.substr(x + 1), 8, 8000);
  save.resize = true;
}

int RunSave(Options& o) {
  if (o.files.empty()) throw UsageError{"no file given"};
  struct stat st {};
  if (::stat(o.destination.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw Error(o.destination + ": no such folder");
  const int minimum = MinimumDigitCount(o.files.size());
  if (o.digits == 0) o.digits = std::max(3, minimum);
  if (o.digits < minimum)
    throw UsageError{"--digits " + std::to_string(o.digits) + " cannot number " + std::to_string(o.files.size()) +
                     " photos (at least " + std::to_string(minimum) + ")"};
  if (const std::string fault = CommonNameFault(o.name, o.digits, o.files.size()); !fault.empty())
    throw UsageError{"--name \"" + o.name + "\": " + fault};
  o.save.keepAspect = !o.exact;

  EngineSession session("save", false);
  session.SetReadOnly();
  o.save.quality = o.quality > 0 ? o.quality : session.Engine().Config().CompressionQuality();
  if (o.save.quality < 1 || o.save.quality > 100) o.save.quality = 90;
  SetUpFileKinds();
  InstallCatalogImageReader();
  PhotoItems finder(session);
  std::vector<TCatalogItem*> items;
  for (const std::string& file : o.files) items.push_back(finder.Find(file));

  if (const std::string source = SourceReplacedBySave(o.destination, o.name, o.digits, items); !source.empty())
    throw Error(source + ": would be replaced by one of the saved photos before it is read");
  if (const std::string taken = FirstExistingSaveName(o.destination, o.name, o.digits, items.size());
      !taken.empty() && !o.overwrite)
    throw Error(o.destination + "/" + taken + ": exists (give --overwrite to replace such files)");

  ProgressLine progress("save");
  size_t done = 0;
  TSaveImagesThread worker;
  worker.SetDestination(o.destination);
  worker.SetItems(items);
  worker.SetCommonName(o.name, o.digits);
  worker.SetOptions(o.save);
  worker.SetItemSavedHandler([&](TCatalogItem* item, const std::string& path) {
    ++done;
    if (o.json) {
      JsonObject row;
      PutText(row, "source", item->FullPath());
      PutText(row, "saved", path);
      progress.Clear();
      PrintJsonLine(row);
    } else if (progress.Due()) {
      progress.Show("saving, " + CountText(done, items.size()));
    }
    if (session.Interrupted()) worker.Terminate();
  });
  // Run here, on the thread that owns the session: the reports need no hand-over.
  worker.Execute();
  progress.Clear();
  if (!o.json)
    std::printf("%s: %d of %zu photos saved\n", o.destination.c_str(), worker.SavedCount(), items.size());
  session.Close();
  if (worker.FailedCount() > 0)
    std::fprintf(stderr, "plb save: %d photos could not be saved (see the log)\n", worker.FailedCount());
  return worker.Completed() ? 0 : 1;
}

Runner DefineSave(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("DEST", o->destination, "the folder to save into")->required();
  app.add_option("FILE", o->files, "the photos, saved in this order");
  app.add_option_function<std::string>(
         "--size", [o](const std::string& text) { ParseSize(text, o->save); },
         "resize to fit into the box (8 to 8000 a side)")
      ->type_name("WxH");
  app.add_flag("--exact", o->exact, "with --size: fill the box exactly, cropping the centre");
  app.add_option("--name", o->name, "the common name the numbers follow (default Img)")->type_name("NAME");
  AddWholeNumberOption(app, "--digits", 1, 8, [o](int v) { o->digits = v; }, "digits of the number");
  AddWholeNumberOption(app, "--quality", 1, 100, [o](int v) { o->quality = v; },
                       "JPEG quality (default: the configured one)");
  app.add_flag("--overwrite", o->overwrite, "replace files of the same names");
  app.add_flag("--json", o->json, "one JSON object per saved photo");
  return [o] { return RunSave(*o); };
}

}  // namespace

PLB_SUBCOMMAND("save",
               "DEST [--size WxH [--exact]] [--name NAME] [--digits N] [--quality Q] [--overwrite] [--json] FILE...",
               "save photos as JPEG files under numbered names, with their edits and EXIF data", DefineSave);

}  // namespace plb::cli

// plb collage: composes photos into one picture in one of the collage styles and output sizes
// and saves it as a JPEG file; an earlier collage of the same name is never replaced.
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine_session.h"
#include "number_options.h"
#include "output/collage/collage_maker.h"
#include "output/collage/collage_sizes.h"
#include "photo_items.h"
#include "platform/error.h"
#include "platform/special_folders.h"
#include "progress_line.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::vector<std::string> files;
  TCollageSettings settings;
  int style = 0;
  std::string layout;
  std::string out;
  std::string name = "Collage.jpg";
  bool frame = false, spacing = false;
  int64_t seed = -1;
  int quality = 0;
};

int RunCollage(Options& o) {
  if (o.files.empty()) throw UsageError{"no file given"};
  if (o.name.find('/') != std::string::npos || o.name.empty() || o.name == "." || o.name == "..")
    throw UsageError{"--name must be a plain file name"};
  TCollageSettings& s = o.settings;
  s.style = static_cast<uint8_t>(o.style);
  if (!o.layout.empty()) {
    const size_t x = o.layout.find_first_of("xX");
    if (x == std::string::npos) throw UsageError{"--layout must be COLUMNSxROWS"};
    s.columns[s.style] = WholeNumber("--layout", o.layout.substr(0, x), s.style == 6 ? 3 : 1, 16);
    s.rows[s.style] = WholeNumber("--layout", o.layout.substr(x + 1), s.style == 6 ? 3 : s.style == 7 ? 2 : 1, 16);
  }
  if (o.frame) s.frameOn[s.style] = true;
  if (o.spacing) s.spacingOn[s.style] = true;
  // Kinds other than the print and book kinds 4-10 are landscape only.
  if (s.sizeKind < 4) s.portrait = false;

  EngineSession session("collage", false);
  session.SetReadOnly();
  PhotoItems finder(session);
  std::vector<TCatalogItem*> items;
  for (const std::string& file : o.files) {
    TCatalogItem* item = finder.Find(file);
    if (item->Kind() != fkMovie && item->Kind() != fkSound) items.push_back(item);
  }
  if (items.empty()) throw Error("no photos among the files");
  std::mt19937 random(o.seed >= 0 ? static_cast<uint32_t>(o.seed) : std::random_device{}());
  const TCollageLayout layout = SetupTargetItems(items, s, nullptr, random);
  ProgressLine progress("collage");
  size_t done = 0;
  const Bitmap picture = RenderCollage(layout, s, [&] { return session.Interrupted(); }, [&] {
    ++done;
    if (progress.Due()) progress.Show("composing, " + CountText(done, layout.cells.size()));
  });
  progress.Clear();
  if (session.Interrupted()) {
    session.Close();
    return 1;
  }
  const std::string folder =
      o.out.empty() ? platform::SpecialFolderPath(platform::SpecialFolder::kPictures) + "/PLB_Collage" : o.out;
  const int quality = o.quality > 0 ? o.quality : session.Engine().Config().CompressionQuality();
  const std::string path = SaveCollage(picture, s, folder, o.name, quality >= 1 && quality <= 100 ? quality : 90);
  std::printf("%s: %dx%d, %s\n", path.c_str(), picture.Width(), picture.Height(), CollageStyleName(s.style).c_str());
  session.Close();
  return 0;
}

Runner DefineCollage(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->files, "the photos");
  AddWholeNumberOption(app, "--style", 0, 8, [o](int v) { o->style = v; },
                       "0 simple grid, 1 poster, 2 picture grid, 3 picture frame, 4 pop, 5 tile, 6 frame mosaic, "
                       "7 wide poster, 8 pile");
  app.add_option("--layout", o->layout, "cells across and down (1 to 16)")->type_name("CxR");
  AddWholeNumberOption(app, "--size", 0, 10, [o](int v) { o->settings.sizeKind = static_cast<uint8_t>(v); },
                       "output size kind: 0 free, 1 screen, 2-7 photo books, 8 L print, 9 postcard, 10 A4");
  app.add_flag("--portrait", o->settings.portrait, "upright (size kinds 4 to 10)");
  AddWholeNumberOption(app, "--width", 40, 8000, [o](int v) { o->settings.freeWidth = v; }, "free size width");
  AddWholeNumberOption(app, "--height", 40, 8000, [o](int v) { o->settings.freeHeight = v; }, "free size height");
  app.add_flag("--frame", o->frame, "frame each photo");
  app.add_flag("--spacing", o->spacing, "space the photos (styles 4 and 5)");
  app.add_option("--seed", o->seed, "a fixed arrangement");
  app.add_option("--out", o->out, "the folder (default: PLB_Collage in the pictures folder)")->type_name("FOLDER");
  app.add_option("--name", o->name, "the file name (default Collage.jpg; a taken one gets (1), (2), ...)");
  AddWholeNumberOption(app, "--quality", 1, 100, [o](int v) { o->quality = v; }, "JPEG quality");
  return [o] { return RunCollage(*o); };
}

}  // namespace

PLB_SUBCOMMAND("collage",
               "[--style 0-8] [--layout CxR] [--size 0-10] [--portrait] [--width W --height H] [--frame] [--spacing] "
               "[--seed N] [--out FOLDER] [--name NAME] [--quality Q] FILE...",
               "compose photos into one picture and save it as a JPEG file", DefineCollage);

}  // namespace plb::cli

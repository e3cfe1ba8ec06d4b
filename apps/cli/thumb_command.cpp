// plb thumb: the thumbnail of one photo as the grid draws it, orientation and effects applied,
// made by the same maker and cache as the grid's, written as a JPEG file.
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "catalog_setup.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/codec/jpeg_codec.h"
#include "number_options.h"
#include "platform/atomic_file.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::string file;
  std::string out;
  int32_t size = 160;
};

int RunThumb(const Options& o) {
  const std::string& given = o.file;
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::canonical(given, ec);
  if (ec || !std::filesystem::is_regular_file(file)) {
    std::fprintf(stderr, "plb thumb: %s: no such file\n", given.c_str());
    return 1;
  }

  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  TFolder* folder = CatalogFolderOf(trees, file.parent_path().string());
  if (!folder) {
    std::fprintf(stderr, "plb thumb: %s: not on a volume\n", given.c_str());
    return 1;
  }
  folder->SearchFiles(&table, nullptr);
  TCatalogItem* item = folder->FindItem(file.filename().string());
  if (!item) {
    std::fprintf(stderr, "plb thumb: %s: not a photo or movie file\n", given.c_str());
    return 1;
  }

  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", true, 1048576);
  std::mutex lock;
  std::condition_variable changed;
  bool done = false;
  {
    TCacheImageMaker maker(&cache, o.size, false);
    maker.SetSourceDone(
        [&](intptr_t) {
          std::lock_guard guard(lock);
          done = true;
          changed.notify_all();
        },
        0);
    maker.Start();
    maker.Request({item}, o.size, {item}, true);
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return done; });
  }
  Bitmap thumbnail;
  if (!cache.ReadCatalogImage(item, &thumbnail, nullptr)) {
    std::fprintf(stderr, "plb thumb: %s: no thumbnail could be made\n", given.c_str());
    return 1;
  }
  WriteFileAtomically(o.out, EncodeJpeg(thumbnail, 90));
  std::printf("%s: %dx%d\n", o.out.c_str(), thumbnail.Width(), thumbnail.Height());
  return 0;
}

Runner DefineThumb(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("FILE", o->file, "a photo or movie file")->required();
  app.add_option("--out", o->out, "the JPEG file written")->type_name("OUT.jpg")->required();
  AddThumbnailSizeOption(app, o->size);
  return [o] { return RunThumb(*o); };
}

PLB_SUBCOMMAND("thumb", "FILE --out OUT.jpg [--size N]", "one photo's thumbnail as the grid draws it, as JPEG",
               DefineThumb);

}  // namespace
}  // namespace plb::cli

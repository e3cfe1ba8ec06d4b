// plb thumb: the thumbnail of one photo as the grid draws it, orientation and effects applied,
// made by the same maker and cache as the grid's, written as a JPEG file.
#include <condition_variable>
#include <cstdio>
#include <filesystem>
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
#include "platform/atomic_file.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunThumb(const Args& given) {
  Args args = given;
  std::string out, sizeText;
  if (!TakeOption(args, "--out", out)) throw UsageError{"--out OUT.jpg is required"};
  int32_t size = 160;
  if (TakeOption(args, "--size", sizeText)) {
    try {
      size = std::stoi(sizeText);
    } catch (const std::exception&) {
      size = 0;
    }
    if (size < 16 || size > 1024) throw UsageError{"--size takes a box size of 16 to 1024 pixels"};
  }
  if (args.size() != 1) throw UsageError{"one photo file is needed"};
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::canonical(args[0], ec);
  if (ec || !std::filesystem::is_regular_file(file)) {
    std::fprintf(stderr, "plb thumb: %s: no such file\n", args[0].c_str());
    return 1;
  }

  SetUpFileKinds();
  TExtItems table;
  table.Build(kCatalogKinds);
  TFolderTreeListEyeFi trees;
  TFolder* folder = CatalogFolderOf(trees, file.parent_path().string());
  if (!folder) {
    std::fprintf(stderr, "plb thumb: %s: not on a volume\n", args[0].c_str());
    return 1;
  }
  folder->SearchFiles(&table, nullptr);
  TCatalogItem* item = folder->FindItem(file.filename().string());
  if (!item) {
    std::fprintf(stderr, "plb thumb: %s: not a photo or movie file\n", args[0].c_str());
    return 1;
  }

  TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(ickMemory, "", true, 1048576);
  std::mutex lock;
  std::condition_variable changed;
  bool done = false;
  {
    TCacheImageMaker maker(&cache, size, false);
    maker.SetSourceDone(
        [&](intptr_t) {
          std::lock_guard guard(lock);
          done = true;
          changed.notify_all();
        },
        0);
    maker.Start();
    maker.Request({item}, size, {item}, true);
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return done; });
  }
  Bitmap thumbnail;
  if (!cache.ReadCatalogImage(item, &thumbnail, nullptr)) {
    std::fprintf(stderr, "plb thumb: %s: no thumbnail could be made\n", args[0].c_str());
    return 1;
  }
  WriteFileAtomically(out, EncodeJpeg(thumbnail, 90));
  std::printf("%s: %dx%d\n", out.c_str(), thumbnail.Width(), thumbnail.Height());
  return 0;
}

PLB_SUBCOMMAND("thumb", "FILE --out OUT.jpg [--size N]", RunThumb);

}  // namespace
}  // namespace plb::cli

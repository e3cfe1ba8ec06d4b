// plb tag and plb untag: put catalog photos under a tag, or take them from it. A tag left without
// photos goes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalog_items.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine_session.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

void CheckTagName(const std::string& tag) {
  std::vector<std::string> parts;
  TAlbumList::SeparateAlbumPathLines(tag, parts);
  if (parts.empty()) throw UsageError{"the tag name is empty"};
}

struct Options {
  std::string tag;
  std::vector<std::string> files;
};

void CheckOptions(const Options& o) {
  if (o.files.empty()) throw UsageError{"a tag and at least one file are needed"};
  CheckTagName(o.tag);
}

int RunTag(const Options& o) {
  CheckOptions(o);
  EngineSession session("tag");
  TAlbumList& albums = *session.Engine().Albums();
  int status = 0;
  TAlbum* tag = nullptr;
  for (const std::string& file : o.files) {
    try {
      TCatalogItem* item = RequireCatalogItem(session, file);
      if (!tag) tag = albums.GetAlbumFromPathEx(atTag, o.tag, true);
      if (!tag) throw Error(o.tag + ": the tag cannot be made");
      if (!tag->FindEntry(item)) tag->AddItem(item, 0);
    } catch (const Error& e) {
      std::fprintf(stderr, "plb tag: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  session.Close();
  return status;
}

int RunUntag(const Options& o) {
  CheckOptions(o);
  EngineSession session("untag");
  TAlbumList& albums = *session.Engine().Albums();
  TAlbum* tag = albums.GetAlbumFromPathEx(atTag, o.tag, false);
  if (!tag || albums.IsRoot(tag)) {
    std::fprintf(stderr, "plb untag: %s: no such tag\n", o.tag.c_str());
    session.SetReadOnly();
    return 1;
  }
  int status = 0;
  for (const std::string& file : o.files) {
    try {
      TCatalogItem* item = RequireCatalogItem(session, file);
      if (tag->RemoveItem(item) < 0) throw Error(file + ": not tagged " + o.tag);
    } catch (const Error& e) {
      std::fprintf(stderr, "plb untag: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  if (tag->EntryCount() == 0) albums.CleanUpChilds(tag);
  session.Close();
  return status;
}

template <int (*run)(const Options&)>
Runner DefineTagging(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("TAG", o->tag, "the tag; a nested one as PARENT\\CHILD")->required();
  app.add_option("FILE", o->files, "photos in the catalog");
  return [o] { return run(*o); };
}

PLB_SUBCOMMAND("tag", "TAG FILE...", "tag catalog photos", DefineTagging<RunTag>);
PLB_SUBCOMMAND("untag", "TAG FILE...", "take catalog photos from a tag", DefineTagging<RunUntag>);

}  // namespace
}  // namespace plb::cli

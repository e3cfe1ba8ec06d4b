// plb tag and plb untag: put catalog photos under a tag, or take them from it. A tag left without
// photos goes.
#include <cstdio>
#include <string>

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

int RunTag(const Args& args) {
  if (args.size() < 2) throw UsageError{"a tag and at least one file are needed"};
  CheckTagName(args[0]);
  EngineSession session("tag");
  TAlbumList& albums = *session.Engine().Albums();
  int status = 0;
  TAlbum* tag = nullptr;
  for (size_t i = 1; i < args.size(); ++i) {
    try {
      TCatalogItem* item = RequireCatalogItem(session, args[i]);
      if (!tag) tag = albums.GetAlbumFromPathEx(atTag, args[0], true);
      if (!tag) throw Error(args[0] + ": the tag cannot be made");
      if (!tag->FindEntry(item)) tag->AddItem(item, 0);
    } catch (const Error& e) {
      std::fprintf(stderr, "plb tag: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  session.Close();
  return status;
}

int RunUntag(const Args& args) {
  if (args.size() < 2) throw UsageError{"a tag and at least one file are needed"};
  CheckTagName(args[0]);
  EngineSession session("untag");
  TAlbumList& albums = *session.Engine().Albums();
  TAlbum* tag = albums.GetAlbumFromPathEx(atTag, args[0], false);
  if (!tag || albums.IsRoot(tag)) {
    std::fprintf(stderr, "plb untag: %s: no such tag\n", args[0].c_str());
    session.SetReadOnly();
    return 1;
  }
  int status = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    try {
      TCatalogItem* item = RequireCatalogItem(session, args[i]);
      if (tag->RemoveItem(item) < 0) throw Error(args[i] + ": not tagged " + args[0]);
    } catch (const Error& e) {
      std::fprintf(stderr, "plb untag: %s\n", MessageOf(e).c_str());
      status = 1;
    }
  }
  if (tag->EntryCount() == 0) albums.CleanUpChilds(tag);
  session.Close();
  return status;
}

PLB_SUBCOMMAND("tag", "TAG FILE...  (tag catalog photos)", RunTag);
PLB_SUBCOMMAND("untag", "TAG FILE...  (take catalog photos from a tag)", RunUntag);

}  // namespace
}  // namespace plb::cli

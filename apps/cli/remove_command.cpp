// plb remove: takes a registered folder, with everything below it, out of the catalog: its photos
// leave the calendar, the albums and the tags. The files on disk are not touched.
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

// The folder may be gone from the disk already: then the path is taken as given.
std::string CatalogPathOf(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return resolved;
  return std::filesystem::absolute(path).lexically_normal().string();
}

int RunRemove(const std::string& given) {
  EngineSession session("remove");
  const std::string path = CatalogPathOf(given);
  TFolder* folder = session.Folders().FindFolderOf(path);
  if (!folder || folder->GetFullName() != path || folder->GetCalendarMode() != 1) {
    std::fprintf(stderr, "plb remove: %s: not a registered folder\n", given.c_str());
    session.SetReadOnly();
    session.Close();
    return 1;
  }
  const int items = folder->RemoveFolder();
  session.Close();
  std::printf("%s: %d items removed from the catalog\n", path.c_str(), items);
  return 0;
}

Runner DefineRemove(CLI::App& app) {
  auto folder = std::make_shared<std::string>();
  app.add_option("FOLDER", *folder, "a folder registered with plb add")->required();
  return [folder] { return RunRemove(*folder); };
}

PLB_SUBCOMMAND("remove", "FOLDER", "take a registered folder out of the catalog (the files stay)", DefineRemove);

}  // namespace
}  // namespace plb::cli

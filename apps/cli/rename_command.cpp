// plb rename: renames a file or folder in place; nothing existing is replaced, and a photo keeps
// its catalog data under the new name.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/operations/folder_operations.h"
#include "engine_session.h"
#include "file_commands.h"
#include "host/file_functions.h"
#include "platform/error.h"
#include "platform/file_transfer.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

// Answers the new full path.
std::string Rename(EngineSession& session, const std::string& path, std::string name) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw Error(path + ": no such file or folder");
  if (S_ISDIR(st.st_mode)) {
    OstraEngineRenameFolder(RequireCatalogFolder(session, path), name);
  } else if (TCatalogItem* item = CatalogItemFinder(session).Find(path)) {
    OstraEngineRenameFile(item, name);
  } else {
    name = SafeFileName(name);
    if (name.empty() || name == "." || name == "..") throw Error(path + ": not a valid new name");
    platform::RenameNoReplace(path, JoinPath(parent, name));
  }
  return JoinPath(parent, name);
}

struct Options {
  std::string path;
  std::string name;
};

int RunRename(const Options& o) {
  if (o.name.find('/') != std::string::npos) throw UsageError{"the new name is a name, not a path"};
  EngineSession session("rename");
  int status = 0;
  try {
    std::printf("%s\n", Rename(session, ResolvedPath(o.path), o.name).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plb rename: %s\n", TerminalText(MessageOf(e)).c_str());
    status = 1;
  }
  session.Close();
  return status;
}

Runner DefineRename(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("PATH", o->path, "the file or folder")->required();
  app.add_option("NEWNAME", o->name, "its new name, without a folder")->required();
  return [o] { return RunRename(*o); };
}

PLB_SUBCOMMAND("rename", "PATH NEWNAME", "rename a file or folder; an existing name is never replaced",
               DefineRename);

}  // namespace
}  // namespace plb::cli

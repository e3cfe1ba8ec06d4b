// plb rm: moves files and folders to the trash, where the desktop can restore them. The photos
// leave the calendar, their tags and albums. Nothing is deleted for good: what the trash cannot
// take stays where it is.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/folder.h"
#include "engine/operations/folder_operations.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "file_commands.h"
#include "platform/error.h"
#include "platform/trash.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunRm(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no file or folder given"};
  EngineSession session("rm");
  const TFolderOperationModel model = OperationModel(session);
  CatalogItemFinder finder(session);
  int status = 0;
  for (const std::string& arg : args) {
    if (session.Interrupted()) break;
    try {
      const std::string path = ResolvedPath(arg);
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) throw Error(arg + ": no such file or folder");
      if (S_ISDIR(st.st_mode)) {
        OstraEngineDeleteFolder(model, RequireCatalogFolder(session, path));
      } else if (TCatalogItem* item = finder.Find(path)) {
        OstraEngineTrashFile(item);
      } else {
        platform::MoveToTrash(path);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "plb rm: %s\n", TerminalText(MessageOf(e)).c_str());
      status = 1;
    }
  }
  session.Close();
  return status;
}

Runner DefineRm(CLI::App& app) {
  auto paths = std::make_shared<std::vector<std::string>>();
  app.add_option("PATH", *paths, "the files and folders to move to the trash");
  return [paths] { return RunRm(*paths); };
}

PLB_SUBCOMMAND("rm", "PATH...", "move files and folders to the trash", DefineRm);

}  // namespace
}  // namespace plb::cli

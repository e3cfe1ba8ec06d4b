// plb mkdir: creates a folder; when the name is taken the folder gets the first free "NAME(n)",
// and the path made is printed.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "engine/operations/folder_operations.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"
#include "file_commands.h"
#include "platform/error.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunMkdir(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no folder given"};
  EngineSession session("mkdir");
  const TFolderOperationModel model = OperationModel(session);
  int status = 0;
  for (const std::string& arg : args) {
    try {
      const std::filesystem::path path(ResolvedPath(arg));
      std::string name = path.filename().string();
      TCustomFolder* made =
          OstraEngineCreateChild(model, RequireCatalogFolder(session, path.parent_path().string()), name);
      std::printf("%s\n", made->GetFullName().c_str());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "plb mkdir: %s\n", TerminalText(MessageOf(e)).c_str());
      status = 1;
    }
  }
  session.Close();
  return status;
}

Runner DefineMkdir(CLI::App& app) {
  auto paths = std::make_shared<std::vector<std::string>>();
  app.add_option("PATH", *paths, "the folders to create");
  return [paths] { return RunMkdir(*paths); };
}

PLB_SUBCOMMAND("mkdir", "PATH...", "create folders; a taken name becomes NAME(2), NAME(3), ...", DefineMkdir);

}  // namespace
}  // namespace plb::cli

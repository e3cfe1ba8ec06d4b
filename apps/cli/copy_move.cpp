#include "copy_move.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/operations/copy_move_thread.h"
#include "engine/operations/folder_operations.h"
#include "file_commands.h"
#include "platform/error.h"
#include "progress_line.h"

namespace plb::cli {
namespace {

// The copy dialog of the command line: "yes to all" with --overwrite, otherwise "no to all";
// read-only files are never replaced from here. Every file left out is reported.
class CommandLineView : public ICopyMoveView {
 public:
  CommandLineView(const char* command, bool overwrite, ProgressLine& progress, EngineSession& session)
      : command_(command), overwrite_(overwrite), progress_(progress), session_(session) {}

  void SetThread(TCopyMoveThread* thread) { thread_ = thread; }
  bool LeftOut() const { return leftOut_; }

  void Progress(TCatalogItem* item, int percent) override {
    if (progress_.Due()) progress_.Show(std::to_string(percent) + "%  " + item->FileName());
    if (session_.Interrupted() && thread_) thread_->Terminate();
  }
  TCopyMoveAnswer AskOverwrite(TCatalogItem* existing, TCatalogItem*) override {
    if (overwrite_) return cmaYesToAll;
    Report(existing->FullPath() + ": exists, kept (--overwrite replaces it)");
    return cmaNo;
  }
  TCopyMoveAnswer AskReadOnly(TCatalogItem* existing) override {
    Report(existing->FullPath() + ": read-only, kept");
    return cmaNo;
  }
  void Skipped(TCatalogItem*, const std::string& reason) override { Report(reason); }
  void Finished(int) override {}

 private:
  void Report(const std::string& text) {
    progress_.Clear();
    std::fprintf(stderr, "plb %s: %s\n", command_, text.c_str());
    leftOut_ = true;
  }

  const char* command_;
  bool overwrite_;
  ProgressLine& progress_;
  EngineSession& session_;
  TCopyMoveThread* thread_ = nullptr;
  bool leftOut_ = false;
};

// A file the catalog does not hold: copied or moved as it is, under the same rules.
void TransferPlainFile(const std::string& path, const std::string& folder, bool copy, bool overwrite,
                       const platform::TransferProgress& progress) {
  const std::string target = JoinPath(folder, std::filesystem::path(path).filename().string());
  try {
    if (copy) {
      platform::CopyFileTo(path, target, overwrite, progress);
    } else {
      platform::MovePath(path, target, overwrite, progress);
    }
  } catch (const platform::EFileTransferError& e) {
    if (e.ErrorCode() == EEXIST && !platform::SameFile(path, target)) {
      throw Error(target + ": exists, kept" + (overwrite ? "" : " (--overwrite replaces it)"));
    }
    throw;
  }
}

struct Options {
  bool overwrite = false;
  std::vector<std::string> paths;  // the sources, then the destination
};

class CopyOrMove {
 public:
  CopyOrMove(const char* command, bool copy, const Options& o)
      : command_(command), copy_(copy), overwrite_(o.overwrite), session_(command), progress_(command) {}

  int Run(const std::vector<std::string>& sources, const std::string& destinationArg);

 private:
  void Source(const std::string& source);
  void TransferItems();
  void Report(const std::string& text);

  const char* command_;
  const bool copy_;
  const bool overwrite_;
  EngineSession session_;
  CatalogItemFinder finder_{session_};
  ProgressLine progress_;
  TFolder* destination_ = nullptr;
  std::string destinationPath_;
  TFolderOperationModel model_;
  std::vector<TCatalogItem*> items_;
  int status_ = 0;
};

void CopyOrMove::Report(const std::string& text) {
  progress_.Clear();
  std::fprintf(stderr, "plb %s: %s\n", command_, text.c_str());
  status_ = 1;
}

int CopyOrMove::Run(const std::vector<std::string>& sources, const std::string& destinationArg) {
  try {
    destination_ = RequireCatalogFolder(session_, destinationArg);
  } catch (const Error& e) {
    Report(MessageOf(e));
    session_.SetReadOnly();
    return 1;
  }
  destinationPath_ = destination_->GetFullName();
  model_ = OperationModel(session_);
  model_.progress = TransferProgressOn(progress_, session_);
  for (const std::string& source : sources) {
    if (session_.Interrupted()) break;
    try {
      Source(source);
    } catch (const std::exception& e) {
      Report(TerminalText(MessageOf(e)));
    }
  }
  if (!items_.empty()) TransferItems();
  session_.Close();
  progress_.Clear();
  return status_;
}

// Folders go at once; catalog photos are gathered for one transfer, which carries their data.
void CopyOrMove::Source(const std::string& source) {
  const std::string path = ResolvedPath(source);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw Error(source + ": no such file or folder");
  if (S_ISDIR(st.st_mode)) {
    TFolder* folder = RequireCatalogFolder(session_, path);
    if (copy_) {
      OstraEngineCopyFolder(model_, folder, destination_);
    } else {
      OstraEngineMoveFolder(model_, folder, destination_);
    }
  } else if (TCatalogItem* item = finder_.Find(path)) {
    if (item->Owner() == destination_) throw Error(source + ": already in " + destinationPath_);
    items_.push_back(item);
  } else {
    TransferPlainFile(path, destinationPath_, copy_, overwrite_, model_.progress);
  }
}

void CopyOrMove::TransferItems() {
  CommandLineView view(command_, overwrite_, progress_, session_);
  TCopyMoveThread thread(session_.Folders(), items_, destinationPath_, destination_, copy_, &view);
  view.SetThread(&thread);
  thread.Execute();
  if (view.LeftOut() || thread.DoneCount() < static_cast<int>(items_.size())) status_ = 1;
}

}  // namespace

Runner DefineCopyOrMove(CLI::App& app, const char* command, bool copy) {
  auto o = std::make_shared<Options>();
  app.add_flag("--overwrite", o->overwrite, "replace files of the same name (never read-only ones)");
  app.add_option("PATH", o->paths, "the files and folders (SRC), then the folder they go into (DEST)");
  return [o, command, copy] {
    if (o->paths.size() < 2) throw UsageError{"at least one source and a destination folder are needed"};
    const std::vector<std::string> sources(o->paths.begin(), o->paths.end() - 1);
    return CopyOrMove(command, copy, *o).Run(sources, o->paths.back());
  };
}

}  // namespace plb::cli

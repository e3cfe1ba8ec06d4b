#include "file_commands.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/operations/copy_move_thread.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/operations/folder_operations.h"
#include "engine/model/folder_tree_list.h"
#include "platform/error.h"

namespace plb::cli {

std::string ResolvedPath(const std::string& path) {
  std::filesystem::path p(path);
  while (p.has_filename() == false && p.has_parent_path() && p != p.root_path()) p = p.parent_path();  // "a/" -> "a"
  const std::string name = p.filename().string();
  const std::string parent = p.has_parent_path() ? p.parent_path().string() : ".";
  char resolved[PATH_MAX];
  if (!::realpath(parent.empty() ? "." : parent.c_str(), resolved)) throw Error(path + ": no such folder");
  if (name.empty() || name == "." || name == "..") {
    // The path names a folder by "." or "..": the resolved path is the folder itself.
    char whole[PATH_MAX];
    if (!::realpath(path.c_str(), whole)) throw Error(path + ": no such file or folder");
    return whole;
  }
  return JoinPath(resolved, name);
}

TCatalogItem* CatalogItemFinder::Find(const std::string& resolvedPath) {
  const std::filesystem::path file(resolvedPath);
  TFolder* folder = session_.Folders().FindFolderOf(file.parent_path().string());
  if (!folder || folder->GetFullName() != file.parent_path().string()) return nullptr;
  if (scanned_.insert(folder).second) {
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
  }
  TCatalogItem* item = folder->FindItem(file.filename().string());
  return item && item->State() != cisDeleted ? item : nullptr;
}

TFolderOperationModel OperationModel(EngineSession& session) {
  TFolderOperationModel model;
  model.folders = &session.Folders();
  model.albums = session.Engine().Albums();
  model.history = session.Engine().History();
  return model;
}

std::string TerminalText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  const auto first = out.find_first_not_of("\n ");
  const auto last = out.find_last_not_of("\n ");
  return first == std::string::npos ? "" : out.substr(first, last - first + 1);
}

ProgressLine::ProgressLine(const char* command, EngineSession& session)
    : command_(command), session_(session), start_(std::chrono::steady_clock::now()), last_(start_) {}

ProgressLine::~ProgressLine() {
  if (shown_) std::fputc('\n', stderr);
}

bool ProgressLine::Due() {
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(250)) return false;
  last_ = now;
  return true;
}

void ProgressLine::Show(const std::string& text) {
  std::fprintf(stderr, "\rplb %s: %s\033[K", command_, text.c_str());
  std::fflush(stderr);
  shown_ = true;
}

platform::TransferProgress ProgressLine::Callback() {
  return [this](uint64_t done, uint64_t total) {
    if (Due()) {
      char text[96];
      std::snprintf(text, sizeof text, "%3d%%  %.1f of %.1f MB", total ? static_cast<int>(done * 100 / total) : 100,
                    static_cast<double>(done) / 1e6, static_cast<double>(total) / 1e6);
      Show(text);
    }
    return !session_.Interrupted();
  };
}

void ProgressLine::ShowFile(const std::string& name, int percent) {
  if (Due()) Show(std::to_string(percent) + "%  " + name);
}

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
    progress_.ShowFile(item->FileName(), percent);
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
                       ProgressLine& progress) {
  const std::string target = JoinPath(folder, std::filesystem::path(path).filename().string());
  try {
    if (copy) {
      platform::CopyFileTo(path, target, overwrite, progress.Callback());
    } else {
      platform::MovePath(path, target, overwrite, progress.Callback());
    }
  } catch (const platform::EFileTransferError& e) {
    if (e.ErrorCode() == EEXIST && !platform::SameFile(path, target)) {
      throw Error(target + ": exists, kept" + (overwrite ? "" : " (--overwrite replaces it)"));
    }
    throw;
  }
}

}  // namespace

int RunCopyOrMove(const char* command, const Args& given, bool copy) {
  Args args = given;
  const bool overwrite = TakeFlag(args, "--overwrite");
  if (args.size() < 2) throw UsageError{"at least one source and a destination folder are needed"};
  const std::string destinationArg = args.back();
  args.pop_back();

  EngineSession session(command);
  int status = 0;
  TFolder* destination = nullptr;
  try {
    destination = RequireCatalogFolder(session, destinationArg);
  } catch (const Error& e) {
    std::fprintf(stderr, "plb %s: %s\n", command, MessageOf(e).c_str());
    session.SetReadOnly();
    return 1;
  }
  const std::string destinationPath = destination->GetFullName();
  ProgressLine progress(command, session);
  TFolderOperationModel model = OperationModel(session);
  model.progress = progress.Callback();

  CatalogItemFinder finder(session);
  std::vector<TCatalogItem*> items;
  for (const std::string& source : args) {
    if (session.Interrupted()) break;
    try {
      const std::string path = ResolvedPath(source);
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) throw Error(source + ": no such file or folder");
      if (S_ISDIR(st.st_mode)) {
        TFolder* folder = RequireCatalogFolder(session, path);
        if (copy) {
          OstraEngineCopyFolder(model, folder, destination);
        } else {
          OstraEngineMoveFolder(model, folder, destination);
        }
      } else if (TCatalogItem* item = finder.Find(path)) {
        if (item->Owner() == destination) throw Error(source + ": already in " + destinationPath);
        items.push_back(item);
      } else {
        TransferPlainFile(path, destinationPath, copy, overwrite, progress);
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "plb %s: %s\n", command, TerminalText(MessageOf(e)).c_str());
      status = 1;
    }
  }
  if (!items.empty()) {
    CommandLineView view(command, overwrite, progress, session);
    TCopyMoveThread thread(session.Folders(), items, destinationPath, destination, copy, &view);
    view.SetThread(&thread);
    thread.Execute();
    if (view.LeftOut() || thread.DoneCount() < static_cast<int>(items.size())) status = 1;
  }
  session.Close();
  return status;
}

}  // namespace plb::cli

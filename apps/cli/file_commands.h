#pragma once
// What the file commands (cp, mv, rename, mkdir, rm) share: finding the catalog item of a file,
// the progress line of long copies and the texts of engine errors on a terminal.
#include <chrono>
#include <cstdint>
#include <set>
#include <string>

#include "engine/operations/folder_operations.h"
#include "engine_session.h"
#include "platform/file_transfer.h"
#include "subcommand.h"

namespace plb {
class TCatalogItem;
class TFolder;
}  // namespace plb

namespace plb::cli {

// The path with the folders above it resolved (symbolic links, "..") and its last name kept, so
// that a link is acted on as the link, never as what it points to. Raises plb::Error when the
// folder does not exist.
std::string ResolvedPath(const std::string& path);

// Finds the catalog items of files whose folders the catalog knows; each folder is rescanned once,
// the first time one of its files is asked for.
class CatalogItemFinder {
 public:
  explicit CatalogItemFinder(EngineSession& session) : session_(session) {}
  // The item of the file, or null for a file the catalog does not hold.
  TCatalogItem* Find(const std::string& resolvedPath);

 private:
  EngineSession& session_;
  std::set<TFolder*> scanned_;
};

// The catalog parts of the session that the folder operations change.
TFolderOperationModel OperationModel(EngineSession& session);

// An engine error's text as a terminal shows it: lines ended by "\n", no blank lines at the ends.
std::string TerminalText(const std::string& text);

// A progress line on stderr, shown only once a transfer has taken longer than a second and then
// at most a few times a second; the session's interruption stops the transfer.
class ProgressLine {
 public:
  ProgressLine(const char* command, EngineSession& session);
  ~ProgressLine();
  // For folder copies and moves: bytes done of bytes in all.
  platform::TransferProgress Callback();
  // For single files: the file's name and the percentage of the files done.
  void ShowFile(const std::string& name, int percent);

 private:
  bool Due();
  void Show(const std::string& text);

  const char* command_;
  EngineSession& session_;
  std::chrono::steady_clock::time_point start_, last_;
  bool shown_ = false;
};

}  // namespace plb::cli

namespace plb::cli {

// plb cp and plb mv: sources (files and folders) into an existing folder, the catalog data
// carried along. Existing files are kept unless overwrite is given (read-only ones always are).
int RunCopyOrMove(const char* command, const Args& args, bool copy);

}  // namespace plb::cli

#pragma once
// What the file commands (cp, mv, rename, mkdir, rm) share: finding the catalog item of a file,
// the progress of long copies and the texts of engine errors on a terminal.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/operations/folder_operations.h"
#include "engine_session.h"
#include "platform/file_transfer.h"
#include "progress_line.h"
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

// The progress of a transfer, shown on the progress line: bytes done of bytes in all. The
// session's interruption stops the transfer.
platform::TransferProgress TransferProgressOn(ProgressLine& progress, EngineSession& session);

}  // namespace plb::cli

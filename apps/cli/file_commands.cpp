#include "file_commands.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "engine/model/catalog_item.h"
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

platform::TransferProgress TransferProgressOn(ProgressLine& progress, EngineSession& session) {
  return [&progress, &session](uint64_t done, uint64_t total) {
    if (progress.Due()) {
      char text[64];
      std::snprintf(text, sizeof text, "%.1f of %.1f MB (%d%%)", static_cast<double>(done) / 1e6,
                    static_cast<double>(total) / 1e6, total ? static_cast<int>(done * 100 / total) : 100);
      progress.Show(text);
    }
    return !session.Interrupted();
  };
}

}  // namespace plb::cli

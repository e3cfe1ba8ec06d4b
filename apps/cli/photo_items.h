#pragma once
// The catalog items of photo files named on the command line for commands that only read them
// (save, print): the catalog's own item, with the user's edits, where the catalog holds the file;
// otherwise an item of a scratch tree that the catalog never sees, with the file's header read.
#include <map>
#include <string>

#include "engine/model/file_kinds.h"
#include "engine/model/folder_tree_list.h"
#include "engine_session.h"

namespace plb {
class TCatalogItem;
class TFolder;
}  // namespace plb

namespace plb::cli {

class PhotoItems {
 public:
  explicit PhotoItems(EngineSession& session);
  // Raises plb::Error naming the path when it is no file or no picture kind the catalog knows.
  TCatalogItem* Find(const std::string& path);

 private:
  EngineSession& session_;
  TExtItems table_;
  TFolderTreeListEyeFi scratch_;
  std::map<std::string, TFolder*> scanned_;
};

}  // namespace plb::cli

// plb cp: copies photos and folders into a folder; the copies get the catalog data of the
// originals (marks, comments, edits, shooting dates).
#include "copy_move.h"

namespace plb::cli {
namespace {

Runner DefineCp(CLI::App& app) {
  return DefineCopyOrMove(app, "cp", true);
}

PLB_SUBCOMMAND("cp", "[--overwrite] SRC... DEST",
               "copy into the folder DEST; existing files are kept unless --overwrite", DefineCp);

}  // namespace
}  // namespace plb::cli

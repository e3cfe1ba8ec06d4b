// plb cp: copies photos and folders into a folder; the copies get the catalog data of the
// originals (marks, comments, edits, shooting dates).
#include "file_commands.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunCp(const Args& args) {
  return RunCopyOrMove("cp", args, true);
}

PLB_SUBCOMMAND("cp",
               "[--overwrite] SRC... DEST  (copy into the folder DEST; existing files are kept unless --overwrite)",
               RunCp);

}  // namespace
}  // namespace plb::cli

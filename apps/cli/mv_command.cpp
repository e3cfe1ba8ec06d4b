// plb mv: moves photos and folders into a folder; the photos keep their catalog data (tags,
// albums, shooting dates, thumbnails), also across volumes.
#include "file_commands.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

int RunMv(const Args& args) {
  return RunCopyOrMove("mv", args, false);
}

PLB_SUBCOMMAND("mv",
               "[--overwrite] SRC... DEST  (move into the folder DEST; existing files are kept unless --overwrite)",
               RunMv);

}  // namespace
}  // namespace plb::cli

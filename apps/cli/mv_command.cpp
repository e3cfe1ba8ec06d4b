// plb mv: moves photos and folders into a folder; the photos keep their catalog data (tags,
// albums, shooting dates, thumbnails), also across volumes.
#include "copy_move.h"

namespace plb::cli {
namespace {

Runner DefineMv(CLI::App& app) {
  return DefineCopyOrMove(app, "mv", false);
}

PLB_SUBCOMMAND("mv", "[--overwrite] SRC... DEST",
               "move into the folder DEST; existing files are kept unless --overwrite", DefineMv);

}  // namespace
}  // namespace plb::cli

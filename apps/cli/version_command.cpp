// plb version (also plb --version): the program's file version.
#include <cstdio>

#include "subcommand.h"

namespace plb::cli {
namespace {

Runner DefineVersion(CLI::App&) {
  return [] {
    std::printf("%s\n", PLB_FILE_VERSION_TEXT);
    return 0;
  };
}

PLB_SUBCOMMAND("version", "", "the program's version", DefineVersion);

}  // namespace
}  // namespace plb::cli

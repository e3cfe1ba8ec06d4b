// plb version: the program's file version.
#include <cstdio>

#include "subcommand.h"

namespace plb::cli {
namespace {

int RunVersion(const Args&) {
  std::printf("%s\n", PLB_FILE_VERSION_TEXT);
  return 0;
}

PLB_SUBCOMMAND("version", "", RunVersion);

}  // namespace
}  // namespace plb::cli

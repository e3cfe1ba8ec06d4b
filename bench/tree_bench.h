#pragma once
// What the folder-tree benchmarks share: their command line and the synthetic tree they make.
//   PROGRAM PATH [--make FOLDERS FILES_PER_FOLDER] [--passes N]
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

namespace bench {

// FOLDERS folders of FILES_PER_FOLDER one-byte "IMG_n.JPG" files below root.
inline void MakeTree(const std::string& root, int folders, int filesPerFolder) {
  ::mkdir(root.c_str(), 0755);
  for (int f = 0; f < folders; ++f) {
    const std::string dir = root + "/folder" + std::to_string(f);
    ::mkdir(dir.c_str(), 0755);
    for (int i = 0; i < filesPerFolder; ++i) std::ofstream(dir + "/IMG_" + std::to_string(i) + ".JPG") << "x";
  }
}

struct TreeBenchArgs {
  std::string path;  // resolved
  int passes = 3;
};

// Parses the command line, makes the tree when asked; nothing when the usage is wrong or the path
// cannot be resolved (the reason is printed).
inline std::optional<TreeBenchArgs> ParseTreeBenchArgs(int argc, char** argv, const char* program) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH [--make FOLDERS FILES_PER_FOLDER] [--passes N]\n", program);
    return std::nullopt;
  }
  TreeBenchArgs args;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--make" && i + 2 < argc) {
      MakeTree(argv[1], std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
      i += 2;
    } else if (arg == "--passes" && i + 1 < argc) {
      args.passes = std::max(1, std::atoi(argv[++i]));
    }
  }
  char resolved[PATH_MAX];
  if (!::realpath(argv[1], resolved)) {
    std::perror(argv[1]);
    return std::nullopt;
  }
  args.path = resolved;
  return args;
}

}  // namespace bench

// Reads the shooting date and orientation of every file named in a list (one path a line), the way
// the catalog's updater and the thumbnail workers do, and prints how long that took. Driven by
// bench/exif_bench.sh, which times exiv2 and exiftool on the same files in the same run.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "images/exif/exif_scanner.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE-LIST\n", argv[0]);
    return 2;
  }
  std::vector<std::string> files;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty()) files.push_back(line);
  }
  const auto start = std::chrono::steady_clock::now();
  int with_date = 0;
  int rotated = 0;
  for (const std::string& file : files) {
    uint32_t flags = plb::kJpegInfoExif;
    plb::TJpegInfoExRec info;
    plb::ReadJpegInfoFromFile(file, flags, info);
    if (info.shooting_date != 0) ++with_date;
    if (info.orientation > 1) ++rotated;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("files=%zu with_date=%d rotated=%d seconds=%.6f\n", files.size(), with_date, rotated, seconds);
  return 0;
}

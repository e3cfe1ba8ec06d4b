// plb volumes: the volumes (drives) as the catalog sees them, or the volume of each path given.
#include <cstdio>
#include <memory>

#include "json_output.h"
#include "platform/volumes.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  std::vector<std::string> paths;
  bool json = false;
};

void Print(const TDriveInfoRec& v, bool found, uint64_t free_bytes, const std::string& path, bool json) {
  if (json) {
    JsonObject row;
    if (!path.empty()) PutText(row, "path", path);
    row["found"] = found;
    PutText(row, "drive", v.Drive);
    row["type"] = v.DriveType;
    row["serial"] = v.VolumeSerial;
    PutText(row, "volume", v.VolumeName);
    row["free"] = free_bytes;
    PrintJsonLine(row);
    return;
  }
  if (!path.empty()) std::printf("%s: ", path.c_str());
  std::printf("%s  type %d  serial %08X  name \"%s\"  free %llu\n", found ? v.Drive.c_str() : "(none)", v.DriveType,
              static_cast<unsigned>(v.VolumeSerial), v.VolumeName.c_str(), static_cast<unsigned long long>(free_bytes));
}

int RunVolumes(const Options& o) {
  platform::IVolumeSource& volumes = platform::Volumes();
  if (o.paths.empty()) {
    for (const TDriveInfoRec& v : volumes.List()) Print(v, true, volumes.FreeBytes(v.Drive), "", o.json);
    return 0;
  }
  int missing = 0;
  for (const std::string& path : o.paths) {
    TDriveInfoRec v;
    bool found = volumes.DriveInfoOf(path, v);
    Print(v, found, found ? volumes.FreeBytes(path) : 0, path, o.json);
    if (!found) missing = 1;
  }
  return missing;
}

Runner DefineVolumes(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_option("PATH", o->paths, "paths whose volumes to show (none: every volume)");
  app.add_flag("--json", o->json, "one JSON object per volume");
  return [o] { return RunVolumes(*o); };
}

PLB_SUBCOMMAND("volumes", "[PATH...] [--json]", "the volumes as the catalog sees them, or those of the paths",
               DefineVolumes);

}  // namespace
}  // namespace plb::cli

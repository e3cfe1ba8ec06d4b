// plb volumes: the volumes (drives) as the catalog sees them, or the volume of each path given.
#include <cstdio>

#include "platform/volumes.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

void Print(const TDriveInfoRec& v, bool found, uint64_t free_bytes, const std::string& path, bool json) {
  if (json) {
    std::printf("{%s\"found\":%s,\"drive\":\"%s\",\"type\":%d,\"serial\":%d,\"volume\":\"%s\",\"free\":%llu}\n",
                path.empty() ? "" : ("\"path\":\"" + JsonEscape(path) + "\",").c_str(), found ? "true" : "false",
                JsonEscape(v.Drive).c_str(), v.DriveType, v.VolumeSerial, JsonEscape(v.VolumeName).c_str(),
                static_cast<unsigned long long>(free_bytes));
    return;
  }
  if (!path.empty()) std::printf("%s: ", path.c_str());
  std::printf("%s  type %d  serial %08X  name \"%s\"  free %llu\n", found ? v.Drive.c_str() : "(none)", v.DriveType,
              static_cast<unsigned>(v.VolumeSerial), v.VolumeName.c_str(), static_cast<unsigned long long>(free_bytes));
}

int RunVolumes(const Args& arguments) {
  Args args = arguments;
  bool json = TakeFlag(args, "--json");
  platform::IVolumeSource& volumes = platform::Volumes();
  if (args.empty()) {
    for (const TDriveInfoRec& v : volumes.List()) Print(v, true, volumes.FreeBytes(v.Drive), "", json);
    return 0;
  }
  int missing = 0;
  for (const std::string& path : args) {
    TDriveInfoRec v;
    bool found = volumes.DriveInfoOf(path, v);
    Print(v, found, found ? volumes.FreeBytes(path) : 0, path, json);
    if (!found) missing = 1;
  }
  return missing;
}

PLB_SUBCOMMAND("volumes", "[PATH...] [--json]", RunVolumes);

}  // namespace
}  // namespace plb::cli

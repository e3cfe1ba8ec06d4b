#pragma once
// The usage report sent for one reporting period: the counters of a ".upl" file and a
// description of the user's library, as XML text built line by line (each line ends in CR LF).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "service/logs/plb_log_item.h"

namespace plb {

// Photo size bins: the first size s with width >= s or height > s takes the photo.
inline constexpr std::array<int, 5> kPhotoIndexSizes = {4096, 2048, 1024, 512, 0};

// Folder statistics of one position of the library.
struct TPLBFolderStatistics {
  int32_t dir_count = 0;
  int32_t photo_count = 0;
  std::array<int32_t, kPhotoIndexSizes.size()> bins = {};

  // Counts one photo of that stored size into its bin and the photo count.
  void AddPhoto(int width, int height);
  void Add(const TPLBFolderStatistics& other, int sign = 1);
};

// The index of the bin a photo of that size falls into.
size_t PhotoIndexBin(int width, int height);

// A node of the tag tree: an album's display name, the items directly in it, its child albums.
struct TPLBTagNode {
  std::string name;
  int32_t photo_count = 0;
  std::vector<TPLBTagNode> children;
};

struct TPLBHintState {
  int32_t hint_id = 0;
  bool displayed = false;       // "disp" / "nodisp"
  TDateTime first_shown = 0;    // 0: never shown
  TDateTime last_shown = 0;
};

// What the report says about the library, gathered once per batch of ".upl" files.
struct TPLBLibraryDescription {
  TPLBFolderStatistics default_position;          // the user's standard folders
  TPLBFolderStatistics under_system_dir_position;  // other folders on the system drive
  TPLBFolderStatistics otherwise_position;        // folders on any other root
  bool has_tag_group = false;
  TPLBTagNode tag_group;  // the tag group itself, then its albums
  std::vector<TPLBHintState> hints;
  uint64_t cache_bytes = 0;
};

// The report's time pattern: local time followed by the fixed text "+09:00".
std::string UsageReportTime(TDateTime time);

// The report for the counters of item. version is the program's file version ("," become ".").
// Every inserted text is escaped for XML.
std::string BuildUsageReport(const TPLBLogItem& item, const TPLBLibraryDescription& library,
                             const std::string& version);

}  // namespace plb

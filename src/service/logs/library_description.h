#pragma once
// What the usage report says about the user's library, read from the running catalog: folder
// and photo counts by position and size, the tag tree, the animated hints' states. It runs on
// the log saver's thread while the application goes on, so it takes each folder's and item's
// own lock in turn and never a lock over the whole tree.
#include <cstdint>
#include <functional>
#include <string>

#include "service/logs/usage_report.h"

namespace plb {

class TOstraEngine;
class TFolderTreeList;
class TAlbumList;
class TFlashHintItems;

// The user's standard folders, as paths without a trailing "/" (empty: none).
struct TPLBStandardFolders {
  std::string documents;
  std::string pictures;
  std::string desktop;
};
// Documents, Pictures and Desktop of this user.
TPLBStandardFolders UserStandardFolders();

// Folder statistics by position. The system root is the tree of the volume mounted at "/";
// every other tree counts as "addOtherwise". A standard folder that lies inside another one, or
// equals it (user folders often all are the home folder), is counted with that one only.
void SetupFolderData(TFolderTreeList& folders, const TPLBStandardFolders& standard,
                     const std::function<bool()>& may_go_on, TPLBLibraryDescription& out);
// The tag group and its albums.
void SetupGroupData(const TAlbumList& albums, TPLBLibraryDescription& out);
void SetupHintData(const TFlashHintItems& hints, TPLBLibraryDescription& out);

// The whole description of a started engine; cache_bytes is the catalog image cache's total.
TPLBLibraryDescription DescribeLibrary(TOstraEngine& engine, uint64_t cache_bytes,
                                       const std::function<bool()>& may_go_on);

}  // namespace plb

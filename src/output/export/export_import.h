#pragma once
// Taking over an exported folder tree: the side-car "OstraExportInfo.xml" of each folder gives
// back the tags of its files. (The edits come back when the folder is scanned; see SearchFiles.)
#include <cstdint>

namespace plb {

class TAlbumList;
class TFolder;

// The album types whose tags are restored: tags (8) and imported albums (9).
constexpr uint32_t kRestoredAlbumTypes = (1u << 8) | (1u << 9);

// For folder and every folder below it that holds a side-car: each tag recorded for a file the
// folder holds is made (the album path created under its type's root where missing) and the item
// added to it. Answers the number of memberships added.
int RestoreExportedTags(TAlbumList& albums, TFolder* folder);

}  // namespace plb

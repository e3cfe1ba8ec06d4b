#pragma once
// What the catalog grid shows of a folder-like node: its items (a calendar group's are those of
// its days) and the name its bands and texts use.
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/qt_text.h"

namespace plb {
class TCatalogItem;
class TCustomFolder;
}  // namespace plb

namespace plb::shell {

bool IsAlbumKind(uint8_t kind);
// Years, months and the calendar root hold no items of their own: they show their days'.
bool IsCalendarGroup(uint8_t kind);
void CollectItems(const TCustomFolder& folder, std::vector<TCatalogItem*>& out);
// The name a folder is shown by: the album's display name for an album.
QString FolderDisplayName(const TCustomFolder& folder);

}  // namespace plb::shell

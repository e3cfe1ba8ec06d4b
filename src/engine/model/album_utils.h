#pragma once
// The small album utilities of the tray and the tag panel. They never throw: a failure is logged
// with the utility's name and answered with false (or an empty text).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"

namespace plb {

class TAlbum;
class TCatalogItem;
class TCustomFolder;

PLB_DECLARE_ERROR(EAlbumUtilsError, Error);

// Adds item with the entry value (its group); an entry the album has already is left as it is.
// True when the item was added. raiseItemEvent: the item announces that its tags changed;
// notify: the album announces that its contents changed.
bool OstraAddItemToAlbum(TAlbum* album, TCatalogItem* item, int32_t value, bool notify, bool raiseItemEvent);
// The same for each item, the album announcing once at the end; true when at least one was added.
bool OstraAddItemsToAlbum(TAlbum* album, const std::vector<TCatalogItem*>* items, int32_t value, bool notify,
                          bool raiseItemEvents);
// Removes item when the album holds it; true when it did.
bool OstraDelItemFromAlbum(TAlbum* album, TCatalogItem* item, bool raiseItemEvent, bool notify);
// The same for each item; true when at least one was removed.
bool OstraDelItemsFromAlbum(TAlbum* album, const std::vector<TCatalogItem*>* items, bool raiseItemEvents, bool notify);
// The names from below the top node down to folder, each ancestor followed by "\\"; an album
// shows its caption instead of its name when useCaptions is set and it has one.
std::string OstraGetFolderPathWithOutRoot(const TCustomFolder* folder, bool useCaptions);

}  // namespace plb

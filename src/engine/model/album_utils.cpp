#include "engine/model/album_utils.h"

#include <exception>

#include "engine/model/album.h"
#include "engine/model/catalog_item.h"
#include "engine/events/catalog_update_bus.h"
#include "engine/model/custom_folder.h"
#include "host/format.h"
#include "host/log_file.h"

namespace plb {
namespace {

[[noreturn]] void Refuse(const std::string& text) {
  WriteLog("EAlbumUtilsError\r\n" + text);
  throw EAlbumUtilsError(text);
}

// Runs body; a failure is logged with label and answered with fallback.
template <class T, class F>
T Guarded(const char* label, T fallback, F&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    WriteLog(Format("%s でエラーが発生しました。\r\n%s\r\n%s\r\n", label, ClassNameOf(e), MessageOf(e)));
    return fallback;
  }
}

bool AddOne(TAlbum* album, TCatalogItem* item, int32_t value, bool raiseItemEvent) {
  if (!item) Refuse("Item = nil");
  if (album->FindEntry(item)) return false;
  if (!album->AddItem(item, value)) return false;
  if (raiseItemEvent) RaiseCatalogUpdateEvent(item, cukTagsChanged);
  return true;
}

bool RemoveOne(TAlbum* album, TCatalogItem* item, bool raiseItemEvent) {
  if (!item) Refuse("Item = nil");
  if (album->RemoveItem(item) < 0) return false;
  if (raiseItemEvent) RaiseCatalogUpdateEvent(item, cukTagsChanged);
  return true;
}

void RequireItems(const std::vector<TCatalogItem*>* items) {
  if (!items) Refuse("Items = nil");
  if (items->empty()) Refuse("Items.Count = 0");
}

}  // namespace

bool OstraAddItemToAlbum(TAlbum* album, TCatalogItem* item, int32_t value, bool notify, bool raiseItemEvent) {
  return Guarded("OstraAddItemToAlbum", false, [&] {
    if (!album) Refuse("DestAlbum = nil");
    const bool added = AddOne(album, item, value, raiseItemEvent);
    if (added && notify) album->NotifyContentsChanged();
    return added;
  });
}

bool OstraAddItemsToAlbum(TAlbum* album, const std::vector<TCatalogItem*>* items, int32_t value, bool notify,
                          bool raiseItemEvents) {
  return Guarded("OstraAddItemsToAlbum", false, [&] {
    if (!album) Refuse("DestAlbum = nil");
    RequireItems(items);
    bool any = false;
    for (TCatalogItem* item : *items) {
      if (item && AddOne(album, item, value, raiseItemEvents)) any = true;
    }
    if (any && notify) album->NotifyContentsChanged();
    return any;
  });
}

bool OstraDelItemFromAlbum(TAlbum* album, TCatalogItem* item, bool raiseItemEvent, bool notify) {
  return Guarded("OstraDelItemFromAlbum", false, [&] {
    if (!album) Refuse("DestAlbum = nil");
    const bool removed = RemoveOne(album, item, raiseItemEvent);
    if (removed && notify) album->NotifyContentsChanged();
    return removed;
  });
}

bool OstraDelItemsFromAlbum(TAlbum* album, const std::vector<TCatalogItem*>* items, bool raiseItemEvents, bool notify) {
  return Guarded("OstraDelItemsFromAlbum", false, [&] {
    if (!album) Refuse("DestAlbum = nil");
    RequireItems(items);
    bool any = false;
    for (TCatalogItem* item : *items) {
      if (item && RemoveOne(album, item, raiseItemEvents)) any = true;
    }
    if (any && notify) album->NotifyContentsChanged();
    return any;
  });
}

std::string OstraGetFolderPathWithOutRoot(const TCustomFolder* folder, bool useCaptions) {
  return Guarded("OstraGetFolderPathWithOutRoot", std::string(), [&] {
    if (!folder) Refuse("SourceFolder = nil");
    std::string path = folder->GetName();
    if (useCaptions && folder->Kind() >= 3 && folder->Kind() <= 4) {
      const std::string caption = static_cast<const TAlbum*>(folder)->Caption();
      if (!caption.empty()) path = caption;
    }
    for (const TCustomFolder* node = folder->GetParent(); node && node->GetParent(); node = node->GetParent()) {
      path = node->GetName() + "\\" + path;
    }
    return path;
  });
}

}  // namespace plb

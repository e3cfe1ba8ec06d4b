#include "shell/tray/tray_backup.h"

#include <mutex>
#include <vector>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/file_kinds.h"
#include "shell/tray/tray_rules.h"

namespace plb::shell {
namespace {

constexpr TKindSet kBackupKinds =
    KindBit(fkBitmap) | KindBit(fkJpeg) | KindBit(fkRaw) | KindBit(fkMovie) | KindBit(fkSound);

struct EntryCopy {
  TCatalogItem* item;
  int32_t group;
  int16_t order;
};

std::vector<EntryCopy> CopiesOf(TAlbum& album) {
  std::vector<TAlbumItem*> entries;
  album.GetEntries(kBackupKinds, entries);
  std::vector<EntryCopy> out;
  std::lock_guard guard(album.Lock());
  for (const TAlbumItem* e : entries) out.push_back({e->Item, e->GroupNumber, e->OrderNumber});
  return out;
}

void Put(TAlbum& album, const std::vector<EntryCopy>& copies) {
  for (const EntryCopy& c : copies) {
    TAlbumItem* entry = album.AddItem(c.item, c.group);
    if (!entry) continue;  // a deleted item
    std::lock_guard guard(album.Lock());
    entry->OrderNumber = c.order;
  }
}

}  // namespace

void SaveTrayBackup(TAlbumList& albums, TAlbum& tray) {
  TAlbum* root = albums.Root(atWork6);
  if (!root) return;
  TAlbum* backup = root->FindOrAddChild(kTrayBackupAlbumName, true);
  if (!backup) return;
  backup->ClearItems();
  Put(*backup, CopiesOf(tray));
}

int RestoreTrayBackup(TAlbumList& albums, TAlbum& tray) {
  TAlbum* root = albums.Root(atWork6);
  TAlbum* backup = root ? root->FindOrAddChild(kTrayBackupAlbumName, false) : nullptr;
  if (!backup || backup->ItemCount() == 0) return 0;
  const std::vector<EntryCopy> copies = CopiesOf(*backup);
  Put(tray, copies);
  return static_cast<int>(copies.size());
}

}  // namespace plb::shell

#include "engine/workers/moved_item_pairing.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"

namespace plb {
namespace {

using TPhotoKey = std::tuple<uint8_t, uint64_t, double, double>;

// A photo without a shooting date read from it has too little to be told from another.
bool KeyOf(const TCatalogItem* item, TPhotoKey& key) {
  const double shot = item->ShootingDate();
  if (shot == 0 || item->ExifState() == 0) return false;
  key = {item->Kind(), item->FileSize(), item->FileDate(), shot};
  return true;
}

struct TSides {
  std::vector<TCatalogItem*> gone;
  std::vector<TCatalogItem*> fresh;
};

// The gone item takes the fresh item's place in its folder, under the fresh item's name.
bool TakePlace(TCatalogItem* old, TCatalogItem* fresh) {
  TFolder* place = fresh->Owner();
  TFolder* former = old->Owner();
  if (!place || !former || place->TakeItemOut(fresh) < 0) return false;
  std::unique_ptr<TCatalogItem> owned = former->ReclaimRemovedItem(old);
  if (!owned) {
    std::unique_ptr<TCatalogItem> back = place->ReclaimRemovedItem(fresh);
    if (back) place->AddItem(back);
    return false;
  }
  const std::string formerName = old->FileName();
  fresh->SetState(cisDeleted);
  owned->SetFileNameRaw(fresh->FileName());
  if (place->AddItem(owned) >= 0) {
    // The name was taken meanwhile: the old item goes back among its folder's removed items.
    owned->SetFileNameRaw(formerName);
    if (former->AddItem(owned) < 0) former->TakeItemOut(old);
    if (owned) (void)owned.release();  // listed nowhere: it must outlive whatever still points at it
    return false;
  }
  old->SetState(cisPresent);
  place->NotifyContentsChanged();
  return true;
}

bool TakeAsPairingCandidate(TCatalogItem* item, bool isNew) {
  if (isNew) return true;
  if (!item->Unjudged()) return false;
  item->SetUnjudged(false);
  return !item->HoldsUserData();
}

}  // namespace

void SearchFilesInPass(TFolder* folder, const TExtItems& table, std::vector<TCatalogItem*>& found,
                       std::vector<TCatalogItem*>& candidates) {
  std::vector<TCatalogItem*> known;
  folder->GetItems(known);
  std::sort(known.begin(), known.end());
  found.clear();
  folder->SearchFiles(&table, &found);
  for (TCatalogItem* item : found) {
    if (TakeAsPairingCandidate(item, !std::binary_search(known.begin(), known.end(), item))) {
      candidates.push_back(item);
    }
  }
}

std::vector<TCatalogItem*> PairMovedItems(const std::vector<TCatalogItem*>& gone,
                                          const std::vector<TCatalogItem*>& fresh) {
  if (gone.empty()) return {};
  std::map<TPhotoKey, TSides> sides;
  std::vector<TCatalogItem*> unpaired;
  TPhotoKey key;
  for (TCatalogItem* item : gone) {
    if (KeyOf(item, key)) {
      sides[key].gone.push_back(item);
    } else {
      unpaired.push_back(item);
    }
  }
  for (TCatalogItem* item : fresh) {
    if (item->State() != cisDeleted && item->Owner() && KeyOf(item, key)) {
      auto it = sides.find(key);
      if (it != sides.end()) it->second.fresh.push_back(item);
    }
  }
  for (auto& [photo, side] : sides) {
    // Two photos alike in all of this are not told apart by guessing: neither is paired.
    const bool unique = side.gone.size() == 1 && side.fresh.size() == 1;
    if (!unique || !TakePlace(side.gone.front(), side.fresh.front())) {
      unpaired.insert(unpaired.end(), side.gone.begin(), side.gone.end());
    }
  }
  return unpaired;
}

}  // namespace plb

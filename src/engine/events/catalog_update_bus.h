#pragma once
// The catalog-update bus: changes of single catalog items (renamed, marked, rotated, a new
// thumbnail, ...) are raised from any thread as (item, kind) and delivered by one watcher thread
// to the registered listeners, on the UI thread for listeners that ask for it.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(ECatalogUpdaterError, Error);

// Kinds of catalog-update events (5 and 19 are not used).
enum TCatalogUpdateKind : uint8_t {
  cukRenamed = 1,
  cukMissing = 2,
  cukCopiedOrMoved = 3,
  cukTagsChanged = 4,
  cukMarkChanged = 6,
  cukFourLevelMarkChanged = 7,
  cukCounterChanged = 8,
  cukSecondMarkChanged = 9,
  cukShootingDateWritten = 10,
  cukShootingDateWritten2 = 11,
  cukOrientationChanged = 12,
  cukCommentChanged = 13,
  cukEffectChanged = 14,
  cukThumbnailStored = 15,
  cukTrimmingEdited = 16,
  cukViewRectStored = 17,
  cukTrimmingSwitched = 18,
  cukFileOverwritten = 20,
  cukUploadStatusChanged = 21,
};

using TCatalogUpdateHandler = std::function<void(TCatalogItem* item, uint8_t kind)>;

// Creates the bus and starts its watcher when they do not exist.
void InitializeCatalogUpdater();
// Stops the watcher (running pending UI work while waiting) and destroys the bus.
void FinalizeCatalogUpdater();
// A listener is known by its owner and handler code. synchronized: delivered on the UI thread,
// else on the watcher thread. ECatalogUpdaterError for a missing owner or handler or no bus.
void RegisterCatalogUpdateEvent(const void* owner, std::string ownerClassName, bool synchronized,
                                std::string handlerCode, TCatalogUpdateHandler handler);
// Removes every listener of that owner and code. Called from a thread other than the watcher's
// it returns only after a call of such a listener that is under way has ended, so the owner may
// be destroyed afterwards.
void UnRegisterCatalogUpdateEvent(const void* owner, const std::string& handlerCode);
// Queues an event; nothing for no item or when the bus does not exist.
void RaiseCatalogUpdateEvent(TCatalogItem* item, uint8_t kind);
bool CatalogUpdaterRunning();

}  // namespace plb

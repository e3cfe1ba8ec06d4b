#pragma once
// Fan-out of folder-updated events to the windows that show folders, albums or the calendar.
// Three masters exist while the engine runs (folders, albums, calendar); each receives the
// events of its family from a watcher thread and calls every registered listener.
#include <mutex>
#include <string>
#include <vector>

#include "engine/events/folder_events.h"

namespace plb {

// The name of an event kind, as error texts print it.
std::string FolderUpdatedTypeName(uint8_t kind);

class TFolderUpdateMaster {
 public:
  TFolderUpdateMaster() = default;
  TFolderUpdateMaster(const TFolderUpdateMaster&) = delete;
  TFolderUpdateMaster& operator=(const TFolderUpdateMaster&) = delete;

  // A listener is known by its owner and its handler code (any key the owner picks, usually the
  // handler's name); nothing is registered without an owner or a handler. Registering twice
  // delivers twice.
  void RegisterListener(const void* owner, std::string ownerClassName, std::string handlerCode,
                        TFolderUpdateHandler handler);
  // Removes every listener with that owner and code.
  void UnregisterListener(const void* owner, const std::string& handlerCode);
  int ListenerCount() const;

  // Calls every listener, last registered first. A listener that raises is dropped for good and
  // the error logged; the others still get the event. Kinds above 13 are refused. Listeners must
  // not register or unregister with this master from inside their handler.
  void DoEvent(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param);

  // DoEvent as a handler to install.
  TFolderUpdateHandler Handler();

 private:
  struct Listener {
    const void* owner;
    std::string ownerClassName;
    std::string code;
    TFolderUpdateHandler handler;
  };
  mutable std::recursive_mutex lock_;
  std::vector<Listener> listeners_;
};

}  // namespace plb

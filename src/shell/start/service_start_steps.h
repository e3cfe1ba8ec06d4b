#pragma once
// The start and stop steps of the online service: the application information (and the log-out it
// arms), the update check and the splash, the background re-upload thread, the local parameter
// file a restart hands on, and the pending installer at the very end.
#include <functional>

#include "host/start_sequence.h"

namespace plb {
class TAlbumList;
}

namespace plb::shell {

struct TServiceStartOptions {
  int splash_ms = 3000;
  int back_upload_wait_ms = 10000;  // the re-upload thread's rest between passes
};

// Fills the service's hooks of the sequence. albums answers the catalog's albums once the engine
// has started (null without a catalog): the re-upload thread keeps the photo books' albums in
// step with the service.
void AddServiceStartSteps(StartHooks& hooks, const TServiceStartOptions& options = {},
                          std::function<TAlbumList*()> albums = {});

}  // namespace plb::shell

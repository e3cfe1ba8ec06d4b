#include "engine/events/folder_events.h"

#include <atomic>

namespace plb {

namespace {
std::atomic<IFolderEventRouter*> g_router{nullptr};
}  // namespace

void SetFolderEventRouter(IFolderEventRouter* router) {
  g_router.store(router);
}

TFolderUpdateHandler RouteFolderEvents(const std::string& masterName, TFolderUpdateHandler target) {
  IFolderEventRouter* router = g_router.load();
  return router ? router->Route(masterName, std::move(target)) : target;
}

}  // namespace plb

#pragma once
// Folder-updated events: every folder-like node (file-system folders, albums, calendar nodes)
// reports changes as (node, kind, parameter) to the handler installed on it. The handlers of a
// family of nodes are routed through that family's event master, which queues the events and
// delivers them on the UI thread; until a master is installed, events go to their target
// directly.
#include <cstdint>
#include <functional>
#include <string>

namespace plb {

class TCustomFolder;

enum TFolderUpdatedType : uint8_t {
  futCreated = 0,
  futRenamed = 1,
  futDeleted = 2,
  futParentChanging = 3,  // parameter: the previous parent
  futParentChanged = 4,   // parameter: the previous parent
  futLocked = 5,
  futUnLocked = 6,
  futActived = 7,
  futDeActived = 8,
  futDateChanged = 9,
  futCaptionChanged = 10,
  futSourceChanged = 11,
  futContentsChanged = 12,
  futCountsChanged = 13,
};
constexpr uint8_t kLastFolderUpdatedType = futCountsChanged;

// The parameter is wide enough for a node pointer (the previous parent of a move).
using TFolderEventParam = intptr_t;
using TFolderUpdateHandler = std::function<void(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param)>;

// The event masters ("(Folder)", "(Album)"): given the target that wants the events, a master
// answers the handler to install on the nodes instead (its own queueing post).
class IFolderEventRouter {
 public:
  virtual ~IFolderEventRouter() = default;
  virtual TFolderUpdateHandler Route(const std::string& masterName, TFolderUpdateHandler target) = 0;
};

// Installs the router (null: direct delivery). The router must outlive every route it answered.
void SetFolderEventRouter(IFolderEventRouter* router);
// The handler to install for target through the named master; target itself without a router.
TFolderUpdateHandler RouteFolderEvents(const std::string& masterName, TFolderUpdateHandler target);

}  // namespace plb

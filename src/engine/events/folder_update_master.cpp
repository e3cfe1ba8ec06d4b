#include "engine/events/folder_update_master.h"

#include <algorithm>
#include <exception>

#include "host/error_forms.h"
#include "host/log_file.h"
#include "platform/error.h"

namespace plb {

std::string FolderUpdatedTypeName(uint8_t kind) {
  static const char* const kNames[] = {
      "futCreated",        "futRenamed",       "futDeleted",         "futParentChanging", "futParentChanged",
      "futLocked",         "futUnLocked",      "futActived",         "futDeActived",      "futDateChanged",
      "futCaptionChanged", "futSourceChanged", "futContentsChanged", "futCountsChanged"};
  return kind <= kLastFolderUpdatedType ? kNames[kind] : "Unknown";
}

void TFolderUpdateMaster::RegisterListener(const void* owner, std::string ownerClassName, std::string handlerCode,
                                           TFolderUpdateHandler handler) {
  if (!owner || !handler) return;
  std::lock_guard guard(lock_);
  listeners_.push_back(Listener{owner, std::move(ownerClassName), std::move(handlerCode), std::move(handler)});
}

void TFolderUpdateMaster::UnregisterListener(const void* owner, const std::string& handlerCode) {
  std::lock_guard guard(lock_);
  for (size_t i = listeners_.size(); i-- > 0;) {
    if (listeners_[i].owner == owner && listeners_[i].code == handlerCode) listeners_.erase(listeners_.begin() + i);
  }
}

int TFolderUpdateMaster::ListenerCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(listeners_.size());
}

void TFolderUpdateMaster::DoEvent(TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) {
  if (kind > kLastFolderUpdatedType) return;
  std::lock_guard guard(lock_);
  for (size_t i = listeners_.size(); i-- > 0;) {
    if (i >= listeners_.size()) continue;
    try {
      listeners_[i].handler(node, kind, param);
    } catch (const std::exception& e) {
      WriteLog(DoEventErrorText("TFolderUpdateMaster", listeners_[i].ownerClassName, FolderUpdatedTypeName(kind),
                                MessageOf(e)));
      listeners_.erase(listeners_.begin() + i);
    } catch (...) {
      listeners_.erase(listeners_.begin() + i);
    }
  }
}

TFolderUpdateHandler TFolderUpdateMaster::Handler() {
  return [this](TCustomFolder* node, TFolderUpdatedType kind, TFolderEventParam param) { DoEvent(node, kind, param); };
}

}  // namespace plb

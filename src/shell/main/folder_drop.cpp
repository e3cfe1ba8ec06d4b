#include "shell/main/folder_drop.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "engine/model/folder.h"
#include "engine/operations/calendar_folder.h"
#include "engine/workers/folder_updater.h"
#include "host/log_file.h"

namespace plb::shell {

std::vector<std::string> DroppedFolders(const QMimeData* data) {
  std::vector<std::string> folders;
  if (!data || !data->hasUrls()) return folders;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir()) folders.push_back(info.absoluteFilePath().toStdString());
  }
  return folders;
}

std::vector<TFolder*> AddDroppedFolders(TFolderTreeList& trees, const std::vector<std::string>& paths) {
  std::vector<TFolder*> added;
  for (const std::string& path : paths) {
    try {
      if (TFolder* folder = RegisterCalendarFolder(trees, path, false)) {
        added.push_back(folder);
        WriteLog("Folder dropped into the calendar: " + folder->GetFullName());
      }
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.DropFolder(" + path + ")", e);
    }
  }
  // The pass under way may have passed the new folder already: a request starts it again.
  if (!added.empty()) RequestUpdate();
  return added;
}

}  // namespace plb::shell

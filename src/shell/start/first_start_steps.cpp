#include "shell/start/first_start_steps.h"

#include <exception>

#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/operations/calendar_folder.h"
#include "host/format.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "platform/error.h"
#include "platform/special_folders.h"

namespace plb::shell {
namespace {

const char* const kSampleTags[] = {"家族", "友達", "旅行", "イベント", "花", "紅葉", "桜", "お祭り"};

// Registers one folder; false when it is not there.
bool Register(TFolderTreeList& trees, const std::string& path, bool withSubFolders) {
  try {
    return RegisterCalendarFolder(trees, path, withSubFolders) != nullptr;
  } catch (const std::exception& e) {
    LogFailure(Format("AddAutoUpdateFolderPath(%s)", path), e);
    return false;
  }
}

void AddSampleTags(TAlbumList& albums) {
  for (const char* name : kSampleTags) {
    try {
      albums.GetAlbumFromPathEx(atTag, name, true);
    } catch (const std::exception& e) {
      LogFailure("AddSampleTag", e);
    }
  }
}

}  // namespace

TFirstStartFolders UserFirstStartFolders() {
  using platform::SpecialFolder;
  TFirstStartFolders folders;
  for (SpecialFolder f :
       {SpecialFolder::kDocuments, SpecialFolder::kPictures, SpecialFolder::kCommonPictures, SpecialFolder::kDesktop}) {
    folders.calendar.push_back(platform::SpecialFolderPath(f));
  }
  folders.videos = platform::SpecialFolderPath(SpecialFolder::kVideos);
  return folders;
}

bool RunFirstStartSteps(TPlumoraConfigItem& config, TFolderTreeList& trees, TAlbumList* albums,
                        const TFirstStartFolders& folders) {
  bool registered = false;
  if (!config.ShortCutCreated()) {
    for (const std::string& path : folders.calendar) registered |= Register(trees, path, false);
    config.SetShortCutCreated(true);
  }
  if (!config.SampleTagAdded()) {
    if (albums) AddSampleTags(*albums);
    config.SetSampleTagAdded(true);
  }
  if (!config.MyVideoFolderAdded()) {
    registered |= Register(trees, folders.videos, true);
    config.SetMyVideoFolderAdded(true);
  }
  return registered;
}

}  // namespace plb::shell

#pragma once
// A catalog of folder trees on a fake fixed volume at <test root>/vol, for tests that work on
// real files and their catalog items.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "platform/volumes.h"
#include "support/test_env.h"

namespace plb::test {

class VolumeCatalog {
 public:
  VolumeCatalog() : vol_(TestRoot() + "/vol") {
    std::filesystem::create_directories(vol_);
    volumes_.Mount({platform::kDriveFixed, 0x1234, "Data", vol_});
  }

  const std::string& Volume() const { return vol_; }
  TFolderTreeListEyeFi& Trees() { return trees_; }

  // The catalog folder of <vol>/sub with its files of the catalogued kinds listed; its items, in
  // name order, are added to items when given.
  TFolder* ScannedFolder(const std::string& sub, std::vector<TCatalogItem*>* items = nullptr) {
    TFolder* folder = trees_.FolderOf(vol_ + "/" + sub);
    if (!folder) return nullptr;
    TExtItems table;
    table.Build(kCatalogKinds);
    folder->SearchFiles(&table, nullptr);
    if (items) folder->GetItems(*items);
    return folder;
  }

 private:
  std::string vol_;
  platform::FakeVolumeSource volumes_;
  platform::ScopedVolumeSource scoped_{volumes_};
  TFolderTreeListEyeFi trees_;
};

}  // namespace plb::test

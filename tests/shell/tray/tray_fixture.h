#pragma once
// A tray grid on a real catalog: a folder of sample photos scanned into the folder tree, the
// albums, the thumbnail cache and the catalog-update bus, with the tray's message boxes recorded
// instead of shown.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/workers/folder_tree_scan.h"
#include "images/codec/image_load.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/thumbnails/engine_thumbnail_cache.h"
#include "platform/ui_dispatcher.h"
#include "service/api/plumora_api_params.h"
#include "shell/qt_test_app.h"
#include "shell/start/qt_ui_dispatcher.h"
#include "shell/tray/frame_tray.h"
#include "support/test_env.h"

namespace plb::shell::test_tray {

namespace fs = std::filesystem;

struct TToldMessage {
  TFrameTray::TMessageKind kind;
  QString text;
};

class TrayFixture : public testing::Test {
 protected:
  // photos: how many photos the folder holds (the samples, repeated under new names).
  void MakeCatalog(int photos) {
    test::QtApp();
    // The process-wide parameter store: a start without a page to show.
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
    dispatcher_ = std::make_unique<QtUiDispatcher>();
    installed_ = std::make_unique<platform::ScopedUiDispatcher>(*dispatcher_);
    InitializeCatalogUpdater();
    InstallEngineImageCache();
    InstallCatalogImageReader();
    folderPath_ = fs::canonical(test::TestRoot()).string() + "/photos";
    fs::create_directories(folderPath_);
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(test::TestDataDir() + "/exif-samples/jpg/orientation"))
      if (entry.path().extension() == ".jpg") samples.push_back(entry.path());
    std::sort(samples.begin(), samples.end());
    ASSERT_FALSE(samples.empty());
    for (int i = 0; i < photos; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "p%02d.jpg", i);
      fs::copy_file(samples[static_cast<size_t>(i) % samples.size()], folderPath_ + "/" + name);
    }
    table_.Build(kCatalogKinds);
    folder_ = trees_.FolderOf(folderPath_);
    ASSERT_NE(folder_, nullptr);
    Scan();
    for (int i = 0; i < photos; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "p%02d.jpg", i);
      items_.push_back(folder_->FindItem(name));
      ASSERT_NE(items_.back(), nullptr) << name;
    }
    cache_.InitializeCatalog(0, test::TestRoot() + "/thumbs", true, 64 << 20);
  }

  void MakeTray() {
    tray_ = std::make_unique<TFrameTray>(albums_);
    tray_->resize(720, 240);
    tray_->SetMessageBox([this](TFrameTray::TMessageKind kind, const QString& text) { told_.push_back({kind, text}); });
    tray_->Start(&cache_);
    tray_->show();
  }

  void TearDown() override {
    tray_.reset();
    FinalizeCatalogUpdater();
    PlumoraApiParams().Update([](TPlumoraApiParamValues& v) { v = TPlumoraApiParamValues(); });
  }

  void Scan() { ASSERT_TRUE(ScanFolderTree(folder_, table_).empty()); }

  std::vector<TCatalogItem*> Items(std::initializer_list<int> numbers) const {
    std::vector<TCatalogItem*> out;
    for (int n : numbers) out.push_back(items_[static_cast<size_t>(n)]);
    return out;
  }
  std::vector<TCatalogItem*> First(size_t n) const {
    return std::vector<TCatalogItem*>(items_.begin(), items_.begin() + static_cast<long>(n));
  }
  // A tray's items (by default the fixture's tray) by their numbers in items_.
  std::vector<int> Shown(const TFrameTray* tray = nullptr) const {
    std::vector<int> out;
    for (TCatalogItem* item : (tray ? tray : tray_.get())->Items())
      out.push_back(static_cast<int>(std::find(items_.begin(), items_.end(), item) - items_.begin()));
    return out;
  }
  QString LastText() const { return told_.empty() ? QString() : told_.back().text; }

  std::unique_ptr<QtUiDispatcher> dispatcher_;
  std::unique_ptr<platform::ScopedUiDispatcher> installed_;
  std::string folderPath_;
  TExtItems table_;
  TFolderTreeList trees_;
  TFolder* folder_ = nullptr;
  std::vector<TCatalogItem*> items_;
  TCatalogImageCacheMaster cache_;
  TAlbumList albums_;
  std::unique_ptr<TFrameTray> tray_;
  std::vector<TToldMessage> told_;
};

}  // namespace plb::shell::test_tray

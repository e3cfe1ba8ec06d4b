#pragma once
// The main window on the tray fixture's catalog, with the local service (a real process) as its
// service: the library shows the catalog's folder and the tray below it records its messages.
#include <gtest/gtest.h>

#include <QRect>
#include <functional>
#include <memory>

#include "service/api/plumora_api_params.h"
#include "service/local_service_process.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/main_window.h"
#include "shell/tray/frame_plumora_tray.h"
#include "tray_fixture.h"

namespace plb::shell::test_tray {

class TrayWindowFixture : public TrayFixture {
 protected:
  // photos: the catalog's size; params: start values of the parameter store beyond the service's.
  void OpenWindow(int photos, const QRect& geometry, const std::function<void(TPlumoraApiParamValues&)>& params) {
    MakeCatalog(photos);
    service_ = std::make_unique<test::LocalServiceProcess>();
    service_->UseAsService();
    PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
      v.image_cache_limit = 512000;
      v.upload_api_version = 1;
      params(v);
    });
    window_ = std::make_unique<TPlumoraMain2>("Plumora Browser");
    TLibrarySources sources;
    sources.folders = &trees_;
    sources.albums = &albums_;
    sources.cache = &cache_;
    window_->Library()->Attach(sources);
    window_->setGeometry(geometry);
    window_->show();
    inWindow_ = window_->Tray()->Tray();
    ASSERT_NE(inWindow_, nullptr) << "the tray starts with the window";
    inWindow_->SetMessageBox(
        [this](TFrameTray::TMessageKind kind, const QString& text) { told_.push_back({kind, text}); });
    window_->Library()->Catalog()->ShowFolder(folder_);
  }

  void TearDown() override {
    window_.reset();
    TrayFixture::TearDown();
    service_.reset();
  }

  std::unique_ptr<test::LocalServiceProcess> service_;
  std::unique_ptr<TPlumoraMain2> window_;
  TFrameTray* inWindow_ = nullptr;
};

}  // namespace plb::shell::test_tray

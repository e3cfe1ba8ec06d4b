#include "shell/main/window_settings.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <cstdint>

#include "engine/views/sorted_item_list.h"
#include "host/config_values.h"
#include "host/plumora_config_item.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/main_window.h"
#include "shell/viewer/photo_viewer.h"

namespace plb::shell {
namespace {

constexpr int32_t kShowNormal = 1;
constexpr int32_t kShowMaximized = 3;
constexpr const char* kGroupingField = "AlwaysShowTitleRow2";
// The viewer's size: fitted to the window or the original size.
constexpr uint8_t kViewFitted = 0;
constexpr uint8_t kViewOriginalSize = 1;

void PutInt(std::string& out, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

int32_t GetInt(const std::string& in, size_t offset) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(in[offset + i])) << (8 * i);
  return static_cast<int32_t>(u);
}

// Grouping has no value of its own until the user has chosen it: the design's grouping stays.
bool GroupingStored(const TPlumoraConfigItem& config) {
  for (const ConfigValueView& view : config.Describe()) {
    if (view.name == kGroupingField) return view.source != ConfigSource::kDefault;
  }
  return false;
}

QRect WorkArea() {
  QScreen* screen = QApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

std::string EncodeWindowPlacement(const TWindowPlacement& placement) {
  std::string out;
  PutInt(out, static_cast<int32_t>(kWindowPlacementSize));
  PutInt(out, 0);
  PutInt(out, placement.maximized ? kShowMaximized : kShowNormal);
  for (int i = 0; i < 4; ++i) PutInt(out, -1);  // minimised and maximised positions: the system's
  const QRect& r = placement.normal;
  PutInt(out, r.left());
  PutInt(out, r.top());
  PutInt(out, r.left() + r.width());
  PutInt(out, r.top() + r.height());
  return out;
}

std::optional<TWindowPlacement> DecodeWindowPlacement(const std::string& record) {
  if (record.size() != kWindowPlacementSize || GetInt(record, 0) != static_cast<int32_t>(kWindowPlacementSize)) {
    return std::nullopt;
  }
  const int64_t left = GetInt(record, 28), top = GetInt(record, 32), right = GetInt(record, 36),
                bottom = GetInt(record, 40);
  // A stored rectangle is hostile like any file content: no negative or absurd sizes.
  constexpr int64_t kLimit = 1 << 20;
  if (right <= left || bottom <= top || right - left > kLimit || bottom - top > kLimit ||
      std::abs(left) > kLimit || std::abs(top) > kLimit) {
    return std::nullopt;
  }
  TWindowPlacement placement;
  placement.maximized = GetInt(record, 8) == kShowMaximized;
  placement.normal = QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                           static_cast<int>(bottom - top));
  return placement;
}

QRect MoveIntoArea(const QRect& rect, const QRect& area) {
  if (area.isEmpty() || area.contains(rect)) return rect;
  QRect r(rect.topLeft(), rect.size().boundedTo(area.size()));
  if (r.right() > area.right()) r.moveRight(area.right());
  if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
  if (r.left() < area.left()) r.moveLeft(area.left());
  if (r.top() < area.top()) r.moveTop(area.top());
  return r;
}

void RestoreWindowSettings(TPlumoraMain2& window, const TPlumoraConfigItem& config) {
  if (const auto placement = DecodeWindowPlacement(config.WindowPlacement())) {
    window.setGeometry(MoveIntoArea(placement->normal, WorkArea()));
    if (placement->maximized) window.setWindowState(window.windowState() | Qt::WindowMaximized);
  }
  TLibraryPage* page = window.Library();
  const int folder_width = config.TargetPanelW();
  if (folder_width >= kMinFolderPanelWidth) {
    QList<int> sizes = page->sizes();
    if (sizes.size() >= 2) {
      const int total = std::max(sizes[0] + sizes[1], folder_width + 1);
      sizes[1] = total - folder_width;
      sizes[0] = folder_width;
      page->setSizes(sizes);
    }
  }
  TFrameCatalogDG* catalog = page->Catalog();
  // File name, or else the shooting date: the other keys are not offered to the user.
  const uint8_t key = config.SortType() == skFileName ? skFileName : skShootingDate;
  catalog->SetSortOrder(key, config.SortUp());
  catalog->SetThumbnailSize(config.ThumbnailSize());
  if (GroupingStored(config)) catalog->SetGroupByDay(config.AlwaysShowTitleRow2());
  TPhotoViewer* viewer = page->Viewer();
  viewer->SetMouseMode(config.CursorMode());
  if (config.ViewImageSize() == kViewOriginalSize) {
    viewer->SetZoom(1.0);
  } else {
    viewer->FitToWindow();
  }
}

void SaveWindowSettings(const TPlumoraMain2& window, TPlumoraConfigItem& config) {
  TWindowPlacement placement;
  placement.maximized = window.isMaximized();
  placement.normal = window.isMaximized() ? window.normalGeometry() : window.geometry();
  if (!placement.normal.isEmpty()) config.SetWindowPlacement(EncodeWindowPlacement(placement));
  const QList<int> sizes = window.Library()->sizes();
  if (!sizes.isEmpty() && sizes[0] >= kMinFolderPanelWidth) config.SetTargetPanelW(sizes[0]);
  // The tool panel's width, when it is open.
  if (sizes.size() >= 3 && sizes[2] >= kMinFolderPanelWidth) config.SetToolPanelW(sizes[2]);
  const TFrameCatalogDG* catalog = window.Library()->Catalog();
  config.SetSortType(catalog->SortKey() == skFileName ? skFileName : skShootingDate);
  config.SetSortUp(catalog->Ascending());
  config.SetThumbnailSize2(static_cast<uint16_t>(catalog->ThumbnailSize()));
  config.SetAlwaysShowTitleRow2(catalog->GroupByDay());
  const TPhotoViewer* viewer = window.Library()->Viewer();
  config.SetCursorMode(viewer->MouseMode());
  config.SetViewImageSize(viewer->Fitted() ? kViewFitted : kViewOriginalSize);
}

}  // namespace plb::shell

#pragma once
// The tray panel below the library: a title bar that folds the panel, the photo book's preview
// page with a gauge of how full the book is, and the tray grid. It is the main window's only
// contact with the tray. The grid exists from Start (it needs the engine's albums) on.
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "shell/tray/frame_tray.h"

class QLabel;
class QSplitter;
class QToolButton;
class QWebEngineView;

namespace plb {
class TAlbumList;
class TCatalogImageCacheMaster;
class TCatalogItem;
class TPlumoraConfigItem;
}  // namespace plb

namespace plb::shell {

class TTrayGauge;

struct TTrayConfiguration {
  std::string book_id;
  std::string preview_url;
  int body_icon_width = 240;
  int body_icon_height = 240;
  int photo_count = 0;
  int rest_count = 0;
  int tray_mode = 0;
  std::string bgm_res_id;
};

class TFramePlumoraTray : public QWidget {
  Q_OBJECT
 public:
  explicit TFramePlumoraTray(QWidget* parent = nullptr);
  ~TFramePlumoraTray() override;

  // Makes (once) and starts the tray grid on the albums, puts back what the tray held when the
  // last run stopped, and becomes active.
  void Start(TAlbumList& albums, TCatalogImageCacheMaster* cache, const TPlumoraConfigItem* config);
  // Keeps the tray's contents in the backup album, leaves the preview page and stops the grid.
  void Stop();
  bool Active() const { return active_; }
  // Null before the first Start.
  TFrameTray* Tray() const { return tray_; }

  // The last parameter command's book, preview, counts and mode; every step runs even when one
  // before it failed, and the preview and count panel always follow.
  void Configure(const TTrayConfiguration& c);
  // 0 the service page is shown, 1 the library page.
  void SetTabName(int page);
  // A page function of the preview, with one argument (logged when it cannot be called).
  void CallPreviewScript(const std::string& name, const std::string& arg);

  void AddItemsToTray(const std::vector<TCatalogItem*>& items);
  void TakeItemsOutOfTray(const std::vector<TCatalogItem*>& items);
  void RefreshTray();
  void RefreshPreview();

  // The title bar folds the panel down to itself.
  void SetFolded(bool folded);
  bool Folded() const { return folded_; }

  // What the preview shows ("about:blank" when nothing), and the page's content size.
  std::string PreviewUrl() const { return preview_url_; }
  QWebEngineView* Preview() const { return view_; }
  QSize ContentSize() const { return content_; }
  QWidget* CountPanel() const { return count_panel_; }
  QLabel* RestLabel() const { return rest_label_; }
  TTrayGauge* Gauge() const { return gauge_; }
  QWidget* PreviewPanel() const { return preview_panel_; }
  // The margins the centring gives the preview page (left, top).
  QPoint PreviewMargins() const;

  static constexpr int kTitleHeight = 20;
  static constexpr int kGridHeight = 200;

 signals:
  // The panel was shown or hidden (the window's splitter above it follows).
  void shownChanged(bool shown);
  void foldedChanged(bool folded);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetPreviewUrl(const std::string& url);
  void EnsureView();
  void DocumentComplete(bool ok);
  void Centre();
  void CleanupPreview();

  bool active_ = false;
  bool folded_ = false;
  std::string preview_url_ = "about:blank";
  QSize content_;
  QWidget* title_ = nullptr;
  QToolButton* fold_ = nullptr;
  QWidget* body_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QWidget* preview_panel_ = nullptr;
  QWidget* preview_host_ = nullptr;
  QWebEngineView* view_ = nullptr;
  QWidget* count_panel_ = nullptr;
  QLabel* rest_label_ = nullptr;
  TTrayGauge* gauge_ = nullptr;
  QWidget* tray_slot_ = nullptr;
  TFrameTray* tray_ = nullptr;
  TAlbumList* albums_ = nullptr;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A command's tray display bits: 1 enable (the panel is there), 2 disable (it is not), 4 unfold,
// 8 fold. Answers the enabled state after them (enabled: the state before).
bool ApplyTrayRequest(TFramePlumoraTray& panel, int bits, bool enabled);

}  // namespace plb::shell

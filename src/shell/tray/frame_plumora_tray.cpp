#include "shell/tray/frame_plumora_tray.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QSplitter>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <exception>

#include "engine/model/album.h"
#include "host/log_file.h"
#include "platform/error.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/tray/tray_backup.h"
#include "shell/tray/tray_gauge.h"
#include "shell/tray/tray_rules.h"
#include "shell/web/script_call.h"
#include "shell/web/web_home_rules.h"
#include "shell/web/web_view_release.h"

namespace plb::shell {
namespace {

constexpr const char* kBlank = "about:blank";
constexpr int kPreviewWidth = 200;
// The service page's tab label: it names the service's site, and comes back as "tabname".
constexpr const char* kLibraryTabName = "PhotoLibrary";
// One border of the system's frames (the panel's height counts eight of them).
constexpr int kBorder = 1;

// Fits the page to the panel: no margins, no scroll bars, the body as wide and high as what it
// holds (so that it can be centred); answers the content's size.
constexpr const char* kFitScript =
    "(function(){var b=document.body;if(!b)return null;"
    "b.setAttribute('leftmargin','0');b.setAttribute('topmargin','0');"
    "document.documentElement.style.overflow='hidden';"
    "b.style.margin='0';b.style.overflow='hidden';b.style.display='inline-block';"
    "return [b.scrollWidth,b.scrollHeight];})()";

}  // namespace

TFramePlumoraTray::TFramePlumoraTray(QWidget* parent) : QWidget(parent) {
  setObjectName("TFramePlumoraTray");
  title_ = new QWidget(this);
  title_->setObjectName("TrayTitle");
  title_->setFixedHeight(kTitleHeight);
  title_->setAutoFillBackground(true);
  QPalette palette = title_->palette();
  palette.setColor(QPalette::Window, QColor(0x5A, 0x7E, 0xB8));
  palette.setColor(QPalette::WindowText, Qt::white);
  title_->setPalette(palette);
  auto* titleRow = new QHBoxLayout(title_);
  titleRow->setContentsMargins(6, 0, 2, 0);
  auto* caption = new QLabel(QString::fromUtf8(kTrayTitle), title_);
  caption->setObjectName("TrayTitleCaption");
  fold_ = new QToolButton(title_);
  fold_->setObjectName("TrayFoldButton");
  fold_->setAutoRaise(true);
  fold_->setText(QStringLiteral("▼"));
  titleRow->addWidget(caption, 1);
  titleRow->addWidget(fold_);
  connect(fold_, &QToolButton::clicked, this, [this] { SetFolded(!folded_); });

  body_ = new QWidget(this);
  splitter_ = new QSplitter(Qt::Horizontal, body_);
  splitter_->setObjectName("TraySplitter");
  preview_panel_ = new QWidget(splitter_);
  preview_panel_->setObjectName("PreviewPanel");
  preview_panel_->setMinimumWidth(kPreviewWidth);
  auto* previewColumn = new QVBoxLayout(preview_panel_);
  previewColumn->setContentsMargins(0, 0, 0, 0);
  previewColumn->setSpacing(0);
  preview_host_ = new QWidget(preview_panel_);
  preview_host_->setObjectName("PreviewHost");
  auto* hostLayout = new QVBoxLayout(preview_host_);
  hostLayout->setContentsMargins(0, 0, 0, 0);
  preview_host_->installEventFilter(this);
  count_panel_ = new QWidget(preview_panel_);
  count_panel_->setObjectName("CountPanel");
  auto* countColumn = new QVBoxLayout(count_panel_);
  countColumn->setContentsMargins(4, 2, 4, 2);
  rest_label_ = new QLabel(count_panel_);
  rest_label_->setObjectName("RestLabel");
  gauge_ = new TTrayGauge(count_panel_);
  countColumn->addWidget(rest_label_);
  countColumn->addWidget(gauge_);
  previewColumn->addWidget(preview_host_, 1);
  previewColumn->addWidget(count_panel_);
  tray_slot_ = new QWidget(splitter_);
  tray_slot_->setObjectName("TraySlot");
  auto* slotLayout = new QVBoxLayout(tray_slot_);
  slotLayout->setContentsMargins(0, 0, 0, 0);
  splitter_->addWidget(preview_panel_);
  splitter_->addWidget(tray_slot_);
  splitter_->setStretchFactor(1, 1);
  auto* bodyLayout = new QVBoxLayout(body_);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->addWidget(splitter_);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(title_);
  column->addWidget(body_, 1);
  rest_label_->setText(Utf8(TrayRestText(0)));
}

TFramePlumoraTray::~TFramePlumoraTray() {
  *alive_ = false;
  try {
    delete view_;
    view_ = nullptr;
  } catch (const std::exception& e) {
    LogFailure("TFramePlumoraTray.BeforeDestruction", e);
  }
}

void TFramePlumoraTray::Start(TAlbumList& albums, TCatalogImageCacheMaster* cache, const TPlumoraConfigItem* config) {
  if (active_) return;
  albums_ = &albums;
  if (!tray_) {
    tray_ = new TFrameTray(albums, tray_slot_);
    tray_slot_->layout()->addWidget(tray_);
  }
  tray_->SetConfig(config);
  tray_->Start(cache);
  splitter_->setSizes({kPreviewWidth, std::max(kPreviewWidth, width() - kPreviewWidth)});
  setMinimumHeight(kTitleHeight);
  resize(width(), 8 * kBorder + kTitleHeight + kGridHeight);
  try {
    if (TAlbum* album = tray_->TrayAlbum(); album && album->ItemCount() == 0) RestoreTrayBackup(albums, *album);
  } catch (const std::exception& e) {
    LogFailure("TFramePlumoraTray.LoadTrayFromBackupAlbum", e);
  }
  tray_->Reload();
  active_ = true;
  Centre();
}

void TFramePlumoraTray::Stop() {
  if (!active_) return;
  active_ = false;
  try {
    if (albums_ && tray_ && tray_->TrayAlbum()) SaveTrayBackup(*albums_, *tray_->TrayAlbum());
  } catch (const std::exception& e) {
    LogFailure("TFramePlumoraTray.SaveTrayToBackupAlbum", e);
  }
  CleanupPreview();
  if (tray_) {
    tray_->SetCallbacks({});
    tray_->Stop();
  }
}

void TFramePlumoraTray::CleanupPreview() {
  try {
    ReleaseWebView(view_);
  } catch (const std::exception& e) {
    LogFailure("TFramePlumoraTray.CleanupIEComponent", e);
  }
}

void TFramePlumoraTray::Configure(const TTrayConfiguration& c) {
  if (tray_) {
    try {
      tray_->SetBookId(c.book_id);
    } catch (const std::exception& e) {
      LogFailure("TFramePlumoraTray.Configure", "book album", e);
    }
    try {
      tray_->SetTrayMode(c.tray_mode);
    } catch (const std::exception& e) {
      LogFailure("TFramePlumoraTray.Configure", "tray mode", e);
    }
    tray_->SetCounts(c.photo_count, c.rest_count);
    tray_->SetBodyIconSize(c.body_icon_width, c.body_icon_height);
    tray_->SetBgmResourceId(c.bgm_res_id);
  }
  SetPreviewUrl(c.preview_url);
  const bool contents = c.tray_mode == tmContents;
  count_panel_->setVisible(contents);
  if (contents) {
    rest_label_->setText(Utf8(TrayRestText(c.rest_count)));
    gauge_->SetCounts(c.photo_count, c.rest_count);
  }
}

void TFramePlumoraTray::SetTabName(int page) {
  if (!active_ || !tray_) return;
  if (page == 0) {
    tray_->SetTabName(kServiceTabLabel);
    return;
  }
  count_panel_->setVisible(tray_->TrayMode() == tmContents);
  tray_->SetTabName(kLibraryTabName);
}

void TFramePlumoraTray::AddItemsToTray(const std::vector<TCatalogItem*>& items) {
  if (tray_) tray_->AddToTray(items, nullptr);
}

void TFramePlumoraTray::TakeItemsOutOfTray(const std::vector<TCatalogItem*>& items) {
  if (tray_) tray_->TakeOutOfTray(items);
}

void TFramePlumoraTray::RefreshTray() {
  if (tray_) tray_->Reload();
}

void TFramePlumoraTray::RefreshPreview() { SetPreviewUrl(preview_url_); }

void TFramePlumoraTray::SetFolded(bool folded) {
  if (folded == folded_) return;
  folded_ = folded;
  body_->setVisible(!folded);
  // Folded, the panel keeps only its title bar; the library above takes the rest.
  setMaximumHeight(folded ? kTitleHeight : QWIDGETSIZE_MAX);
  fold_->setText(folded ? QStringLiteral("▲") : QStringLiteral("▼"));
  emit foldedChanged(folded);
}

// ---------------------------------------------------------------------------------------------
// The preview page.

void TFramePlumoraTray::EnsureView() {
  if (view_) return;
  // Made when a page is first to be shown: the browser engine is heavy, and a blank preview
  // needs none.
  view_ = new QWebEngineView(preview_host_);
  view_->setObjectName("PreviewView");
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  view_->setAcceptDrops(false);
  preview_host_->layout()->addWidget(view_);
  std::weak_ptr<bool> alive = alive_;
  connect(view_, &QWebEngineView::loadFinished, this, [this, alive](bool ok) {
    if (!alive.expired() && *alive.lock()) DocumentComplete(ok);
  });
}

void TFramePlumoraTray::SetPreviewUrl(const std::string& url) {
  preview_url_ = url.empty() ? kBlank : url;
  try {
    if (!view_ && preview_url_ == kBlank) return;
    EnsureView();
    const QUrl target(QString::fromStdString(preview_url_));
    if (!target.isValid()) throw Error("not an address");
    if (view_->url() == target) {
      view_->reload();
    } else {
      view_->setUrl(target);
    }
  } catch (const std::exception& e) {
    LogFailure("TFramePlumora.SetPreviewUrl : Url = \"" + preview_url_ + "\" ", e);
  }
}

void TFramePlumoraTray::DocumentComplete(bool ok) {
  if (!active_ || !view_ || !ok) return;
  std::weak_ptr<bool> alive = alive_;
  view_->page()->runJavaScript(QString::fromUtf8(kFitScript), [this, alive](const QVariant& answer) {
    if (alive.expired() || !*alive.lock()) return;
    const QVariantList size = answer.toList();
    if (size.size() != 2) return;
    content_ = QSize(size[0].toInt(), size[1].toInt());
    Centre();
  });
}

QPoint TFramePlumoraTray::PreviewMargins() const {
  const int width = preview_host_->width();
  // The count panel sits below the page when it is shown.
  const int height = preview_panel_->height() - (count_panel_->isVisibleTo(preview_panel_) ? count_panel_->height() : 0);
  const int left = content_.width() < width ? (width - content_.width()) / 2 : 0;
  const int top = content_.height() < height ? (height - content_.height()) / 2 : 0;
  return {left, top};
}

void TFramePlumoraTray::Centre() {
  if (!active_ || !view_ || content_.isEmpty()) return;
  const QPoint margins = PreviewMargins();
  const QString script = QStringLiteral(
                             "(function(){var b=document.body;if(!b)return;var s=b.style;"
                             "s.marginRight='0';s.marginBottom='0';s.marginLeft='%1px';s.marginTop='%2px';})()")
                             .arg(margins.x())
                             .arg(margins.y());
  view_->page()->runJavaScript(script);
}

void TFramePlumoraTray::CallPreviewScript(const std::string& name, const std::string& arg) {
  if (!active_) return;
  if (!view_ || !IsScriptFunctionName(name)) {
    WriteLog("TFramePlumoraTray.DoScriptEx( " + name + ", " + arg + " ) was not called");
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  view_->page()->runJavaScript(QString::fromStdString(ScriptCallText(name, {arg}, true)),
                               [alive, name, arg](const QVariant& answer) {
                                 if (alive.expired()) return;
                                 if (answer.typeId() == QMetaType::Bool && answer.toBool()) return;
                                 WriteLog("TFramePlumoraTray.DoScriptEx( " + name + ", " + arg + " ): " +
                                          answer.toString().toStdString());
                               });
}

bool TFramePlumoraTray::eventFilter(QObject* watched, QEvent* event) {
  if (watched == preview_host_ && event->type() == QEvent::Resize) Centre();
  return QWidget::eventFilter(watched, event);
}

void TFramePlumoraTray::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  emit shownChanged(true);
}

void TFramePlumoraTray::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  emit shownChanged(false);
}

bool ApplyTrayRequest(TFramePlumoraTray& panel, int bits, bool enabled) {
  if (bits & 1) enabled = true;
  if (bits & 2) enabled = false;
  panel.setVisible(enabled);
  if (bits & 4) panel.SetFolded(false);
  if (bits & 8) panel.SetFolded(true);
  return enabled;
}

}  // namespace plb::shell

#include "shell/tray/frame_tray.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album.h"
#include "engine/model/album_list.h"
#include "engine/model/catalog_item.h"
#include "engine/model/file_kinds.h"
#include "engine/views/sorted_item_list.h"
#include "host/format.h"
#include "host/log_file.h"
#include "host/plumora_config_item.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "service/api/plumora_api_params.h"
#include "service/commands/local_param_file.h"
#include "service/logs/operation_log.h"
#include "service/upload/plumora_uploader.h"
#include "shell/grid/catalog_folder_items.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/grid_drag_drop.h"
#include "shell/tray/tray_rules.h"

namespace plb::shell {
namespace {

constexpr int kThumbnailSize = 80;
constexpr int kWatchInterval = 100;
constexpr const char* kComponent = "FrameTray";
constexpr int kRefusalSystemLog = 3;

std::string Utf8Of(const QString& text) { return text.toStdString(); }

}  // namespace

TFrameTray::TFrameTray(TAlbumList& albums, QWidget* parent) : QWidget(parent), albums_(albums) {
  setObjectName(kComponent);
  tray_ = CreateNewTrayAlbum(albums_);

  grid_ = new TFrameCatalogDG(this);
  grid_->setObjectName("TrayGrid");
  grid_->SetThumbnailSize(kThumbnailSize);
  grid_->SetGroupByDay(false);
  grid_->SetFolderHeader(false);
  grid_->SetSortOrder(skSequence, true);
  if (QWidget* status = grid_->findChild<QWidget*>("SBar")) status->hide();
  drag_drop_ = new TGridDragDrop(*grid_);
  drag_drop_->SetDragEnabled(true);
  drag_drop_->SetDropHandler([this](const std::vector<TCatalogItem*>& items, TCatalogItem* target) {
    if (!tray_ || items.empty()) return;
    ActionLog("DropFiles", Format("(%d)", {items.size()}));
    AddToTray(items, target);
  });

  remove_ = new QPushButton(QStringLiteral("トレイから出す"), this);
  remove_->setObjectName("BtnRemoveItem");
  clear_ = new QPushButton(QStringLiteral("トレイをクリア"), this);
  clear_->setObjectName("BtnClearItems");
  upload_ = new QPushButton(this);
  upload_->setObjectName("BtnUpload");
  upload_->setMinimumHeight(40);
  count_ = new QLabel(this);
  count_->setObjectName("TrayCount");
  progress_ = new QProgressBar(this);
  progress_->setObjectName("TrayProgress");
  progress_->setRange(0, 100);
  progress_->hide();
  hover_ = new QToolButton(grid_->Grid()->viewport());
  hover_->setObjectName("TrayHoverButton");
  hover_->setText(QStringLiteral("×"));
  hover_->setToolTip(QStringLiteral("トレイから出す"));
  hover_->setAutoRaise(false);
  hover_->setFixedSize(18, 18);
  hover_->hide();

  auto* buttons = new QVBoxLayout;
  buttons->setContentsMargins(4, 4, 4, 4);
  buttons->addWidget(remove_);
  buttons->addWidget(clear_);
  buttons->addStretch(1);
  buttons->addWidget(count_);
  buttons->addWidget(upload_);
  auto* left = new QVBoxLayout;
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(0);
  left->addWidget(grid_, 1);
  left->addWidget(progress_);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(left, 1);
  row->addLayout(buttons);

  connect(remove_, &QPushButton::clicked, this, [this] {
    ActionLog("BtnRemoveItem", Utf8Of(remove_->text()));
    TakeOutOfTray(grid_->SelectedItems());
  });
  connect(clear_, &QPushButton::clicked, this, [this] {
    ActionLog("BtnClearItems", Utf8Of(clear_->text()));
    ClearTray();
  });
  connect(upload_, &QPushButton::clicked, this, [this] {
    ActionLog(IsUploading() ? "CancelUpload" : "StartUpload", Utf8Of(upload_->text()));
    if (IsUploading()) {
      CancelUpload();
      return;
    }
    try {
      StartUpload();
    } catch (const std::exception& e) {
      LogFailure("TFrameTray.StartUpload", e);
      Tell(TMessageKind::kError, MessageOf(e));
    }
  });
  connect(hover_, &QToolButton::clicked, this, [this] { HoverClicked(hovered_); });
  grid_->Grid()->viewport()->installEventFilter(this);
  grid_->Grid()->viewport()->setMouseTracking(true);
  watch_.setInterval(kWatchInterval);
  connect(&watch_, &QTimer::timeout, this, &TFrameTray::WatchProgress);
  grid_->ShowFolder(tray_);
  RefreshDisplay();
}

TFrameTray::~TFrameTray() {
  watch_.stop();
  // The session's thread ends before the albums it reads may go.
  if (session_) session_->Cancel();
  session_.reset();
  uploader_ = nullptr;
  Stop();
}

void TFrameTray::Start(TCatalogImageCacheMaster* cache) {
  if (cache && !maker_) {
    maker_ = std::make_unique<TCacheImageMaker>(cache, kThumbnailSize, false);
    maker_->Start();
  }
  grid_->SetImageCache(cache);
  grid_->SetThumbnailMaker(maker_.get());
  grid_->ConnectCatalogUpdates();
  Reload();
}

void TFrameTray::Stop() {
  grid_->SetThumbnailMaker(nullptr);
  if (maker_) maker_->Stop();
  maker_.reset();
}

// ---------------------------------------------------------------------------------------------
// Contents.

const std::vector<TCatalogItem*>& TFrameTray::Items() const { return grid_->ShownItems(); }

bool TFrameTray::IsInTray(TCatalogItem* item) const { return tray_ && item && tray_->FindEntry(item) != nullptr; }

void TFrameTray::Reload() {
  grid_->ShowFolder(tray_);
  RefreshDisplay();
}

void TFrameTray::Resort() {
  TCatalogItem* current = grid_->CurrentItem();
  grid_->Refill();
  if (current) grid_->SelectItem(current);
  RefreshDisplay();
}

bool TFrameTray::AddToTray(std::vector<TCatalogItem*> items, TCatalogItem* target) {
  if (!tray_ || IsUploading()) return false;
  const auto movie = [](TCatalogItem* item) { return !item || item->Kind() == fkMovie; };
  const size_t before_filter = items.size();
  items.erase(std::remove_if(items.begin(), items.end(), movie), items.end());
  if (items.size() != before_filter) Tell(TMessageKind::kInformation, kTrayMovieMessage);
  if (items.empty()) return false;
  const int count_before = tray_->ItemCount();
  try {
    if (mode_ != tmContents) {
      items.resize(1);
      ClearTray();
      if (TAlbumItem* entry = tray_->AddItem(items.front(), 0)) {
        std::lock_guard guard(tray_->Lock());
        entry->OrderNumber = 0;
      }
      items.front()->SetSequence(0);
    } else {
      for (TCatalogItem* item : items) tray_->AddItem(item, 0);
      const std::vector<TCatalogItem*> order = TrayOrderAfterAdding(grid_->ShownItems(), items, target);
      for (size_t i = 0; i < order.size(); ++i) {
        TAlbumItem* entry = tray_->FindEntry(order[i]);
        if (!entry) continue;
        {
          std::lock_guard guard(tray_->Lock());
          entry->OrderNumber = static_cast<int16_t>(std::min<size_t>(i, INT16_MAX));
        }
        order[i]->SetSequence(static_cast<uint16_t>(std::min<size_t>(i, INT16_MAX)));
      }
    }
  } catch (const std::exception& e) {
    LogFailure("TFrameTray.AddToTray", e);
  }
  if (mode_ == tmContents && tray_->ItemCount() == count_before) {
    Resort();
  } else {
    Reload();
  }
  return true;
}

void TFrameTray::TakeOutOfTray(const std::vector<TCatalogItem*>& items) {
  if (!tray_ || IsUploading()) return;
  for (TCatalogItem* item : items) tray_->RemoveItem(item);
  Reload();
}

void TFrameTray::ClearTray() {
  if (!tray_ || IsUploading()) return;
  const std::vector<TCatalogItem*> shown = grid_->ShownItems();
  for (TCatalogItem* item : shown) tray_->RemoveItem(item);
  Reload();
}

void TFrameTray::HoverClicked(TCatalogItem* item) {
  if (IsUploading()) return;
  ActionLog("MouseOverBtn[0]", Utf8Of(hover_->toolTip()));
  std::vector<TCatalogItem*> items = grid_->SelectedItems();
  if (item && std::find(items.begin(), items.end(), item) == items.end()) items = {item};
  hover_->hide();
  hovered_ = nullptr;
  TakeOutOfTray(items);
}

bool TFrameTray::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_->Grid()->viewport()) {
    if (event->type() == QEvent::MouseMove) {
      MoveHoverButton(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::Leave) {
      hover_->hide();
      hovered_ = nullptr;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFrameTray::MoveHoverButton(const QPoint& pos) {
  TCatalogItem* item = IsUploading() ? nullptr : TGridDragDrop::ItemAt(*grid_, pos);
  hovered_ = item;
  if (!item) {
    hover_->hide();
    return;
  }
  const QRect box = grid_->ItemRect(item);
  hover_->move(box.right() - hover_->width(), box.top());
  hover_->show();
  hover_->raise();
}

// ---------------------------------------------------------------------------------------------
// Display state.

void TFrameTray::RefreshDisplay() {
  const bool busy = IsUploading();
  remove_->setEnabled(!busy);
  clear_->setEnabled(!busy);
  drag_drop_->SetDropsEnabled(!busy);
  drag_drop_->SetDragEnabled(!busy);
  if (busy) {
    hover_->hide();
    hovered_ = nullptr;
  }
  QPalette palette = upload_->palette();
  if (busy) {
    upload_->setText(QString::fromUtf8(kTrayUploadingCaption));
    palette.setColor(QPalette::ButtonText, Qt::red);
    upload_->setEnabled(true);
  } else {
    upload_->setText(Utf8(TrayButtonCaption(mode_, book_ != nullptr)));
    palette.setColor(QPalette::ButtonText, QApplication::palette().color(QPalette::ButtonText));
    upload_->setEnabled(upload_enabled_);
  }
  upload_->setPalette(palette);
  if (busy) {
    progress_->show();
    if (!watch_.isActive()) watch_.start();
  } else {
    progress_->hide();
    watch_.stop();
  }
  grid_->SetEmptyText(Utf8(TrayEmptyHint(mode_)));
  const int n = static_cast<int>(grid_->ShownItems().size());
  count_->setText(Utf8(TrayCountText(n)));
  emit countChanged(n);
}

void TFrameTray::SetUploadEnabled(bool on) {
  upload_enabled_ = on;
  if (!IsUploading()) upload_->setEnabled(on);
}

void TFrameTray::SetBookId(const std::string& id) {
  book_ = nullptr;
  if (!id.empty()) {
    TAlbum* root = albums_.Root(atAlbum);
    book_ = root ? root->FindOrAddChild(id, true) : nullptr;
  }
  RefreshDisplay();
}

void TFrameTray::SetTrayMode(int mode) {
  if (mode != mode_) ClearTray();
  mode_ = mode;
  RefreshDisplay();
}

void TFrameTray::SetCounts(int photo_count, int rest_count) {
  photo_count_ = photo_count;
  rest_count_ = rest_count;
}

void TFrameTray::SetBodyIconSize(int width, int height) {
  icon_width_ = width;
  icon_height_ = height;
}

void TFrameTray::LoadLocalParamData(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxLocalParamFileSize) {
    WriteLog("TFrameTray.LoadLocalParamData: " + path + " is not a parameter file");
    return;
  }
  std::ifstream in(path, std::ios::binary);
  local_param_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------------------------------------
// Messages and logs.

void TFrameTray::Tell(TMessageKind kind, const std::string& text) {
  QApplication::beep();
  if (message_) {
    message_(kind, Utf8(text));
    return;
  }
  const QString title = window()->windowTitle();
  if (kind == TMessageKind::kError) {
    QMessageBox::critical(window(), title, Utf8(text));
  } else {
    QMessageBox::information(window(), title, Utf8(text));
  }
}

void TFrameTray::Refuse(const std::string& text) {
  Tell(TMessageKind::kError, text);
  DAL_AddSystemLog(kRefusalSystemLog);
}

void TFrameTray::ActionLog(const std::string& action, const std::string& text) const {
  DAL_AddActionLog(kComponent, action, text);
}

void TFrameTray::ShowLoginMessage() {
  Tell(TMessageKind::kError, TrayLoginMessage(book_ != nullptr));
  if (callbacks_.login_required) callbacks_.login_required();
}

// ---------------------------------------------------------------------------------------------
// Uploads.

std::vector<TCatalogItem*> TFrameTray::Uploadable(const std::vector<TCatalogItem*>& items) const {
  // Missing files and movies never go, whatever list the upload was given.
  std::vector<TCatalogItem*> out;
  for (TCatalogItem* item : items)
    if (item && !item->Unavailable() && item->Kind() != fkMovie) out.push_back(item);
  return out;
}

void TFrameTray::StartUpload() { StartChecked(nullptr, 0, "", tcmTray); }

void TFrameTray::StartHiddenUpload() { StartChecked(nullptr, 0, "", tcmHidden); }

void TFrameTray::StartGroupUpload(std::vector<TCatalogItem*> items, bool slideshow, const std::string& source_name,
                                  int source_type) {
  if (IsUploading()) {
    QApplication::beep();
    return;
  }
  if (!items.empty()) {
    ClearTray();
    items = TrayGroupItems(std::move(items), rest_count_);
    if (items.empty()) return;
  }
  AddToTray(items, nullptr);
  StartChecked(&items, TraySourceType(source_type), source_name, slideshow ? tcmSlideshow : tcmAlbum);
}

void TFrameTray::CancelUpload() {
  if (uploader_) uploader_->Cancel();
}

void TFrameTray::StartChecked(const std::vector<TCatalogItem*>* given, int source_type,
                              const std::string& source_name, int create_mode) {
  if (IsUploading()) return;
  const std::vector<TCatalogItem*> items = Uploadable(given ? *given : grid_->ShownItems());
  TTrayStartCheck check;
  check.tray_mode = mode_;
  check.new_book = book_ == nullptr;
  check.create_mode = create_mode;
  check.count = static_cast<int>(items.size());
  check.photo_count = photo_count_;
  check.rest_count = rest_count_;
  const std::string refusal = TrayStartRefusal(check);
  if (!refusal.empty()) {
    Refuse(refusal);
    return;
  }
  progress_->setValue(0);
  progress_->show();
  if (PlumoraApiParams().Snapshot().upload_api_version == 2) {
    progress_->hide();
    throw EFrameTrayError(kTrayUploadApiError);
  }
  SetUpSession(items, source_type, source_name, create_mode);
}

void TFrameTray::SetUpSession(const std::vector<TCatalogItem*>& items, int source_type,
                              const std::string& source_name, int create_mode) {
  session_ = std::make_unique<TPlumoraUploader>();
  uploader_ = session_.get();
  const std::string book_id = book_ ? book_->Name() : std::string();
  bool announced = false;
  try {
    uploader_->SetPlumoraId(book_id);
    uploader_->SetEditMode(TrayEditMode(mode_));
    uploader_->SetBodyIconSize(icon_width_, icon_height_);
    uploader_->SetSourceType(source_type);
    uploader_->SetCreateMode(create_mode);
    uploader_->SetSourceName(source_name);
    if (create_mode == tcmHidden) {
      uploader_->SetBgmFile(bgm_file_);
      if (!local_param_.empty()) uploader_->SetLocalParamData(local_param_);
    }
    bgm_file_.clear();
    local_param_.clear();
    uploader_->SetAlbumList(&albums_);
    // The end is heard on the UI thread whichever thread reports it; a tray that is gone by then
    // (it waits for the session in its destructor) drops the report with its queued events.
    QPointer<TFrameTray> self(this);
    TPlumoraUploader* session = uploader_;
    uploader_->SetCompletion([self, session] {
      if (!self) return;
      QMetaObject::invokeMethod(self.data(), [self, session] { if (self) self->SessionEnded(session); },
                                Qt::QueuedConnection);
    });
    for (TCatalogItem* item : items) uploader_->AddItem(item);
    uploader_->SetTabName(tab_name_);
    uploader_->SetBackgroundUpload(config_ ? config_->UseBackgroundUpload() : false);
    RefreshDisplay();
    if (callbacks_.started) callbacks_.started(book_id);
    announced = true;
    uploader_->Start();
  } catch (...) {
    // The session never ran: the tray goes back to idle, and an owner told of the start hears
    // of its end.
    uploader_ = nullptr;
    session_.reset();
    RefreshDisplay();
    if (announced && callbacks_.ended) callbacks_.ended(book_id, "", false);
    throw;
  }
}

void TFrameTray::SessionEnded(TPlumoraUploader* ended) {
  if (!ended || ended != uploader_) return;
  bool success = false;
  bool login = false;
  std::string next_command;
  const std::string book_id = ended->PlumoraId();
  if (ended->Success()) {
    QApplication::beep();
    success = true;
    next_command = ended->NextCommand();
    const std::vector<TCatalogItem*> delivered = ended->UploadedItems();
    if (!delivered.empty()) {
      for (TCatalogItem* item : delivered) {
        if (tray_->RemoveItem(item) >= 0) RaiseCatalogUpdateEvent(item, cukTagsChanged);
      }
    }
  } else if (ended->BadSession()) {
    login = true;
  }
  uploader_ = nullptr;
  // The thread has reported its end; joining it here is short.
  session_.reset();
  if (success) Reload();
  RefreshDisplay();
  if (callbacks_.ended) callbacks_.ended(book_id, next_command, success);
  if (login) ShowLoginMessage();
}

void TFrameTray::WatchProgress() {
  if (!uploader_) return;
  try {
    const int percent = uploader_->ProgressPercent();
    progress_->setValue(std::clamp(percent, 0, 100));
    if (callbacks_.progress) callbacks_.progress(percent);
  } catch (const std::exception&) {
    // A missed tick shows on the next one.
  }
}

}  // namespace plb::shell

#pragma once
// The tray grid: the photos waiting to go to the service, in the user's order, with the buttons
// that take them out, empty the tray and start (or cancel) the upload, a count, and the upload's
// progress. It owns the tray's state and rules; one upload session at a time runs on its own
// thread, and the tray hears of its end on the UI thread.
#include <QWidget>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace plb {
class TAlbum;
class TAlbumList;
class TCacheImageMaker;
class TCatalogImageCacheMaster;
class TCatalogItem;
class TPlumoraConfigItem;
class TPlumoraUploader;
}  // namespace plb

namespace plb::shell {

class TFrameCatalogDG;
class TGridDragDrop;

PLB_DECLARE_ERROR(EFrameTrayError, Error);

class TFrameTray : public QWidget {
  Q_OBJECT
 public:
  enum class TMessageKind { kError, kInformation };
  // How the tray tells the user something (replaceable for tests): a beep, then a modal box.
  using TMessageBox = std::function<void(TMessageKind kind, const QString& text)>;

  struct TCallbacks {
    std::function<void(const std::string& book_id)> started;
    std::function<void(const std::string& book_id, const std::string& next_command, bool success)> ended;
    std::function<void()> login_required;
    std::function<void(int percent)> progress;
  };

  // Makes the tray album; EOstraEngineError when it cannot be made.
  explicit TFrameTray(TAlbumList& albums, QWidget* parent = nullptr);
  // A running session is cancelled and waited for.
  ~TFrameTray() override;

  // The grid's thumbnails from the catalog's cache, shown from Start until Stop.
  void Start(TCatalogImageCacheMaster* cache);
  void Stop();

  // --- Contents ---
  // Adds items before target (null: at the end); in the single-photo modes the tray keeps only
  // the first. False while uploading or when nothing is left to add.
  bool AddToTray(std::vector<TCatalogItem*> items, TCatalogItem* target);
  void TakeOutOfTray(const std::vector<TCatalogItem*>& items);
  void ClearTray();
  bool IsInTray(TCatalogItem* item) const;
  // The items shown, in tray order.
  const std::vector<TCatalogItem*>& Items() const;
  // Lists the tray again.
  void Reload();

  // --- Uploads ---
  bool IsUploading() const { return uploader_ != nullptr; }
  void StartUpload();
  void StartGroupUpload(std::vector<TCatalogItem*> items, bool slideshow, const std::string& source_name,
                        int source_type);
  void StartHiddenUpload();
  void CancelUpload();
  TPlumoraUploader* Uploader() const { return uploader_; }
  void SetLocalParams(const std::string& bgm_file) { bgm_file_ = bgm_file; }
  void LoadLocalParamData(const std::string& path);
  // What the next hidden creation takes along; every start empties both.
  const std::string& BgmFile() const { return bgm_file_; }
  const std::string& LocalParamData() const { return local_param_; }

  // --- Configuration ---
  // Empty: no book album, the upload makes a new book.
  void SetBookId(const std::string& id);
  TAlbum* BookAlbum() const { return book_; }
  // A change of mode empties the tray first.
  void SetTrayMode(int mode);
  int TrayMode() const { return mode_; }
  void SetCounts(int photo_count, int rest_count);
  int PhotoCount() const { return photo_count_; }
  int RestCount() const { return rest_count_; }
  void SetBodyIconSize(int width, int height);
  void SetBgmResourceId(const std::string& id) { bgm_res_id_ = id; }
  void SetTabName(const std::string& name) { tab_name_ = name; }
  const std::string& TabName() const { return tab_name_; }
  // The upload button follows the window's upload action.
  void SetUploadEnabled(bool on);
  // Where "UseBackgroundUpload" is read (null: off).
  void SetConfig(const TPlumoraConfigItem* config) { config_ = config; }
  void SetCallbacks(TCallbacks callbacks) { callbacks_ = std::move(callbacks); }
  void SetMessageBox(TMessageBox box) { message_ = std::move(box); }

  // --- Parts ---
  TAlbum* TrayAlbum() const { return tray_; }
  TFrameCatalogDG* Grid() const { return grid_; }
  TGridDragDrop* DragDrop() const { return drag_drop_; }
  QPushButton* UploadButton() const { return upload_; }
  QPushButton* RemoveButton() const { return remove_; }
  QPushButton* ClearButton() const { return clear_; }
  QLabel* CountLabel() const { return count_; }
  QProgressBar* Progress() const { return progress_; }
  QToolButton* HoverButton() const { return hover_; }
  // The hover button's click on item (the selected items go, the item with them).
  void HoverClicked(TCatalogItem* item);

 signals:
  void countChanged(int count);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Resort();
  void RefreshDisplay();
  void Tell(TMessageKind kind, const std::string& text);
  void Refuse(const std::string& text);
  std::vector<TCatalogItem*> Uploadable(const std::vector<TCatalogItem*>& items) const;
  void StartChecked(const std::vector<TCatalogItem*>* given, int source_type, const std::string& source_name,
                    int create_mode);
  void SetUpSession(const std::vector<TCatalogItem*>& items, int source_type, const std::string& source_name,
                    int create_mode);
  void SessionEnded(TPlumoraUploader* ended);
  void WatchProgress();
  void ShowLoginMessage();
  void ActionLog(const std::string& action, const std::string& text) const;
  void MoveHoverButton(const QPoint& pos);

  TAlbumList& albums_;
  TAlbum* tray_ = nullptr;
  TAlbum* book_ = nullptr;
  int mode_ = 0;
  int photo_count_ = 0;
  int rest_count_ = 0;
  std::string bgm_res_id_;
  int icon_width_ = 240;
  int icon_height_ = 240;
  std::string tab_name_ = "PhotoLibrary";
  TPlumoraUploader* uploader_ = nullptr;
  std::unique_ptr<TPlumoraUploader> session_;
  std::string bgm_file_;
  std::string local_param_;
  const TPlumoraConfigItem* config_ = nullptr;
  bool upload_enabled_ = false;
  TCallbacks callbacks_;
  TMessageBox message_;

  std::unique_ptr<TCacheImageMaker> maker_;
  TFrameCatalogDG* grid_ = nullptr;
  TGridDragDrop* drag_drop_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* upload_ = nullptr;
  QLabel* count_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QToolButton* hover_ = nullptr;
  TCatalogItem* hovered_ = nullptr;
  QTimer watch_;
};

}  // namespace plb::shell

#pragma once
// The tray's part of the main window: the "トレイ" menu and the catalog's context-menu entries,
// their enabled states, the tray's reports to the window (upload started, ended, progress, login
// required), and the group uploads of the catalog's band buttons while the upload mode is on.
#include <QObject>
#include <vector>

class QAction;

namespace plb {
class TCatalogItem;
}

namespace plb::shell {

class TFramePlumoraTray;
class TPlumoraMain2;

class TTrayActions : public QObject {
  Q_OBJECT
 public:
  TTrayActions(TPlumoraMain2& window, TFramePlumoraTray& panel);

  // Wires the tray grid, which exists once the panel has started.
  void TrayStarted();
  // The enabled states, after every command and every change of the tray or the selection.
  void Refresh();
  // The band buttons of the catalog start group uploads only while this is on.
  void SetCatalogUploadMode(bool on) { upload_mode_ = on; }
  bool CatalogUploadMode() const { return upload_mode_; }
  // The upload action's condition: a session and room in the book.
  static bool UploadAllowed();

  QAction* TrayIn() const { return in_; }
  QAction* TrayOut() const { return out_; }
  QAction* TrayClear() const { return clear_; }
  QAction* TrayUpload() const { return upload_; }
  QAction* TrayInViewItem() const { return in_view_; }
  QAction* TrayOutViewItem() const { return out_view_; }

 private:
  void GroupUpload(const std::vector<TCatalogItem*>& items, const QString& label, int label_kind, int button);

  TPlumoraMain2& window_;
  TFramePlumoraTray& panel_;
  bool upload_mode_ = false;
  QAction* in_ = nullptr;
  QAction* out_ = nullptr;
  QAction* clear_ = nullptr;
  QAction* upload_ = nullptr;
  QAction* in_view_ = nullptr;
  QAction* out_view_ = nullptr;
};

}  // namespace plb::shell

#pragma once
// The main window's actions: every command a user reaches by the menu bar, the tool bar, a key
// or a context menu, with its caption, shortcut and category. The actions are named as the
// window's commands (AcFileRename, AcEditMark, ...), their enabled and checked states follow the
// page, the viewer, the current photo and the selection, and the window's shortcut keys are
// routed so that the viewer's, the grid's and the editors' own keys are not taken from them.
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "shell/main/action_boxes.h"

class QAction;
class QMenu;
class QToolBar;

namespace plb {
class TCatalogItem;
class TCustomFolder;
class TPlumoraConfigItem;
}  // namespace plb

namespace plb::shell {

class TFileCommands;
class TFolderTreePanel;
class TFrameInfoPages;
class TItemDrops;
class TLibraryPage;
class TPlumoraMain2;

class TMainActions : public QObject {
  Q_OBJECT
 public:
  // Tool modes: none, photo information, correction, print, trimming, collage.
  enum TToolMode { tmNone = 0, tmInfo = 1, tmEffect = 2, tmPrint = 3, tmTrimming = 4, tmCollage = 5 };

  explicit TMainActions(TPlumoraMain2& window);
  ~TMainActions() override;

  // The action of that name, or null.
  QAction* Action(const QString& name) const;
  const std::vector<QAction*>& All() const { return actions_; }
  QMenu* Menu(const QString& objectName) const;
  QToolBar* ToolBar() const { return toolBar_; }
  TFrameInfoPages* InfoPages() const { return infoPages_; }
  TFileCommands& Files() const { return *files_; }
  // The drops of photos and files on the panels, the grid and the tray.
  TItemDrops& Drops() const { return *drops_; }

  // The boxes the commands ask and tell through (tests answer them).
  TActionBoxes& Boxes() { return boxes_; }

  // The configuration the options are kept in (null: the options stay as they are).
  void UseSettings(TPlumoraConfigItem* config);

  // Sets the enabled, checked and shortcut states of every action from the window's state now.
  void Refresh();
  // The same on the next turn of the event loop (many changes come together).
  void RefreshSoon();

  int ToolMode() const { return toolMode_; }
  void SetToolMode(int mode);

  // Whether the window's shortcut key is to act now, or the focused widget keeps the key.
  bool ShortcutPasses(int key, Qt::KeyboardModifiers modifiers) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* Add(const char* name, const QString& caption, const QKeySequence& key = {});
  void CreateFileActions();
  void CreateDebugActions();
  void CreateEditActions();
  void CreateViewActions();
  void CreateImageActions();
  void CreateToolActions();
  void CreateMenus();
  void CreateToolBar();
  void ConnectContextMenus();
  void WatchState();

  TLibraryPage& Library() const;
  // The tree panel the folder commands work on: the one with the focus or whose context menu is
  // open; null when the photos are the subject.
  TFolderTreePanel* FolderSubject() const;
  TCustomFolder* FolderNode() const;
  std::vector<TCatalogItem*> MarkedItems() const;
  void Rotate(const std::vector<TCatalogItem*>& items, int how);
  void SetMarks(const std::vector<TCatalogItem*>& items, int how);
  void ApplyFilter(bool markOnly, bool moviesOnly);
  void ShowVersion();
  void CopyImage();
  void ChangeShootingDate();
  // "アルバムを作成": a new album of the user's, named by the user, with the photos worked on.
  void CreateAlbum();
  void CacheSettings();
  void MovieTypes();
  void UploaderSettings();
  void JumpToFolder();
  void JumpToCalendar();
  void JumpToTag();
  void Search();
  void SetCompressionQuality();
  void SetOption(const char* name, bool on);
  void SetMouseMode(int mode);
  void ItemsChanged(const std::vector<TCatalogItem*>& items);

  TPlumoraMain2& window_;
  TActionBoxes boxes_;
  std::unique_ptr<TFileCommands> files_;
  TItemDrops* drops_ = nullptr;
  std::vector<QAction*> actions_;
  std::map<QString, QAction*> byName_;
  QToolBar* toolBar_ = nullptr;
  TFrameInfoPages* infoPages_ = nullptr;
  TPlumoraConfigItem* config_ = nullptr;
  TFolderTreePanel* contextPanel_ = nullptr;
  bool gridContext_ = false;
  int toolMode_ = tmNone;
  bool refreshPending_ = false;
};

}  // namespace plb::shell

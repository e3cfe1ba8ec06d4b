#pragma once
// Photos dropped in the library page: on a folder of the folder panel they are copied or moved
// there (the copy dialog does the work), on a day, month or year of the calendar panel they take
// that shooting date (the date dialogs do the work), on a tag or an album of the tag panel the
// catalog's photos join it, on the grid showing a folder the files of other programs are copied
// into it, and on the tray the catalog's photos join it. Drags of the
// program's own photos and file lists of other programs are read alike, as files; a drop is taken
// at once and its work starts on the next turn of the event loop, after the drag has ended.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>
#include <string>
#include <vector>

class QMimeData;

namespace plb {
class TCatalogItem;
class TCustomFolder;
class TFolderTreeList;
}  // namespace plb

namespace plb::shell {

class TFileCommands;
class TFolderTreePanel;
class TFrameTray;
class TLibraryPage;
struct TActionBoxes;

// What a drag brings, read while its data lives.
struct TDroppedFiles {
  bool own = false;                // photos dragged in this program
  std::vector<std::string> files;  // existing local files of the catalogued kinds
  QStringList refused;             // one line for each address left out, with the reason
};
TDroppedFiles ReadDroppedFiles(const QMimeData* data);
// Whether a drag may bring files at all (cheap: for the pointer's way across the panels).
bool MayBringFiles(const QMimeData* data);

// Whether a drop copies: the desktop's convention. Shift moves, Ctrl copies; otherwise photos
// move within one file system and are copied to another one, and other programs' files are
// copied.
bool DropCopies(bool ownItems, bool sameFileSystem, Qt::KeyboardModifiers modifiers);

// The catalog items of files. With scan, a file's folder joins the folder trees and is read
// when its item is not known yet; files without an item are added to outside.
std::vector<TCatalogItem*> CatalogItemsOfFiles(TFolderTreeList& trees, const std::vector<std::string>& files, bool scan,
                                               std::vector<std::string>* outside = nullptr);

// The question before photos take a calendar node's date.
QString DateDropQuestion(int count, const TCustomFolder& node);
// The texts of refused drops.
QString RefusedDropText(const QStringList& refused);
extern const char* const kTrayOutsideCatalog;

class TItemDrops : public QObject {
  Q_OBJECT
 public:
  // dateChanged is told of the photos whose dates changed (the window refreshes its views).
  TItemDrops(TLibraryPage& page, TFileCommands& files, TActionBoxes& boxes, QWidget* window,
             std::function<void(const std::vector<TCatalogItem*>&)> dateChanged);

  // Makes the tray take files of other programs (when it is made).
  void AttachTray(TFrameTray& tray);

  // The drop of the folder panel: copy or move, Qt::IgnoreAction where refused.
  Qt::DropAction FolderDropAction(TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers) const;
  // The calendar panel takes the program's own photos on its days, months and years.
  Qt::DropAction CalendarDropAction(TCustomFolder* node, const QMimeData* data) const;
  // The tag panel takes the catalog's photos on its tags and albums (not on the root), while one
  // of them is not there yet.
  Qt::DropAction TagDropAction(TCustomFolder* node, const QMimeData* data) const;
  // The grid takes files of other programs while it shows a folder on disk.
  bool GridTakesFiles(const QMimeData* data) const;

  // Drops whose work is still to come or under way.
  int Pending() const { return pending_; }

 private:
  void DropOnFolder(TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers);
  void DropOnCalendar(TCustomFolder* node, const QMimeData* data);
  void DropOnTag(TCustomFolder* node, const QMimeData* data);
  void DropOnGrid(const QMimeData* data, Qt::KeyboardModifiers modifiers);
  void DropOnTray(const QMimeData* data, const QPoint& pos);
  // Runs work on the next turn of the event loop, then lets the panel's node go.
  void Later(TFolderTreePanel* panel, std::function<void()> work);
  // Copies or moves files into a folder on disk; the refused ones are told first.
  void CopyInto(const TDroppedFiles& dropped, const std::string& folder, Qt::KeyboardModifiers modifiers);
  void TellRefused(const QStringList& refused);
  bool SameFileSystem(const std::vector<std::string>& files, const std::string& folder) const;
  bool Listed(TFolderTreePanel* panel, TCustomFolder* node) const;

  TLibraryPage& page_;
  TFileCommands& files_;
  TActionBoxes& boxes_;
  QWidget* window_;
  std::function<void(const std::vector<TCatalogItem*>&)> dateChanged_;
  QPointer<TFrameTray> tray_;
  int pending_ = 0;
};

}  // namespace plb::shell

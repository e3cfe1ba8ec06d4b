#pragma once
// The window's file commands on the library page: renaming, sending to the trash, deleting and
// creating folders, copying and moving photos and folders. Each asks what it must through the
// action boxes, runs the engine's folder operations and tells the user what failed; the catalog's
// events bring the results into the panels and the grid.
#include <QString>
#include <vector>

#include "engine/operations/folder_operations.h"

class QTreeWidgetItem;
class QWidget;

namespace plb {
class TCatalogItem;
class TCustomFolder;
}  // namespace plb

namespace plb::shell {

class TFolderTreePanel;
class TLibraryPage;
struct TActionBoxes;

// Texts the commands show.
QString FilesToFolderQuestion(int count, const QString& folderName, bool copy);
QString DeleteFolderQuestion(const TCustomFolder& node);
QString TargetFolderCaption(bool copy);
extern const char* const kFolderRenameFailed;

class TFileCommands {
 public:
  TFileCommands(TLibraryPage& page, TActionBoxes& boxes, QWidget* parent) : page_(page), boxes_(boxes), parent_(parent) {}

  TFolderOperationModel Model() const;

  // Asks for the item's new name; false when it was not renamed.
  bool RenameItem(TCatalogItem* item);
  // Opens the node's label in its panel; the edit ends in FolderLabelEdited.
  bool StartFolderRename(TFolderTreePanel& panel, TCustomFolder* node);
  // A label edited in a panel: renames the folder, or restores the label with a beep and the
  // failure text.
  bool FolderLabelEdited(TFolderTreePanel& panel, TCustomFolder* node, QTreeWidgetItem* item, const QString& name);
  // After the question, the files go to the trash; the number sent.
  int TrashItems(const std::vector<TCatalogItem*>& items);
  // After the question, a folder goes to the trash, a tag or album is deleted.
  bool DeleteFolder(TCustomFolder* node);
  // A new folder (or tag) below parent, its label opened for the name; null when refused.
  TCustomFolder* CreateFolder(TFolderTreePanel* panel, TCustomFolder* parent);
  // Asks for the folder and copies or moves the photos there with the copy dialog; the number done.
  int CopyMoveItems(const std::vector<TCatalogItem*>& items, bool copy);
  // After the question, copies or moves the photos into folder (a directory on disk) with the
  // copy dialog; photos already there are left out. The number done.
  int CopyMoveItemsTo(const std::vector<TCatalogItem*>& items, const QString& folder, bool copy);
  // Asks for the folder and copies or moves a folder of the trees into it.
  TCustomFolder* CopyMoveFolder(TCustomFolder* node, bool copy);

  // Nodes the folder commands accept.
  static bool Renamable(const TCustomFolder* node);
  static bool Deletable(const TCustomFolder* node);
  static bool CanHoldChildren(const TCustomFolder* node);
  static bool Movable(const TCatalogItem* item);

 private:
  void Failed(const std::exception& e);

  TLibraryPage& page_;
  TActionBoxes& boxes_;
  QWidget* parent_;
};

}  // namespace plb::shell

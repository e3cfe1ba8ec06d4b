#pragma once
// The operations that change the structure of the catalog on the user's behalf: copying, moving,
// deleting, renaming and creating folders on disk and albums and tags, with the catalog data of
// the photos carried along. Each check refuses with EOstraEngineError; each operation runs its
// check and passes on whatever failed inside it wrapped in its own label, every layer logged, so
// the caller sees which operation and which step refused.
//
// A folder is never copied or moved into itself or below itself (paths compared after symbolic
// links are resolved), an existing file or folder is never replaced, a move to another volume
// deletes the source only after the copy is complete, and a folder that cannot go to the trash is
// left where it was.
#include <string>

#include "platform/file_transfer.h"

namespace plb {

class TAlbumList;
class TCustomFolder;
class TCatalogItem;
class TFolder;
class TFolderTreeList;
class THistoryList;

// The parts of the catalog the operations change. folders is needed for every folder on disk,
// albums for album operations; history may be null.
struct TFolderOperationModel {
  TFolderTreeList* folders = nullptr;
  TAlbumList* albums = nullptr;
  THistoryList* history = nullptr;
  // Progress of copies and moves of folders on disk, in bytes; may be empty.
  platform::TransferProgress progress;
};

void CheckCopyMoveToFolder(TCustomFolder* source, TCustomFolder* target, bool copy);
void CheckDeleteFolder(TCustomFolder* folder);
void CheckRenameFolder(TCustomFolder* folder);
void CheckCreateFolder(TCustomFolder* parent);

// Copies source into target and answers the copy (a folder of the trees or a new album).
TCustomFolder* OstraEngineCopyFolder(const TFolderOperationModel& model, TCustomFolder* source, TCustomFolder* target);
// Moves source into target; answers the folder or album in its new place.
TCustomFolder* OstraEngineMoveFolder(const TFolderOperationModel& model, TCustomFolder* source, TCustomFolder* target);
// Folders go to the trash; albums and tags are deleted with their children.
void OstraEngineDeleteFolder(const TFolderOperationModel& model, TCustomFolder* folder);
// name: the wanted name in, the name given out.
void OstraEngineRenameFolder(TCustomFolder* folder, std::string& name);
// A new sub-folder or child album; name: the wanted name in, the name given out ("%s(%d)" when a
// folder of the wanted name exists).
TCustomFolder* OstraEngineCreateChild(const TFolderOperationModel& model, TCustomFolder* parent, std::string& name);

// The folder of the trees for an existing directory.
TFolder* GetFolderByPath(TFolderTreeList& folders, const std::string& path);

// After source was copied into target on disk: the photos of the copy whose name, file date and
// size match take the catalog data of the source's photos, folder by folder.
void CopiedFolder(TFolderTreeList& folders, TFolder* source, TFolder* target);
// After source was moved into target on disk: the catalog items themselves (with their tags,
// albums, dates and thumbnails) move into the moved folder, which also takes the source's pinned
// flag, history entries and calendar mode; the source leaves its tree. With wholeCopy (a move to
// another volume whose source was only partly deleted) every item whose file the copy holds goes
// with it, also when a file of its name is still left at the source.
void MovedFolder(TFolderTreeList& folders, THistoryList* history, TFolder* source, TFolder* target,
                 bool wholeCopy = false);

// Files of the catalog: renames the file on disk without replacing anything and keeps the item
// (with its catalog data) under the new name. name: wanted in, given out (made safe).
void OstraEngineRenameFile(TCatalogItem* item, std::string& name);
// Moves the file of an item to the trash; the item leaves its folder, the calendar and its albums.
void OstraEngineTrashFile(TCatalogItem* item);

}  // namespace plb

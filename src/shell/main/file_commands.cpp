#include "shell/main/file_commands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTreeWidgetItem>
#include <exception>

#include "engine/events/catalog_update_bus.h"
#include "engine/model/album_utils.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/engine_error.h"
#include "host/log_file.h"
#include "platform/error.h"
#include "shell/dialogs/copy_move_file_form.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/library_page.h"
#include "shell/main/action_boxes.h"
#include "shell/qt_text.h"

namespace plb::shell {
namespace {

const QString kNewFolderName = QStringLiteral("新しいフォルダ");

}  // namespace

const char* const kFolderRenameFailed = "フォルダ名の変更に失敗しました。";

QString FilesToFolderQuestion(int count, const QString& folderName, bool copy) {
  return QString::asprintf("%d 個のファイルを\r\n\r\n %sへ%sします\r\n\r\nよろしいですか？", count,
                           folderName.toUtf8().constData(), copy ? "コピー" : "移動");
}

QString DeleteFolderQuestion(const TCustomFolder& node) {
  const bool tag = FolderClassOfKind(node.Kind()) == kFolderClassAlbum;
  const std::string name = tag ? OstraGetFolderPathWithOutRoot(&node, true) : node.GetFullName();
  return QString::asprintf("%sを削除します。\r\n\r\n削除対象\t：%s\r\n\r\n実行してよろしいですか？",
                           tag ? "タグ" : "フォルダ", name.c_str());
}

QString TargetFolderCaption(bool copy) {
  return copy ? QStringLiteral("コピー先のフォルダを指定してください。")
              : QStringLiteral("移動先のフォルダを指定してください。");
}

bool TFileCommands::Renamable(const TCustomFolder* node) {
  if (!node || !node->GetParent()) return false;
  const uint8_t kind = FolderClassOfKind(node->Kind());
  return (kind == kFolderClassFolder && node->Kind() == kKindFolder) || kind == kFolderClassAlbum;
}

bool TFileCommands::Deletable(const TCustomFolder* node) {
  return Renamable(node);
}

bool TFileCommands::CanHoldChildren(const TCustomFolder* node) {
  if (!node) return false;
  const uint8_t kind = FolderClassOfKind(node->Kind());
  return kind == kFolderClassFolder || kind == kFolderClassAlbum;
}

bool TFileCommands::Movable(const TCatalogItem* item) {
  return item && item->Owner() && !item->Unavailable();
}

TFolderOperationModel TFileCommands::Model() const {
  TFolderOperationModel model;
  model.folders = page_.Sources().folders;
  model.albums = page_.Sources().albums;
  model.history = page_.Sources().history;
  return model;
}

void TFileCommands::Failed(const std::exception& e) {
  QApplication::beep();
  boxes_.error(QString::fromStdString(MessageOf(e)));
}

bool TFileCommands::RenameItem(TCatalogItem* item) {
  if (!Movable(item)) return false;
  const QString old = Utf8(item->FileName());
  const std::optional<QString> wanted = boxes_.inputText(QStringLiteral("新しいファイル名"), old);
  if (!wanted || wanted->trimmed().isEmpty() || *wanted == old) return false;
  std::string name = wanted->trimmed().toStdString();
  try {
    OstraEngineRenameFile(item, name);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.AcFileRename", e);
    Failed(e);
    return false;
  }
  RaiseCatalogUpdateEvent(item, cukRenamed);
  return true;
}

bool TFileCommands::StartFolderRename(TFolderTreePanel& panel, TCustomFolder* node) {
  if (!Renamable(node)) return false;
  return panel.StartRename(node);
}

bool TFileCommands::FolderLabelEdited(TFolderTreePanel& panel, TCustomFolder* node, QTreeWidgetItem* item,
                                      const QString& name) {
  const std::string wanted = name.trimmed().toStdString();
  if (wanted == node->GetName()) {
    panel.RestoreLabel(item);
    return false;
  }
  std::string given = wanted;
  try {
    if (wanted.empty()) throw EOstraEngineError("空白のフォルダ名は無効です。");
    CheckRenameFolder(node);
    OstraEngineRenameFolder(node, given);
  } catch (const std::exception& e) {
    // The old name comes back in the panel; the user hears and reads why.
    LogFailure("TFrameTargetsEx.RenameFolder", e);
    panel.RestoreLabel(item);
    QApplication::beep();
    boxes_.error(QString::fromUtf8(kFolderRenameFailed));
    return false;
  }
  panel.RestoreLabel(item);
  return true;
}

int TFileCommands::TrashItems(const std::vector<TCatalogItem*>& items) {
  std::vector<TCatalogItem*> files;
  for (TCatalogItem* item : items)
    if (Movable(item)) files.push_back(item);
  if (files.empty()) return 0;
  QApplication::beep();
  if (!boxes_.ask(FilesToFolderQuestion(static_cast<int>(files.size()), QStringLiteral("ごみ箱"), false))) return 0;
  int sent = 0;
  QStringList failures;
  for (TCatalogItem* item : files) {
    try {
      OstraEngineTrashFile(item);
      RaiseCatalogUpdateEvent(item, cukMissing);
      ++sent;
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.AcFileTrash", e);
      failures << QString::fromStdString(MessageOf(e));
    }
  }
  if (!failures.isEmpty()) {
    QApplication::beep();
    // The first reason stands for the rest; every one is in the log.
    boxes_.error(QString::asprintf("%d 個のファイルをごみ箱へ移動できませんでした。\r\n\r\n",
                                   static_cast<int>(failures.size())) +
                 failures.front());
  }
  return sent;
}

bool TFileCommands::DeleteFolder(TCustomFolder* node) {
  if (!Deletable(node)) return false;
  QApplication::beep();
  if (!boxes_.ask(DeleteFolderQuestion(*node))) return false;
  try {
    OstraEngineDeleteFolder(Model(), node);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.AcFileDelete", e);
    Failed(e);
    return false;
  }
  return true;
}

TCustomFolder* TFileCommands::CreateFolder(TFolderTreePanel* panel, TCustomFolder* parent) {
  if (!CanHoldChildren(parent)) return nullptr;
  std::string name = kNewFolderName.toStdString();
  TCustomFolder* child = nullptr;
  try {
    CheckCreateFolder(parent);
    child = OstraEngineCreateChild(Model(), parent, name);
  } catch (const std::exception& e) {
    LogFailure("TPlumoraMain2.AcFileCreateNew", e);
    Failed(e);
    return nullptr;
  }
  if (panel && child) {
    // The new node is listed at once, so that its name can be typed over.
    if (QTreeWidgetItem* item = panel->ItemOf(parent)) {
      panel->expandItem(item);
      panel->ApplyPendingEvents();
    }
    if (panel->SelectNode(child)) panel->StartRename(child);
  }
  return child;
}

int TFileCommands::CopyMoveItems(const std::vector<TCatalogItem*>& items, bool copy) {
  std::vector<TCatalogItem*> files;
  for (TCatalogItem* item : items)
    if (item && !item->Unavailable() && (copy || Movable(item))) files.push_back(item);
  if (files.empty() || !page_.Sources().folders) return 0;
  const QString start = Utf8(files.front()->FolderPath());
  const QString chosen = boxes_.chooseFolder(TargetFolderCaption(copy), start);
  if (chosen.isEmpty()) return 0;
  return CopyMoveItemsTo(files, chosen, copy);
}

int TFileCommands::CopyMoveItemsTo(const std::vector<TCatalogItem*>& items, const QString& folder, bool copy) {
  TFolderTreeList* folders = page_.Sources().folders;
  if (!folders) return 0;
  const QString path = QDir::cleanPath(folder);
  if (!QFileInfo(path).isDir()) {
    QApplication::beep();
    boxes_.error(QString::asprintf("セットされたFolderPath( %s )は存在しません。", path.toUtf8().constData()));
    return 0;
  }
  TFolder* target = nullptr;
  try {
    target = GetFolderByPath(*folders, path.toStdString());
  } catch (const std::exception& e) {
    // Outside the folder trees: the dialog copies into the directory all the same.
    LogFailure("TPlumoraMain2.CopyMoveItems", e);
  }
  // Photos already in the folder stay where they are and are not counted.
  std::vector<TCatalogItem*> files;
  for (TCatalogItem* item : items)
    if (item && !item->Unavailable() && (copy || Movable(item)) && (!target || item->Owner() != target))
      files.push_back(item);
  if (files.empty()) return 0;
  QApplication::beep();
  if (!boxes_.ask(FilesToFolderQuestion(static_cast<int>(files.size()), QFileInfo(path).fileName(), copy))) return 0;
  TCopyMoveFileFrm form(*folders, files, path.toStdString(), target, copy, parent_);
  boxes_.run(form);
  return form.Thread().DoneCount();
}

TCustomFolder* TFileCommands::CopyMoveFolder(TCustomFolder* node, bool copy) {
  TFolderTreeList* folders = page_.Sources().folders;
  if (!Renamable(node) || FolderClassOfKind(node->Kind()) != kFolderClassFolder || !folders) return nullptr;
  const QString chosen = boxes_.chooseFolder(TargetFolderCaption(copy), Utf8(node->GetFullName()));
  if (chosen.isEmpty()) return nullptr;
  try {
    TFolder* target = GetFolderByPath(*folders, QDir::cleanPath(chosen).toStdString());
    TFolderOperationModel model = Model();
    return copy ? OstraEngineCopyFolder(model, node, target) : OstraEngineMoveFolder(model, node, target);
  } catch (const std::exception& e) {
    LogFailure(copy ? "TPlumoraMain2.CopyFolder" : "TPlumoraMain2.MoveFolder", e);
    Failed(e);
    return nullptr;
  }
}

}  // namespace plb::shell

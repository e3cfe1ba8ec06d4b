#include "shell/main/item_drops.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <map>

#include "engine/events/folder_events.h"
#include "engine/model/album.h"
#include "engine/model/album_utils.h"
#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/custom_folder.h"
#include "engine/model/file_kinds.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "host/date_time.h"
#include "host/log_file.h"
#include "images/dates/date_dialog_logic.h"
#include "platform/file_transfer.h"
#include "shell/dialogs/exif_date_form.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/grid/grid_drag_drop.h"
#include "shell/grid/item_drag.h"
#include "shell/library/folder_tree_panel.h"
#include "shell/library/library_page.h"
#include "shell/main/action_boxes.h"
#include "shell/main/file_commands.h"
#include "shell/qt_text.h"
#include "shell/tray/frame_tray.h"

namespace plb::shell {
namespace {

// Lines of a refusal listed by name; the rest are counted.
constexpr int kRefusedLines = 10;

bool IsDiskFolder(const TCustomFolder* node) {
  return node && FolderClassOfKind(node->Kind()) == kFolderClassFolder && QFileInfo(Utf8(node->GetFullName())).isDir();
}

bool IsDatedNode(const TCustomFolder* node) {
  return node && node->Kind() >= kKindCalendarDay && node->Kind() <= kKindCalendarYear;
}

// Tags and albums below their roots take photos; the roots hold no photos of their own, and the
// searches, the tray and the imported groups are filled by the program alone.
TAlbum* TakingAlbum(TCustomFolder* node) {
  auto* album = dynamic_cast<TAlbum*>(node);
  if (!album || !album->Parent() || album->InWork()) return nullptr;
  const uint8_t type = album->AlbumType();
  return type == atTag || type == atAlbum ? album : nullptr;
}

std::vector<TCatalogItem*> OwnItems(const QMimeData* data) {
  std::vector<TCatalogItem*> items;
  TCustomFolder* source = nullptr;
  if (data && data->hasFormat(ItemsMimeType())) DataObjectToItems(data, &source, &items);
  std::erase_if(items, [](TCatalogItem* item) { return !item || item->Unavailable(); });
  return items;
}

bool CatalogedKind(const QString& path) {
  TExtItems table;
  table.Build(kCatalogKinds);
  const std::string name = path.toStdString();
  return table.Find(ExtensionOf(name)) != nullptr;
}

// The first local file a drag names, for the file-system test of the pointer's way.
std::string FirstFile(const QMimeData* data) {
  if (const std::vector<TCatalogItem*> items = OwnItems(data); !items.empty()) return items.front()->FullPath();
  if (!data) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile().toStdString();
  return {};
}

}  // namespace

const char* const kTrayOutsideCatalog =
    "カタログにない写真はトレイに入れられません。\r\n"
    "写真のフォルダをウィンドウへドロップしてカレンダーに登録してから、もう一度トレイへドロップしてください。";

TDroppedFiles ReadDroppedFiles(const QMimeData* data) {
  TDroppedFiles dropped;
  if (!data) return dropped;
  if (const std::vector<TCatalogItem*> own = OwnItems(data); !own.empty()) {
    dropped.own = true;
    for (TCatalogItem* item : own) dropped.files.push_back(item->FullPath());
    return dropped;
  }
  // Otherwise the addresses, also those of another process's drag of its photos.
  for (const QUrl& url : data->urls()) {
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
    if (!url.isLocalFile()) {
      dropped.refused << shown + QStringLiteral("\t：このコンピューターのファイルではありません。");
      continue;
    }
    const QFileInfo info(url.toLocalFile());
    if (!info.exists()) {
      dropped.refused << shown + QStringLiteral("\t：ファイルが見つかりません。");
    } else if (info.isDir()) {
      dropped.refused << shown + QStringLiteral("\t：フォルダです。");
    } else if (!info.isFile() || !CatalogedKind(info.fileName())) {
      dropped.refused << shown + QStringLiteral("\t：写真や動画のファイルではありません。");
    } else {
      dropped.files.push_back(info.absoluteFilePath().toStdString());
    }
  }
  return dropped;
}

bool MayBringFiles(const QMimeData* data) {
  if (!data) return false;
  if (!OwnItems(data).empty()) return true;
  // Folders alone are the window's (they join the calendar).
  for (const QUrl& url : data->urls())
    if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isDir()) return true;
  return false;
}

bool DropCopies(bool ownItems, bool sameFileSystem, Qt::KeyboardModifiers modifiers) {
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  if (shift && !ctrl) return false;
  if (ctrl) return true;
  return !ownItems || !sameFileSystem;
}

std::vector<TCatalogItem*> CatalogItemsOfFiles(TFolderTreeList& trees, const std::vector<std::string>& files, bool scan,
                                               std::vector<std::string>* outside) {
  std::vector<TCatalogItem*> items;
  std::map<TFolder*, bool> scanned;
  for (const std::string& file : files) {
    const QFileInfo info(Utf8(file));
    const std::string dir = info.absolutePath().toStdString();
    const std::string name = info.fileName().toStdString();
    TFolder* folder = scan ? trees.FolderOf(dir) : trees.FindFolderOf(dir);
    TCatalogItem* item = folder ? folder->FindItem(name) : nullptr;
    if (!item && folder && scan && !scanned[folder]) {
      scanned[folder] = true;
      TExtItems table;
      table.Build(kCatalogKinds);
      folder->SearchFiles(&table, nullptr);
      item = folder->FindItem(name);
    }
    if (item && !item->Unavailable()) {
      items.push_back(item);
    } else if (outside) {
      outside->push_back(file);
    }
  }
  return items;
}

QString DateDropQuestion(int count, const TCustomFolder& node) {
  const auto* calendar = dynamic_cast<const TCalendar*>(&node);
  const DateTimeFields date = DecodeDateTime(calendar ? calendar->Date() : 0);
  QString when;
  if (node.Kind() == kKindCalendarDay) {
    when = QString::asprintf("%d年%d月%d日", date.year, date.month, date.day);
  } else if (node.Kind() == kKindCalendarMonth) {
    when = QString::asprintf("%d年%d月", date.year, date.month);
  } else {
    when = QString::asprintf("%d年", date.year);
  }
  return QString::asprintf("%d 個の写真の撮影日時を\r\n\r\n %sに変更します\r\n\r\nよろしいですか？", count,
                           when.toUtf8().constData());
}

QString RefusedDropText(const QStringList& refused) {
  QString text = QString::asprintf("%d 個のファイルは取り込めません。\r\n\r\n", static_cast<int>(refused.size()));
  text += refused.mid(0, kRefusedLines).join(QStringLiteral("\r\n"));
  if (refused.size() > kRefusedLines)
    text += QString::asprintf("\r\nほか %d 個", static_cast<int>(refused.size()) - kRefusedLines);
  return text;
}

TItemDrops::TItemDrops(TLibraryPage& page, TFileCommands& files, TActionBoxes& boxes, QWidget* window,
                       std::function<void(const std::vector<TCatalogItem*>&)> dateChanged)
    : QObject(window),
      page_(page),
      files_(files),
      boxes_(boxes),
      window_(window),
      dateChanged_(std::move(dateChanged)) {
  setObjectName("TItemDrops");
  page_.FolderTree()->SetDropHandlers(
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers) {
        return FolderDropAction(node, data, modifiers);
      },
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers) {
        DropOnFolder(node, data, modifiers);
      });
  page_.CalendarTree()->SetDropHandlers(
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers) {
        return CalendarDropAction(node, data);
      },
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers) { DropOnCalendar(node, data); });
  page_.TagTree()->SetDropHandlers(
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers) { return TagDropAction(node, data); },
      [this](TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers) { DropOnTag(node, data); });
  page_.CatalogDrags()->SetFileDropHandlers(
      [this](const QMimeData* data) { return GridTakesFiles(data); },
      [this](const QMimeData* data, Qt::KeyboardModifiers modifiers, const QPoint&) { DropOnGrid(data, modifiers); });
}

void TItemDrops::AttachTray(TFrameTray& tray) {
  tray_ = &tray;
  tray.DragDrop()->SetFileDropHandlers(
      [](const QMimeData* data) { return MayBringFiles(data); },
      [this](const QMimeData* data, Qt::KeyboardModifiers, const QPoint& pos) { DropOnTray(data, pos); });
}

Qt::DropAction TItemDrops::FolderDropAction(TCustomFolder* node, const QMimeData* data,
                                            Qt::KeyboardModifiers modifiers) const {
  if (!page_.Sources().folders || !IsDiskFolder(node) || !MayBringFiles(data)) return Qt::IgnoreAction;
  const std::vector<TCatalogItem*> own = OwnItems(data);
  // Photos that are all in the folder already have nowhere to go.
  if (!own.empty() && std::all_of(own.begin(), own.end(), [node](TCatalogItem* i) { return i->Owner() == node; }))
    return Qt::IgnoreAction;
  const std::string first = FirstFile(data);
  const bool same = !first.empty() && platform::SameFileSystem(first, node->GetFullName());
  return DropCopies(!own.empty(), same, modifiers) ? Qt::CopyAction : Qt::MoveAction;
}

Qt::DropAction TItemDrops::CalendarDropAction(TCustomFolder* node, const QMimeData* data) const {
  if (!IsDatedNode(node)) return Qt::IgnoreAction;
  const std::vector<TCatalogItem*> own = OwnItems(data);
  // Photos that are all under the node already would keep their dates.
  const bool changes = std::any_of(own.begin(), own.end(), [node](TCatalogItem* item) {
    TCustomFolder* day = item->CalendarDay();
    return !day || (day != node && !day->IsDescendantOf(node));
  });
  return changes ? Qt::CopyAction : Qt::IgnoreAction;
}

Qt::DropAction TItemDrops::TagDropAction(TCustomFolder* node, const QMimeData* data) const {
  TAlbum* album = TakingAlbum(node);
  TFolderTreeList* trees = page_.Sources().folders;
  if (!album || !trees || !MayBringFiles(data)) return Qt::IgnoreAction;
  std::vector<TCatalogItem*> items = OwnItems(data);
  // Files of other programs count only when they are catalogued photos.
  if (items.empty()) items = CatalogItemsOfFiles(*trees, ReadDroppedFiles(data).files, false);
  const bool adds =
      std::any_of(items.begin(), items.end(), [album](TCatalogItem* item) { return !album->FindEntry(item); });
  return adds ? Qt::CopyAction : Qt::IgnoreAction;
}

bool TItemDrops::GridTakesFiles(const QMimeData* data) const {
  // The program's own photos are moved by dropping them on a folder of the panel, not here.
  return page_.Sources().folders && IsDiskFolder(page_.Catalog()->CurrentFolder()) && OwnItems(data).empty() &&
         MayBringFiles(data);
}

bool TItemDrops::Listed(TFolderTreePanel* panel, TCustomFolder* node) const {
  return panel && node && panel->ItemOf(node);
}

void TItemDrops::Later(TFolderTreePanel* panel, std::function<void()> work) {
  ++pending_;
  QPointer<TFolderTreePanel> watched(panel);
  // The drag's loop has ended by then: the questions and dialogs below run as usual.
  QTimer::singleShot(0, this, [this, watched, work = std::move(work)] {
    try {
      work();
    } catch (const std::exception& e) {
      LogFailure("TPlumoraMain2.DropItems", e);
      QApplication::beep();
      boxes_.error(QString::fromStdString(e.what()));
    }
    if (watched) watched->ClearDropTarget();
    --pending_;
  });
}

void TItemDrops::DropOnFolder(TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers) {
  TDroppedFiles dropped = ReadDroppedFiles(data);
  TFolderTreePanel* panel = page_.FolderTree();
  Later(panel, [this, panel, node, dropped = std::move(dropped), modifiers] {
    if (!Listed(panel, node)) return;  // the folder went meanwhile
    CopyInto(dropped, node->GetFullName(), modifiers);
  });
}

void TItemDrops::DropOnGrid(const QMimeData* data, Qt::KeyboardModifiers modifiers) {
  TCustomFolder* shown = page_.Catalog()->CurrentFolder();
  if (!IsDiskFolder(shown)) return;
  TDroppedFiles dropped = ReadDroppedFiles(data);
  Later(nullptr, [this, folder = shown->GetFullName(), dropped = std::move(dropped), modifiers] {
    CopyInto(dropped, folder, modifiers);
  });
}

void TItemDrops::CopyInto(const TDroppedFiles& dropped, const std::string& folder, Qt::KeyboardModifiers modifiers) {
  TFolderTreeList* trees = page_.Sources().folders;
  QStringList refused = dropped.refused;
  std::vector<std::string> outside;
  std::vector<TCatalogItem*> items =
      trees ? CatalogItemsOfFiles(*trees, dropped.files, true, &outside) : std::vector<TCatalogItem*>();
  for (const std::string& file : outside) refused << Utf8(file) + QStringLiteral("\t：ファイルを読み込めません。");
  if (!refused.isEmpty()) TellRefused(refused);
  if (items.empty()) return;
  const bool copy = DropCopies(dropped.own, SameFileSystem(dropped.files, folder), modifiers);
  files_.CopyMoveItemsTo(items, Utf8(folder), copy);
}

void TItemDrops::DropOnCalendar(TCustomFolder* node, const QMimeData* data) {
  std::vector<std::string> files = ReadDroppedFiles(data).files;
  TFolderTreePanel* panel = page_.CalendarTree();
  Later(panel, [this, panel, node, files = std::move(files)] {
    TFolderTreeList* trees = page_.Sources().folders;
    if (!trees || !Listed(panel, node) || !IsDatedNode(node)) return;
    std::vector<TCatalogItem*> items = CatalogItemsOfFiles(*trees, files, false);
    std::erase_if(items, [](TCatalogItem* item) { return !TFileCommands::Movable(item); });
    if (items.empty()) return;
    const DateTimeFields date = DecodeDateTime(static_cast<TCalendar*>(node)->Date());
    const TCalendarNodeKind kind = node->Kind() == kKindCalendarDay     ? TCalendarNodeKind::kDay
                                   : node->Kind() == kKindCalendarMonth ? TCalendarNodeKind::kMonth
                                                                        : TCalendarNodeKind::kYear;
    const TDateDrop drop = DropOnCalendarNode(kind, date.year, date.month, date.day, items.front()->ShootingDate());
    QApplication::beep();
    if (!boxes_.ask(DateDropQuestion(static_cast<int>(items.size()), *node))) return;
    TExifDateProgressForm progress([this](const QString& text) { boxes_.error(text); }, window_);
    progress.Run(items, drop.flags, drop.target);
    if (dateChanged_) dateChanged_(items);
  });
}

void TItemDrops::DropOnTag(TCustomFolder* node, const QMimeData* data) {
  TDroppedFiles dropped = ReadDroppedFiles(data);
  TFolderTreePanel* panel = page_.TagTree();
  Later(panel, [this, panel, node, dropped = std::move(dropped)] {
    TFolderTreeList* trees = page_.Sources().folders;
    TAlbum* album = Listed(panel, node) ? TakingAlbum(node) : nullptr;  // it may have gone meanwhile
    if (!trees || !album) return;
    QStringList refused = dropped.refused;
    std::vector<std::string> outside;
    std::vector<TCatalogItem*> items = CatalogItemsOfFiles(*trees, dropped.files, false, &outside);
    for (const std::string& file : outside)
      refused << Utf8(file) + QStringLiteral("\t：カタログに登録されていない写真です。");
    if (!refused.isEmpty()) TellRefused(refused);
    // The entries join the catalog's album file at the engine's next save, with the items' tags.
    if (items.empty() || !OstraAddItemsToAlbum(album, &items, 0, true, true)) return;
    // Tags read from the catalog's file send no events (the album list routes those of the album
    // tree's roots only): the panel's count and a grid showing the tag hear of it here.
    panel->NodeEvent(album, futContentsChanged);
    page_.Catalog()->FolderEvent(album, futContentsChanged);
  });
}

void TItemDrops::DropOnTray(const QMimeData* data, const QPoint& pos) {
  TDroppedFiles dropped = ReadDroppedFiles(data);
  Later(nullptr, [this, dropped = std::move(dropped), pos] {
    TFolderTreeList* trees = page_.Sources().folders;
    std::vector<std::string> outside;
    const std::vector<TCatalogItem*> items =
        trees ? CatalogItemsOfFiles(*trees, dropped.files, false, &outside) : std::vector<TCatalogItem*>();
    if (!trees) outside = dropped.files;
    if (!dropped.refused.isEmpty()) TellRefused(dropped.refused);
    if (!outside.empty()) {
      QStringList names;
      for (const std::string& file : outside) names << Utf8(file);
      QApplication::beep();
      boxes_.error(QString::fromUtf8(kTrayOutsideCatalog) + QStringLiteral("\r\n\r\n") +
                   names.mid(0, kRefusedLines).join(QStringLiteral("\r\n")));
    }
    if (!items.empty() && tray_) tray_->DragDrop()->Drop(items, pos);
  });
}

void TItemDrops::TellRefused(const QStringList& refused) {
  QApplication::beep();
  boxes_.error(RefusedDropText(refused));
}

bool TItemDrops::SameFileSystem(const std::vector<std::string>& files, const std::string& folder) const {
  return !files.empty() && platform::SameFileSystem(files.front(), folder);
}

}  // namespace plb::shell

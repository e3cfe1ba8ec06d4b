#include "shell/output/output_actions.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>

#include "engine/model/calendar.h"
#include "engine/model/catalog_item.h"
#include "engine/model/folder.h"
#include "engine/model/folder_tree_list.h"
#include "engine/model/file_kinds.h"
#include "shell/grid/frame_catalog_dg.h"
#include "shell/library/library_page.h"
#include "shell/output/collage_form.h"
#include "shell/output/export_folder_form.h"
#include "shell/output/print_form.h"
#include "shell/output/save_image_form.h"
#include "shell/output/save_images_form.h"

namespace plb::shell {

namespace {

constexpr int kDefaultQuality = 90;

// The selection without unavailable items and movies.
std::vector<TCatalogItem*> SavableSelection(TLibraryPage* library) {
  std::vector<TCatalogItem*> items;
  for (TCatalogItem* item : library->Catalog()->SelectedItems())
    if (item && !item->Unavailable() && item->Kind() != fkMovie) items.push_back(item);
  return items;
}

void AcFileSave(QMainWindow* window, TLibraryPage* library, int quality) {
  const std::vector<TCatalogItem*> items = SavableSelection(library);
  if (items.size() > 1) {
    TSaveImagesForm form(items, quality, window);
    if (form.exec() == QDialog::Accepted && form.ProcessedCount() > 0 && library->Sources().folders) {
      TFolder* folder = library->Sources().folders->FolderOf(form.Destination().toStdString());
      if (folder && form.ShowInLibrary()) library->ShowFolder(folder);
    }
  } else if (items.size() == 1) {
    QApplication::beep();
    TSaveImageForm form(items.front(), quality, 480, window);
    form.exec();
  }
}

void AcFileExportFolder(QMainWindow* window, TLibraryPage* library) {
  TCustomFolder* root = library->Sources().calendar;
  if (!root) return;
  window->hide();
  {
    TExportFolderFormEx form(root, library->Sources().folders, nullptr, library->Sources().albums);
    if (form.HasItems()) form.exec();
  }
  window->show();
}

}  // namespace

void AddOutputActions(QMainWindow* window, TLibraryPage* library, std::function<int()> quality) {
  auto jpegQuality = [quality] { return quality ? quality() : kDefaultQuality; };
  auto add = [&](const char* name, const QString& caption, auto slot) {
    auto* action = new QAction(caption, window);
    action->setObjectName(name);
    QObject::connect(action, &QAction::triggered, window, slot);
    window->addAction(action);
  };
  add("AcFileSave", QStringLiteral("別名で保存"), [window, library, jpegQuality] { AcFileSave(window, library, jpegQuality()); });
  add("AcToolPrint", QStringLiteral("写真の印刷"), [window, library] {
    TFramePrint form(library->Catalog()->SelectedItems(), window);
    form.exec();
  });
  add("AcFileExportFolder", QStringLiteral("カレンダーの出力"), [window, library] { AcFileExportFolder(window, library); });
  add("AcToolCollage", QStringLiteral("コラージュ"), [window, library, jpegQuality] {
    TFrameCollage form(library->Catalog()->SelectedItems(), jpegQuality(), window);
    form.exec();
  });
}

}  // namespace plb::shell

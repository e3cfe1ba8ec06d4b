#pragma once
// Drags that start in the program's own views: the files as a URL list that every desktop
// program takes, and the private part (folder, extra value, items) that only this process reads
// back. The payload lives as long as the drag's data, so the items it names stay findable for
// exactly that long.
#include <QMimeData>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/views/drag_data.h"

class QWidget;

namespace plb {
class TCatalogItem;
class TCustomFolder;
}  // namespace plb

namespace plb::shell {

// The private formats as MIME types.
QString ItemsMimeType();
QString FolderMimeType();

class TItemMimeData : public QMimeData {
  Q_OBJECT
 public:
  TItemMimeData(TCustomFolder* source, int32_t extraValue, std::vector<TCatalogItem*> items);
  ~TItemMimeData() override;

 private:
  std::unique_ptr<TItemDataObject> data_;
};

// What a drag of items offers its target. No move: a file manager given the files copies them,
// so the catalog's data never stays behind with files moved away. The program's own targets move
// when the user asks them to, and do it themselves.
inline constexpr Qt::DropActions kItemDragActions = Qt::CopyAction | Qt::LinkAction;

// Runs the drag loop with kItemDragActions; answers what the target did (Qt::IgnoreAction
// when nothing was dropped).
Qt::DropAction StartItemDrag(QWidget* dragSource, TCustomFolder* source, int32_t extraValue,
                             std::vector<TCatalogItem*> items);

// The items of a drag of this process; 0 for any other data. items null raises
// ECatalogDNDException.
int DataObjectToItems(const QMimeData* data, TCustomFolder** source, std::vector<TCatalogItem*>* items);
// The source folder and the extra value of a drag of this process; false for any other data.
bool DataObjectSourceFolder(const QMimeData* data, TCustomFolder*& source);
bool DataObjectExtraValue(const QMimeData* data, int32_t& value);

}  // namespace plb::shell

#include "shell/grid/item_drag.h"

#include <QDrag>
#include <QList>
#include <QUrl>
#include <QWidget>

namespace plb::shell {
namespace {

std::string PrivateBytes(const QMimeData* data) {
  if (!data) return {};
  for (const QString& type : {ItemsMimeType(), FolderMimeType()}) {
    if (data->hasFormat(type)) return data->data(type).toStdString();
  }
  return {};
}

}  // namespace

QString ItemsMimeType() {
  return QStringLiteral("application/x-%1").arg(QLatin1String(kItemsFormatName));
}
QString FolderMimeType() {
  return QStringLiteral("application/x-%1").arg(QLatin1String(kFolderFormatName));
}

TItemMimeData::TItemMimeData(TCustomFolder* source, int32_t extraValue, std::vector<TCatalogItem*> items)
    : data_(std::make_unique<TItemDataObject>(source, extraValue, std::move(items))) {
  QList<QUrl> urls;
  for (const std::string& path : data_->FilePaths()) {
    // A folder on disk or a file; the source text of an imported album is no local path.
    if (!path.empty() && path.front() == '/') urls << QUrl::fromLocalFile(QString::fromStdString(path));
  }
  if (!urls.isEmpty()) setUrls(urls);
  const std::string bytes = data_->PrivateBytes();
  const QString type = data_->PrivateFormatName() == std::string(kItemsFormatName) ? ItemsMimeType() : FolderMimeType();
  setData(type, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

TItemMimeData::~TItemMimeData() = default;

Qt::DropAction StartItemDrag(QWidget* dragSource, TCustomFolder* source, int32_t extraValue,
                             std::vector<TCatalogItem*> items) {
  auto* drag = new QDrag(dragSource);
  drag->setMimeData(new TItemMimeData(source, extraValue, std::move(items)));
  return drag->exec(kItemDragActions, Qt::CopyAction);
}

int DataObjectToItems(const QMimeData* data, TCustomFolder** source, std::vector<TCatalogItem*>* items) {
  return plb::DataObjectToItems(PrivateBytes(data), source, items);
}

bool DataObjectSourceFolder(const QMimeData* data, TCustomFolder*& source) {
  return plb::DataObjectSourceFolder(PrivateBytes(data), source);
}

bool DataObjectExtraValue(const QMimeData* data, int32_t& value) {
  return plb::DataObjectExtraValue(PrivateBytes(data), value);
}

}  // namespace plb::shell

#include "shell/library/folder_tree_panel.h"

#include <QAbstractItemDelegate>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>

#include "engine/events/folder_events.h"
#include "engine/model/custom_folder.h"
#include "host/format.h"

namespace plb::shell {
namespace {

constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kListedRole = Qt::UserRole + 2;
constexpr int kEventDelay = 200;
constexpr int kExpandDelay = 700;

}  // namespace

TFolderTreePanel::TFolderTreePanel(const QString& objectName, TRootSource roots, QWidget* parent)
    : QTreeWidget(parent), roots_(std::move(roots)) {
  setObjectName(objectName);
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  eventTimer_.setSingleShot(true);
  eventTimer_.setInterval(kEventDelay);
  connect(&eventTimer_, &QTimer::timeout, this, &TFolderTreePanel::ApplyPendingEvents);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { ListChildren(item); });
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (TCustomFolder* node = NodeOf(item)) emit folderChosen(node);
  });
  connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
    if (item != renaming_) return;
    renaming_ = nullptr;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (TCustomFolder* node = NodeOf(item)) emit labelEdited(node, item, item->text(0));
  });
  // An edit left without a change: later refreshes of the label are not edits.
  connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
    if (!renaming_) return;
    QTreeWidgetItem* item = renaming_;
    renaming_ = nullptr;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    RestoreLabel(item);
  });
  expandTimer_.setSingleShot(true);
  expandTimer_.setInterval(kExpandDelay);
  connect(&expandTimer_, &QTimer::timeout, this, [this] {
    if (QTreeWidgetItem* item = ItemOf(dropNode_)) {
      ListChildren(item);
      item->setExpanded(true);
    }
  });
  Reload();
}

void TFolderTreePanel::SetDropHandlers(TDropCheck check, TDropAction drop) {
  dropCheck_ = std::move(check);
  drop_ = std::move(drop);
  const bool on = dropCheck_ && drop_;
  setAcceptDrops(on);
  viewport()->setAcceptDrops(on);
  setDropIndicatorShown(false);
}

TCustomFolder* TFolderTreePanel::DropTarget() const {
  return dropNode_;
}

void TFolderTreePanel::ClearDropTarget() {
  SetDropTarget(nullptr);
}

void TFolderTreePanel::PaintDropTarget(bool on) {
  QTreeWidgetItem* item = ItemOf(dropNode_);
  if (!item) return;
  // Unlike the current node's look: the source folder of a drag is usually the current one.
  QColor tint = palette().color(QPalette::Highlight);
  tint.setAlpha(90);
  QFont font = item->font(0);
  font.setBold(on);
  font.setUnderline(on);
  item->setFont(0, font);
  item->setBackground(0, on ? QBrush(tint) : QBrush());
}

void TFolderTreePanel::SetDropTarget(TCustomFolder* node) {
  if (node == dropNode_) return;
  PaintDropTarget(false);
  dropNode_ = node;
  PaintDropTarget(true);
  if (node) {
    expandTimer_.start();
  } else {
    expandTimer_.stop();
  }
}

TCustomFolder* TFolderTreePanel::TargetOf(QDropEvent& event, Qt::DropAction& action) {
  TCustomFolder* node = NodeOf(itemAt(event.position().toPoint()));
  action = node && dropCheck_ ? dropCheck_(node, event.mimeData(), event.modifiers()) : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction) {
    SetDropTarget(nullptr);
    event.ignore();
    return nullptr;
  }
  SetDropTarget(node);
  return node;
}

void TFolderTreePanel::dragEnterEvent(QDragEnterEvent* event) {
  // Taken as long as some node may take it; each move decides for the node under the pointer.
  if (!dropCheck_ || !drop_) {
    event->ignore();
    return;
  }
  event->accept();
  dragMoveEvent(event);
}

void TFolderTreePanel::dragMoveEvent(QDragMoveEvent* event) {
  const int y = event->position().toPoint().y();
  // The view's own scrolling goes on while the pointer stays near the edge.
  if (hasAutoScroll() && (y < autoScrollMargin() || y > viewport()->height() - autoScrollMargin())) startAutoScroll();
  Qt::DropAction action = Qt::IgnoreAction;
  if (!TargetOf(*event, action)) return;
  // The drop does its own copy or move: the source is told of a copy unless it offers the move.
  event->setDropAction(event->possibleActions() & action ? action : Qt::CopyAction);
  event->accept();
}

void TFolderTreePanel::dragLeaveEvent(QDragLeaveEvent* event) {
  SetDropTarget(nullptr);
  event->accept();
}

void TFolderTreePanel::dropEvent(QDropEvent* event) {
  expandTimer_.stop();
  Qt::DropAction action = Qt::IgnoreAction;
  TCustomFolder* node = TargetOf(*event, action);
  if (!node) return;
  // Whatever the drop does, the source never removes its files: the work is done here.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  drop_(node, event->mimeData(), event->modifiers());
}

bool TFolderTreePanel::StartRename(TCustomFolder* node) {
  QTreeWidgetItem* item = ItemOf(node);
  if (!item) return false;
  renaming_ = nullptr;
  renamingLabel_ = item->text(0);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  const std::string name = node->GetName();
  item->setText(0, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  setCurrentItem(item);
  renaming_ = item;
  editItem(item);
  return true;
}

void TFolderTreePanel::RestoreLabel(QTreeWidgetItem* item) {
  if (TCustomFolder* node = NodeOf(item)) {
    item->setText(0, NodeText(node));
  } else {
    item->setText(0, renamingLabel_);
  }
}

TCustomFolder* TFolderTreePanel::NodeOf(const QTreeWidgetItem* item) {
  return item ? static_cast<TCustomFolder*>(item->data(0, kNodeRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* TFolderTreePanel::ItemOf(TCustomFolder* node) const {
  const auto it = items_.find(node);
  return it == items_.end() ? nullptr : it->second;
}

QString TFolderTreePanel::NodeText(TCustomFolder* node) {
  const std::string name = node->GetName();
  const int count = node->ItemCount();
  const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  // Calendar nodes tell how many photos they hold; folders show their own items.
  const uint8_t kind = node->Kind();
  if (kind >= kKindCalendarDay && kind <= kKindCalendarRoot) {
    return text + QString::fromUtf8(Format(" (%d)", node->TotalItemCount()));
  }
  return count > 0 ? text + QString::fromUtf8(Format(" (%d)", count)) : text;
}

std::vector<TCustomFolder*> TFolderTreePanel::ChildrenOf(TCustomFolder* node) {
  std::vector<TCustomFolder*> children;
  // Only the living children: the other children of folders and albums are the retired ones.
  node->GetChildFolders(children);
  return children;
}

QTreeWidgetItem* TFolderTreePanel::AddNode(QTreeWidgetItem* parent, TCustomFolder* node) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  item->setText(0, NodeText(node));
  item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(node)));
  item->setData(0, kListedRole, false);
  item->setChildIndicatorPolicy(node->HasChildren() ? QTreeWidgetItem::ShowIndicator
                                                    : QTreeWidgetItem::DontShowIndicatorWhenChildless);
  items_[node] = item;
  return item;
}

void TFolderTreePanel::Forget(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) Forget(item->child(i));
  if (NodeOf(item) == dropNode_) dropNode_ = nullptr;
  items_.erase(NodeOf(item));
}

void TFolderTreePanel::Reload() {
  TCustomFolder* current = NodeOf(currentItem());
  const QSignalBlocker block(this);
  clear();
  items_.clear();
  if (roots_) {
    for (TCustomFolder* root : roots_()) {
      if (root) AddNode(nullptr, root);
    }
  }
  if (current) SelectNode(current);
  PaintDropTarget(true);
}

void TFolderTreePanel::ListChildren(QTreeWidgetItem* item) {
  if (!item || item->data(0, kListedRole).toBool()) return;
  item->setData(0, kListedRole, true);
  RefreshChildren(item);
}

void TFolderTreePanel::RefreshChildren(QTreeWidgetItem* item) {
  TCustomFolder* node = NodeOf(item);
  if (!node) return;
  item->setText(0, NodeText(node));
  if (!item->data(0, kListedRole).toBool()) {
    item->setChildIndicatorPolicy(node->HasChildren() ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return;
  }
  // Keep the items of children still there (their own lists stay open), add new ones in order.
  const std::vector<TCustomFolder*> children = ChildrenOf(node);
  std::unordered_map<TCustomFolder*, QTreeWidgetItem*> old;
  while (item->childCount() > 0) {
    QTreeWidgetItem* child = item->takeChild(0);
    old[NodeOf(child)] = child;
  }
  for (TCustomFolder* child : children) {
    const auto it = old.find(child);
    if (it != old.end()) {
      item->addChild(it->second);
      it->second->setText(0, NodeText(child));
      old.erase(it);
    } else {
      AddNode(item, child);
    }
  }
  for (auto& [gone, child] : old) {
    Forget(child);
    delete child;
  }
}

bool TFolderTreePanel::SelectNode(TCustomFolder* node) {
  if (!node) return false;
  std::vector<TCustomFolder*> path;
  for (TCustomFolder* n = node; n; n = n->GetParent()) {
    path.push_back(n);
    if (ItemOf(n)) break;
  }
  if (!ItemOf(path.back())) return false;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    QTreeWidgetItem* item = ItemOf(*it);
    if (!item) return false;
    if (*it != node) {
      ListChildren(item);
      item->setExpanded(true);
    }
  }
  setCurrentItem(ItemOf(node));
  return true;
}

void TFolderTreePanel::NodeEvent(TCustomFolder* node, uint8_t kind) {
  if (!node || kind > kLastFolderUpdatedType) return;
  if (kind == futCreated || kind == futDeleted || kind == futParentChanged) {
    TCustomFolder* parent = node->GetParent();
    if (!parent || !ItemOf(parent)) reloadPending_ = !parent || reloadPending_;
    if (parent) dirty_.insert(parent);
    if (kind == futParentChanged) {
      // The parameter names the previous parent; a full look at the listed tree is simplest.
      reloadPending_ = true;
    }
  } else {
    dirty_.insert(node);
  }
  if (!eventTimer_.isActive()) eventTimer_.start();
}

void TFolderTreePanel::ApplyPendingEvents() {
  eventTimer_.stop();
  if (reloadPending_) {
    reloadPending_ = false;
    dirty_.clear();
    // Keep what was open.
    std::vector<TCustomFolder*> open;
    for (auto& [node, item] : items_) {
      if (item->isExpanded()) open.push_back(node);
    }
    Reload();
    for (TCustomFolder* node : open) {
      if (QTreeWidgetItem* item = ItemOf(node)) {
        ListChildren(item);
        item->setExpanded(true);
      }
    }
    return;
  }
  std::unordered_set<TCustomFolder*> dirty;
  dirty.swap(dirty_);
  for (TCustomFolder* node : dirty) {
    if (QTreeWidgetItem* item = ItemOf(node)) RefreshChildren(item);
  }
}

}  // namespace plb::shell

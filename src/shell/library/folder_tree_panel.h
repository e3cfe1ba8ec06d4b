#pragma once
// A tree panel over folder-like nodes: the file-system folders, the calendar or the tags. Nodes
// are listed when their parent is opened, and folder-updated events refresh the nodes they name
// (gathered for a moment, so a calendar that fills while photos are read costs a few refreshes).
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace plb {
class TCustomFolder;
}

namespace plb::shell {

class TFolderTreePanel : public QTreeWidget {
  Q_OBJECT
 public:
  // roots answers the top-level nodes whenever the panel lists them again.
  using TRootSource = std::function<std::vector<TCustomFolder*>()>;

  TFolderTreePanel(const QString& objectName, TRootSource roots, QWidget* parent = nullptr);

  // Lists the top level again (the engine's trees were loaded or a root was added).
  void Reload();
  // A folder-updated event of the panel's family.
  void NodeEvent(TCustomFolder* node, uint8_t kind);
  // Applies the gathered events now (the panel's timer calls this).
  void ApplyPendingEvents();
  // The tree item showing a node, or null when it is not listed.
  QTreeWidgetItem* ItemOf(TCustomFolder* node) const;
  // Lists the way down to a node and makes it current; false when it is not below the roots.
  bool SelectNode(TCustomFolder* node);
  static TCustomFolder* NodeOf(const QTreeWidgetItem* item);
  // Opens the node's label for editing with its bare name; the edited text comes back in
  // labelEdited. False when the node is not listed.
  bool StartRename(TCustomFolder* node);
  // Puts back the label the node had before the edit.
  void RestoreLabel(QTreeWidgetItem* item);

  // Drops on nodes. check answers what a drop of data on node would do (Qt::IgnoreAction where
  // the node takes nothing); drop does it. The node under the pointer is highlighted while it
  // would take the drop, and a closed node opens when the pointer rests on it.
  using TDropCheck =
      std::function<Qt::DropAction(TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers)>;
  using TDropAction = std::function<void(TCustomFolder* node, const QMimeData* data, Qt::KeyboardModifiers modifiers)>;
  void SetDropHandlers(TDropCheck check, TDropAction drop);
  // The highlighted node, or null. A drop's node stays highlighted until ClearDropTarget (the
  // work it starts asks its questions with the node in view).
  TCustomFolder* DropTarget() const;
  void ClearDropTarget();

 signals:
  void folderChosen(plb::TCustomFolder* node);
  void labelEdited(plb::TCustomFolder* node, QTreeWidgetItem* item, const QString& name);

 private:
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, TCustomFolder* node);
  void ListChildren(QTreeWidgetItem* item);
  void RefreshChildren(QTreeWidgetItem* item);
  void Forget(QTreeWidgetItem* item);
  static QString NodeText(TCustomFolder* node);
  static std::vector<TCustomFolder*> ChildrenOf(TCustomFolder* node);

  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The node under the pointer, highlighted, with what dropping there does; null (the event
  // ignored, no highlight) where the node takes nothing.
  TCustomFolder* TargetOf(QDropEvent& event, Qt::DropAction& action);
  void SetDropTarget(TCustomFolder* node);
  void PaintDropTarget(bool on);

  TRootSource roots_;
  std::unordered_map<TCustomFolder*, QTreeWidgetItem*> items_;
  std::unordered_set<TCustomFolder*> dirty_;
  bool reloadPending_ = false;
  QTreeWidgetItem* renaming_ = nullptr;
  QString renamingLabel_;
  QTimer eventTimer_;
  TDropCheck dropCheck_;
  TDropAction drop_;
  TCustomFolder* dropNode_ = nullptr;
  QTimer expandTimer_;
};

}  // namespace plb::shell

// The item model behind XTree: nodes own their children; the model's internal pointers are
// the nodes themselves. Every node knows the size of its subtree, so a display-order index
// can be found by walking the tree; a table of the whole order serves lookups in one step
// while it is current, and is rebuilt only once the walks since a change have cost as much.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class XTree;

namespace hrz::ui {

struct XTreeNode {
  XTreeNode* parent = nullptr;
  std::vector<std::unique_ptr<XTreeNode>> children;
  int row = 0;  // position among its siblings
  std::string text;
  int image = -1;
  int preImage = -1;
  void* data = nullptr;
  std::int64_t key = 0;
  bool loaded = true;  // false: children not read yet, the node shows an expander
  int index = -1;      // display-order index, valid while the model's order table is current
  int subtree = 1;     // the node and everything below it, always current
};

class XTreeModel : public QAbstractItemModel {
 public:
  explicit XTreeModel(XTree* tree);
  ~XTreeModel() override;

  XTreeNode* Root() { return &root_; }
  // Node at a display-order index, null when out of range.
  XTreeNode* NodeAt(int index);
  int IndexOf(const XTreeNode* node);
  int Count();
  QModelIndex IndexFor(const XTreeNode* node) const;
  static XTreeNode* FromIndex(const QModelIndex& index);

  // Appends nodes as children of parent, in one insertion.
  void AppendChildren(XTreeNode* parent, std::vector<std::unique_ptr<XTreeNode>> nodes);
  void RemoveNode(XTreeNode* node);
  void RemoveChildren(XTreeNode* parent);
  void Clear();
  void NodeChanged(XTreeNode* node);
  // Tells views that a node's expander state changed (loaded with no children).
  void LoadedStateChanged(XTreeNode* node);

  void SetImages(const QList<QIcon>& images) { images_ = images; }
  void SetEditable(bool editable) { editable_ = editable; }
  void SetAutoFree(bool autoFree) { autoFree_ = autoFree; }
  std::int64_t NewKey() { return --nextKey_; }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool hasChildren(const QModelIndex& parent) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  const XTreeNode* NodeOrRoot(const QModelIndex& index) const;
  void ReleaseData(XTreeNode* node);
  void RebuildOrder();
  // The order table after a change: used while current, else rebuilt once the walks made
  // without it have cost about as much as rebuilding it.
  bool OrderCurrent();
  void OrderChanged();
  XTreeNode* WalkTo(int index);
  int WalkIndexOf(const XTreeNode* node);
  // Adds delta to the subtree size of node and of every node above it.
  void GrowSubtrees(XTreeNode* node, int delta);

  XTree* tree_;
  XTreeNode root_;
  std::vector<XTreeNode*> order_;
  bool orderDirty_ = false;
  long long walkSteps_ = 0;  // nodes passed by walks since the order table went stale
  QList<QIcon> images_;
  bool editable_ = true;
  bool autoFree_ = true;
  std::int64_t nextKey_ = 0;  // generated keys count down so they never meet real ones
};

}  // namespace hrz::ui

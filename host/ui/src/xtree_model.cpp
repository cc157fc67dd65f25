#include "xtree_model.h"

#include <QMetaObject>
#include <QPersistentModelIndex>
#include <cstdlib>

#include "xtree.h"

namespace hrz::ui {
namespace {

// The size of a subtree handed in whole, counted from its nodes.
int SubtreeSize(XTreeNode* node) {
  int size = 1;
  for (auto& child : node->children) {
    child->subtree = SubtreeSize(child.get());
    size += child->subtree;
  }
  return size;
}

}  // namespace

XTreeModel::XTreeModel(XTree* tree) : tree_(tree) {}

XTreeModel::~XTreeModel() {
  ReleaseData(&root_);
}

XTreeNode* XTreeModel::FromIndex(const QModelIndex& index) {
  return static_cast<XTreeNode*>(index.internalPointer());
}

const XTreeNode* XTreeModel::NodeOrRoot(const QModelIndex& index) const {
  return index.isValid() ? FromIndex(index) : &root_;
}

void XTreeModel::RebuildOrder() {
  order_.clear();
  order_.reserve(static_cast<size_t>(Count()));
  std::vector<XTreeNode*> stack;
  for (auto it = root_.children.rbegin(); it != root_.children.rend(); ++it) {
    stack.push_back(it->get());
  }
  while (!stack.empty()) {
    XTreeNode* node = stack.back();
    stack.pop_back();
    node->index = static_cast<int>(order_.size());
    order_.push_back(node);
    for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
      stack.push_back(it->get());
    }
  }
  orderDirty_ = false;
  walkSteps_ = 0;
}

bool XTreeModel::OrderCurrent() {
  if (!orderDirty_) return true;
  if (walkSteps_ < Count()) return false;
  RebuildOrder();
  return true;
}

void XTreeModel::OrderChanged() {
  orderDirty_ = true;
}

XTreeNode* XTreeModel::WalkTo(int index) {
  // Skip whole subtrees of earlier siblings, then step into the child that holds index.
  XTreeNode* node = &root_;
  int left = index;  // position among the nodes below node
  for (;;) {
    XTreeNode* holder = nullptr;
    for (auto& child : node->children) {
      ++walkSteps_;
      if (left < child->subtree) {
        holder = child.get();
        break;
      }
      left -= child->subtree;
    }
    if (holder == nullptr || left == 0) return holder;
    node = holder;
    left -= 1;
  }
}

int XTreeModel::WalkIndexOf(const XTreeNode* node) {
  int index = -1;
  for (const XTreeNode* n = node; n != &root_; n = n->parent) {
    index += 1;
    for (int row = 0; row < n->row; ++row) index += n->parent->children[row]->subtree;
    walkSteps_ += n->row + 1;
  }
  return index;
}

void XTreeModel::GrowSubtrees(XTreeNode* node, int delta) {
  for (XTreeNode* up = node; up != nullptr; up = up->parent) up->subtree += delta;
}

XTreeNode* XTreeModel::NodeAt(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return OrderCurrent() ? order_[index] : WalkTo(index);
}

int XTreeModel::IndexOf(const XTreeNode* node) {
  if (node == nullptr || node == &root_) return -1;
  return OrderCurrent() ? node->index : WalkIndexOf(node);
}

int XTreeModel::Count() {
  return root_.subtree - 1;
}

QModelIndex XTreeModel::IndexFor(const XTreeNode* node) const {
  if (node == nullptr || node == &root_) return {};
  return createIndex(node->row, 0, const_cast<XTreeNode*>(node));
}

void XTreeModel::AppendChildren(XTreeNode* parent, std::vector<std::unique_ptr<XTreeNode>> nodes) {
  if (nodes.empty()) return;
  bool wasLeaf = parent->loaded && parent->children.empty();
  int first = static_cast<int>(parent->children.size());
  beginInsertRows(IndexFor(parent), first, first + static_cast<int>(nodes.size()) - 1);
  // Leaves added where display order ends (a tree built top down) keep the order table
  // current; anything else leaves it stale.
  bool atEnd = !orderDirty_ && (parent == &root_ ||
                                parent->index + parent->subtree == static_cast<int>(order_.size()));
  parent->children.reserve(parent->children.size() + nodes.size());
  int added = 0;
  for (auto& node : nodes) {
    node->parent = parent;
    node->row = static_cast<int>(parent->children.size());
    atEnd = atEnd && node->children.empty();
    node->subtree = SubtreeSize(node.get());
    added += node->subtree;
    parent->children.push_back(std::move(node));
  }
  GrowSubtrees(parent, added);
  if (atEnd) {
    for (int row = first; row < static_cast<int>(parent->children.size()); ++row) {
      XTreeNode* leaf = parent->children[row].get();
      leaf->index = static_cast<int>(order_.size());
      order_.push_back(leaf);
    }
  } else {
    OrderChanged();
  }
  endInsertRows();
  if (wasLeaf && parent != &root_) NodeChanged(parent);
}

void XTreeModel::ReleaseData(XTreeNode* node) {
  std::vector<XTreeNode*> stack{node};
  while (!stack.empty()) {
    XTreeNode* n = stack.back();
    stack.pop_back();
    if (autoFree_ && n->data != nullptr) std::free(n->data);
    n->data = nullptr;
    for (auto& child : n->children) stack.push_back(child.get());
  }
}

void XTreeModel::RemoveNode(XTreeNode* node) {
  XTreeNode* parent = node->parent;
  int row = node->row;
  beginRemoveRows(IndexFor(parent), row, row);
  ReleaseData(node);
  GrowSubtrees(parent, -node->subtree);
  parent->children.erase(parent->children.begin() + row);
  for (size_t i = row; i < parent->children.size(); ++i) parent->children[i]->row = int(i);
  OrderChanged();
  endRemoveRows();
}

void XTreeModel::RemoveChildren(XTreeNode* parent) {
  if (parent->children.empty()) return;
  beginRemoveRows(IndexFor(parent), 0, static_cast<int>(parent->children.size()) - 1);
  for (auto& child : parent->children) ReleaseData(child.get());
  GrowSubtrees(parent, 1 - parent->subtree);
  parent->children.clear();
  OrderChanged();
  endRemoveRows();
}

void XTreeModel::Clear() {
  beginResetModel();
  ReleaseData(&root_);
  root_.children.clear();
  root_.subtree = 1;
  order_.clear();
  orderDirty_ = false;
  walkSteps_ = 0;
  endResetModel();
}

void XTreeModel::NodeChanged(XTreeNode* node) {
  QModelIndex index = IndexFor(node);
  emit dataChanged(index, index);
}

void XTreeModel::LoadedStateChanged(XTreeNode* node) {
  // A view asks hasChildren again only after a layout change of the node's parent.
  emit layoutAboutToBeChanged({IndexFor(node->parent)}, QAbstractItemModel::NoLayoutChangeHint);
  emit layoutChanged({IndexFor(node->parent)}, QAbstractItemModel::NoLayoutChangeHint);
}

QModelIndex XTreeModel::index(int row, int column, const QModelIndex& parent) const {
  const XTreeNode* node = NodeOrRoot(parent);
  if (column != 0 || row < 0 || row >= static_cast<int>(node->children.size())) return {};
  return createIndex(row, 0, node->children[row].get());
}

QModelIndex XTreeModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  return IndexFor(FromIndex(child)->parent);
}

int XTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(NodeOrRoot(parent)->children.size());
}

int XTreeModel::columnCount(const QModelIndex&) const {
  return 1;
}

QVariant XTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const XTreeNode* node = FromIndex(index);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return QString::fromUtf8(node->text.data(), static_cast<qsizetype>(node->text.size()));
    case Qt::DecorationRole:
      if (node->image >= 0 && node->image < images_.size()) return images_[node->image];
      return {};
    case Qt::CheckStateRole:
      if (node->preImage < 0) return {};
      return node->preImage ? Qt::Checked : Qt::Unchecked;
    default:
      return {};
  }
}

bool XTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid()) return false;
  XTreeNode* node = FromIndex(index);
  if (role == Qt::EditRole) {
    node->text = value.toString().toStdString();
  } else if (role == Qt::CheckStateRole && node->preImage >= 0) {
    node->preImage = value.toInt() == Qt::Checked ? 1 : 0;
  } else {
    return false;
  }
  emit dataChanged(index, index, {role});
  return true;
}

Qt::ItemFlags XTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  const XTreeNode* node = FromIndex(index);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (editable_) flags |= Qt::ItemIsEditable;
  // No Qt::ItemIsUserCheckable: check marks change through XTree::OnLButtonDown only.
  // Without this flag a view asks every leaf for children, which is what made large trees
  // crawl.
  if (node->loaded && node->children.empty()) flags |= Qt::ItemNeverHasChildren;
  return flags;
}

bool XTreeModel::hasChildren(const QModelIndex& parent) const {
  if (parent.column() > 0) return false;
  const XTreeNode* node = NodeOrRoot(parent);
  return !node->loaded || !node->children.empty();
}

bool XTreeModel::canFetchMore(const QModelIndex& parent) const {
  return parent.isValid() && !FromIndex(parent)->loaded;
}

void XTreeModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  // Views ask while they react to other changes; loading later keeps changes from nesting.
  QPersistentModelIndex later(parent);
  QMetaObject::invokeMethod(
      this,
      [this, later] {
        if (later.isValid() && canFetchMore(later)) {
          tree_->LoadChildNodes(IndexOf(FromIndex(later)));
        }
      },
      Qt::QueuedConnection);
}

}  // namespace hrz::ui

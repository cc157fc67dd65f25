#include "xtree.h"

#include <QHeaderView>
#include <QMetaObject>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTreeView>
#include <map>
#include <vector>

#include "dialog_template.h"
#include "focus_delay.h"
#include "hrzcommon/text.h"
#include "xtree_model.h"

using hrz::ui::XTreeModel;
using hrz::ui::XTreeNode;

// The key path of every handle given out, top level first.
struct XTreeHandles {
  std::map<XNodeHandle, std::vector<std::int64_t>> paths;
};

namespace hrz::ui {

// The view of a tree: tells the tree of mouse presses first, and lays out a node's parts as
// its delegate draws them.
class XTreeView : public QTreeView {
 public:
  explicit XTreeView(XTree* tree) : tree_(tree) { setItemDelegate(&delegate_); }

  // Until the view next needs its rows it only records changes: expanding many nodes, or
  // inserting rows below nodes it does not show, then costs nothing per node.
  void DeferLayout() { scheduleDelayedItemsLayout(); }

  QRect PartRect(const QModelIndex& index, int part) const {
    if (!index.isValid()) return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    delegate_.initStyleOption(&option, index);
    switch (part) {
      case XTREE_PART_TEXT:
        return option.rect;
      case XTREE_PART_CHECK:
        if (!(option.features & QStyleOptionViewItem::HasCheckIndicator)) return {};
        return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
      case XTREE_PART_IMAGE:
        if (!(option.features & QStyleOptionViewItem::HasDecoration)) return {};
        return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
      default:
        return {};
    }
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) tree_->OnMousePress(event->position().toPoint());
    QTreeView::mousePressEvent(event);
  }

 private:
  struct Delegate : QStyledItemDelegate {
    using QStyledItemDelegate::initStyleOption;
  };
  XTree* tree_;
  Delegate delegate_;
};

}  // namespace hrz::ui

XTree::XTree()
    : model_(std::make_unique<XTreeModel>(this)),
      view_(new hrz::ui::XTreeView(this)),
      clicks_(std::make_unique<hrz::ui::FocusDelay<int>>(-1,
                                                         [this](int before, int now) {
                                                           if (now >= 0)
                                                             OnNodeClick(now, before, 0, 0);
                                                         })),
      handles_(std::make_unique<XTreeHandles>()) {
  Attach(view_);
  view_->setModel(model_.get());
  view_->setHeaderHidden(true);
  view_->setUniformRowHeights(true);
  view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  QObject* context = model_.get();
  QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, context,
                   [this] { clicks_->Moved(GetFocusNode()); });
  QObject::connect(view_, &QTreeView::doubleClicked, context, [this] { OnDoubleClicked(); });
}

XTree::~XTree() {
  Detach();
  delete view_.data();  // before the model it shows
}

BOOL XTree::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return PlaceView(view_, style, rect, parent, id);
}

bool XTree::AutomationSelect(int index) {
  if (NodeAt(index) == nullptr) return false;
  ClickNode(index);
  return true;
}

bool XTree::AutomationActivate(int index) {
  if (NodeAt(index) == nullptr) return false;
  DoubleClickNode(index);
  return true;
}

int XTree::AutomationSelection() const {
  return GetFocusNode();
}

bool XTree::AutomationClickPart(int index, int part) {
  if (NodeAt(index) == nullptr) return false;
  ClickNodePart(index, part);
  return true;
}

int XTree::AutomationFindItem(const std::string& text) const {
  for (int node = 0; node < model_->Count(); ++node) {
    if (NodeAt(node)->text == text) return node;
  }
  return -1;
}

int XTree::AutomationItemCheck(int index) const {
  return GetNodePreImage(index);
}

XTreeNode* XTree::NodeAt(int node) const {
  return model_->NodeAt(node);
}

int XTree::IndexOf(const XTreeNode* node) const {
  return model_->IndexOf(node);
}

int XTree::AddNode(int parent, const char* text, int image, std::int64_t key) {
  XTreeNode* parentNode = parent < 0 ? model_->Root() : NodeAt(parent);
  if (parentNode == nullptr) return -1;
  auto node = std::make_unique<XTreeNode>();
  node->text = text != nullptr ? text : "";
  node->image = image;
  node->key = key != 0 ? key : model_->NewKey();
  XTreeNode* added = node.get();
  std::vector<std::unique_ptr<XTreeNode>> nodes;
  nodes.push_back(std::move(node));
  parentNode->loaded = true;
  model_->AppendChildren(parentNode, std::move(nodes));
  return IndexOf(added);
}

int XTree::GetNodes(int node) const {
  if (node < 0) return model_->Count();
  XTreeNode* n = NodeAt(node);
  return n != nullptr ? n->subtree : 0;
}

int XTree::GetFirstChildNode(int node) const {
  XTreeNode* n = node < 0 ? model_->Root() : NodeAt(node);
  if (n == nullptr || n->children.empty()) return -1;
  return IndexOf(n->children.front().get());
}

int XTree::GetNextNode(int node) const {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr || n->row + 1 >= static_cast<int>(n->parent->children.size())) return -1;
  return IndexOf(n->parent->children[n->row + 1].get());
}

int XTree::GetParentIndex(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr ? IndexOf(n->parent) : -1;
}

int XTree::GetChildNodesCount(int node) const {
  XTreeNode* n = node < 0 ? model_->Root() : NodeAt(node);
  return n != nullptr ? static_cast<int>(n->children.size()) : 0;
}

int XTree::GetFocusNode() const {
  if (view_ == nullptr) return -1;
  QModelIndex current = view_->currentIndex();
  return current.isValid() ? IndexOf(XTreeModel::FromIndex(current)) : -1;
}

BOOL XTree::SetFocusNode(int node, BOOL notify, BOOL redraw) {
  XTreeNode* n = NodeAt(node);
  if ((n == nullptr && node >= 0) || view_ == nullptr) return FALSE;
  int prev = GetFocusNode();
  clicks_->Quietly([&] { view_->setCurrentIndex(model_->IndexFor(n)); }, [node] { return node; });
  if (redraw) view_->viewport()->update();
  if (notify && n != nullptr) OnNodeClick(node, prev, 0, 0);
  return TRUE;
}

BOOL XTree::Expand(int node, BOOL expand) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  if (!expand) {
    if (view_ != nullptr) view_->collapse(model_->IndexFor(n));
    return TRUE;
  }
  return ExpandChildNodes(node);
}

BOOL XTree::IsExpanded(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr && view_ != nullptr && view_->isExpanded(model_->IndexFor(n));
}

BOOL XTree::IsParentNode(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr && (!n->loaded || !n->children.empty());
}

int XTree::ExpandChildNodes(int node) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return 0;
  if (!n->loaded && !LoadChildNodes(node)) return 0;
  n = NodeAt(node);
  if (n == nullptr || n->children.empty()) return 0;
  if (view_ != nullptr) view_->expand(model_->IndexFor(n));
  FireEvent(XTREE_EVENT_EXPANDED, node);
  return 1;
}

int XTree::ExpandAll(int node) {
  if (QThread::currentThread() != model_->thread()) {
    int result = 0;
    QMetaObject::invokeMethod(
        model_.get(), [&] { result = ExpandAll(node); }, Qt::BlockingQueuedConnection);
    return result;
  }
  ClearStopRequest();
  XTreeNode* start = node < 0 ? model_->Root() : NodeAt(node);
  if (start == nullptr) return 0;
  std::vector<XTreeNode*> level;
  if (node < 0) {
    for (auto& child : start->children) level.push_back(child.get());
  } else {
    level.push_back(start);
  }
  if (view_ != nullptr) static_cast<hrz::ui::XTreeView*>(view_.data())->DeferLayout();
  if (!BeginExpandAll(node)) return 0;
  int done = ExpandLevels(std::move(level));
  EndExpandAll();
  if (done) ExpandInView(start);
  return done;
}

int XTree::ExpandLevels(std::vector<XTreeNode*> level) {
  int depth = 0;
  while (!level.empty()) {
    if (!LoadLevel(level)) return 0;
    std::vector<XTreeNode*> next;
    for (XTreeNode* n : level) {
      for (auto& child : n->children) next.push_back(child.get());
    }
    FireEvent(XTREE_EVENT_LEVEL, depth++);
    if (StopRequested()) return 0;
    level = std::move(next);
  }
  return 1;
}

BOOL XTree::LoadLevel(const std::vector<XTreeNode*>& level) {
  for (XTreeNode* n : level) {
    if (!n->loaded && !LoadChildNodes(IndexOf(n))) return FALSE;
  }
  return TRUE;
}

void XTree::ExpandInView(XTreeNode* start) {
  if (view_ == nullptr) return;
  // Node by node, and only nodes with children: the view keeps a persistent index for each
  // node it expands, and every later insertion into the model walks all of them.
  static_cast<hrz::ui::XTreeView*>(view_.data())->DeferLayout();
  std::vector<XTreeNode*> stack{start};
  while (!stack.empty()) {
    XTreeNode* n = stack.back();
    stack.pop_back();
    if (n->children.empty()) continue;
    if (n != model_->Root()) view_->expand(model_->IndexFor(n));
    for (auto& child : n->children) stack.push_back(child.get());
  }
}

void XTree::EnsureNodeVisible(int node) {
  XTreeNode* n = NodeAt(node);
  if (n != nullptr && view_ != nullptr) view_->scrollTo(model_->IndexFor(n));
}

BOOL XTree::DeleteNode(int node, BOOL childrenOnly, BOOL redraw) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  // The view moves its current item off removed rows; that is no click.
  clicks_->Quietly(
      [&] {
        if (childrenOnly) {
          model_->RemoveChildren(n);
          n->loaded = false;
          model_->LoadedStateChanged(n);
        } else {
          model_->RemoveNode(n);
        }
      },
      [this] { return GetFocusNode(); });
  if (redraw && view_ != nullptr) view_->viewport()->update();
  return TRUE;
}

void XTree::ClearNodes() {
  clicks_->Quietly([this] { model_->Clear(); }, [] { return -1; });
}

int XTree::GetNodeText(int node, char* buffer, int capacity) const {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return -1;
  hrz::CopyBounded(buffer, capacity, n->text);
  return static_cast<int>(n->text.size());
}

BOOL XTree::SetNodeText(int node, const char* text) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  n->text = text != nullptr ? text : "";
  model_->NodeChanged(n);
  return TRUE;
}

void XTree::SetImageList(const QList<QIcon>& images) {
  model_->SetImages(images);
  if (view_ != nullptr) view_->viewport()->update();
}

void XTree::SetImageList(const HICON* icons, int count) {
  QList<QIcon> images;
  for (int i = 0; icons != nullptr && i < count; ++i) {
    // An icon handle is the address of the resource module's QIcon.
    images.push_back(icons[i] != nullptr ? *reinterpret_cast<const QIcon*>(icons[i]) : QIcon());
  }
  SetImageList(images);
}

BOOL XTree::SetNodeImage(int node, int image) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  n->image = image;
  model_->NodeChanged(n);
  return TRUE;
}

int XTree::GetNodeImage(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr ? n->image : -1;
}

BOOL XTree::SetNodePreImage(int node, int preImage) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  n->preImage = preImage < 0 ? -1 : (preImage ? 1 : 0);
  model_->NodeChanged(n);
  return TRUE;
}

int XTree::GetNodePreImage(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr ? n->preImage : -1;
}

BOOL XTree::SetNodeData(int node, void* data) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  n->data = data;
  return TRUE;
}

void* XTree::GetNodeData(int node) const {
  XTreeNode* n = NodeAt(node);
  return n != nullptr ? n->data : nullptr;
}

void XTree::SetAutoFreeNodeData(BOOL autoFree) {
  model_->SetAutoFree(autoFree != FALSE);
}

void XTree::SetCanEdit(BOOL canEdit) {
  model_->SetEditable(canEdit != FALSE);
}

void XTree::SetIndent(int pixels) {
  if (view_ != nullptr) view_->setIndentation(pixels);
}

QRect XTree::PartRect(int node, int part) const {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr || view_ == nullptr) return {};
  return static_cast<const hrz::ui::XTreeView*>(view_.data())->PartRect(model_->IndexFor(n), part);
}

int XTree::HitTest(const QPoint& point, int* part) const {
  *part = XTREE_PART_NONE;
  if (view_ == nullptr) return -1;
  const QModelIndex index = view_->indexAt(point);
  if (!index.isValid()) return -1;
  const int node = IndexOf(XTreeModel::FromIndex(index));
  for (int candidate : {XTREE_PART_CHECK, XTREE_PART_IMAGE, XTREE_PART_TEXT}) {
    if (PartRect(node, candidate).contains(point)) {
      *part = candidate;
      return node;
    }
  }
  return -1;
}

void XTree::SetNodeClickInterval(int milliseconds) {
  clicks_->SetInterval(milliseconds);
}

void XTree::SetTreeEventFunc(TreeEventFunc func, void* userData) {
  eventFunc_ = func;
  eventUserData_ = userData;
}

void XTree::FireEvent(int event, int node) {
  if (eventFunc_ != nullptr) eventFunc_(this, event, node, eventUserData_);
}

XNodeHandle XTree::GetNodeHandle(int node) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return 0;
  std::vector<std::int64_t> path;
  for (; n != model_->Root(); n = n->parent) path.insert(path.begin(), n->key);
  XNodeHandle handle = nextHandle_++;
  handles_->paths.emplace(handle, std::move(path));
  return handle;
}

int XTree::GetNodeIndex(XNodeHandle handle) const {
  return const_cast<XTree*>(this)->FollowHandle(handle, false);
}

int XTree::ExpandToNode(XNodeHandle handle) {
  return FollowHandle(handle, true);
}

int XTree::FollowHandle(XNodeHandle handle, bool load) {
  auto found = handles_->paths.find(handle);
  if (found == handles_->paths.end()) return -1;
  XTreeNode* n = model_->Root();
  for (std::int64_t key : found->second) {
    if (load && n != model_->Root() && !ExpandChildNodes(IndexOf(n))) return -1;
    XTreeNode* match = nullptr;
    for (auto& child : n->children) {
      if (child->key == key) {
        match = child.get();
        break;
      }
    }
    if (match == nullptr) return -1;
    n = match;
  }
  return IndexOf(n);
}

void XTree::ClickNode(int node) {
  int prev = GetFocusNode();
  if (NodeAt(node) == nullptr) return;
  SetFocusNode(node, FALSE, TRUE);
  OnNodeClick(node, prev, 0, 0);
}

void XTree::DoubleClickNode(int node) {
  if (NodeAt(node) == nullptr) return;
  SetFocusNode(node, FALSE, TRUE);
  OnNodeDblClick(node);
}

void XTree::ClickNodePart(int node, int part) {
  if (NodeAt(node) == nullptr) return;
  OnLButtonDown(node, part);
  if (NodeAt(node) != nullptr) ClickNode(node);
}

void XTree::OnMousePress(const QPoint& point) {
  int part = XTREE_PART_NONE;
  const int node = HitTest(point, &part);
  if (node >= 0) OnLButtonDown(node, part);
}

void XTree::OnLButtonDown(int node, int part) {
  const int mark = GetNodePreImage(node);
  if (part == XTREE_PART_CHECK && mark >= 0) SetNodePreImage(node, mark ? 0 : 1);
}

void XTree::OnDoubleClicked() {
  int node = GetFocusNode();
  if (node >= 0) OnNodeDblClick(node);
}

int XTree::OnNodeClick(int node, int, int, int) {
  FireEvent(XTREE_EVENT_CLICK, node);
  return 1;
}

int XTree::OnNodeDblClick(int node) {
  FireEvent(XTREE_EVENT_DBLCLICK, node);
  return 1;
}

BOOL XTree::LoadChildNodes(int node) {
  XTreeNode* n = NodeAt(node);
  if (n == nullptr) return FALSE;
  n->loaded = true;
  return TRUE;
}

// XTree: a tree of text nodes on a Qt item view. Nodes are addressed by integer indices in
// display order (a node, then its whole subtree, then its next sibling); -1 means none, or
// the top level when given as a parent. Indices change when nodes are added or removed;
// node handles (GetNodeHandle) find a node again even after the tree was reloaded.
//
// Threads: the tree belongs to the thread of its widget. ExpandAll may be called from
// another thread; it then runs on the widget's thread while the caller waits (that thread
// must be processing events). StopExpandAll may be called from any thread at any time.
#pragma once

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QTreeView>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "cwnd.h"

namespace hrz::ui {
class XTreeModel;
class XTreeView;
struct XTreeNode;
template <typename Focus>
class FocusDelay;
}  // namespace hrz::ui

// Events passed to the callback of SetTreeEventFunc.
constexpr int XTREE_EVENT_CLICK = 0;     // the focused node changed by a click
constexpr int XTREE_EVENT_DBLCLICK = 1;  // a node was double-clicked
constexpr int XTREE_EVENT_EXPANDED = 2;  // a node's children were loaded and shown
constexpr int XTREE_EVENT_LEVEL = 3;     // ExpandAll finished one level (node = depth)

// Parts of a node, in front of its text: the check mark (pre-image), then the image.
constexpr int XTREE_PART_NONE = 0;  // outside every node
constexpr int XTREE_PART_TEXT = 1;  // the node's row, but neither its check mark nor image
constexpr int XTREE_PART_CHECK = 2;
constexpr int XTREE_PART_IMAGE = 3;

using XNodeHandle = std::int64_t;  // 0 is no handle

class XTree : public CWnd {
 public:
  using TreeEventFunc = void (*)(XTree* tree, int event, int node, void* userData);

  XTree();
  ~XTree() override;

  // Places the tree in a parent window (a container, usually) at rect with id; the style
  // WS_VISIBLE shows it.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  // Adds a node as the last child of parent (-1: top level); returns its index, -1 on a
  // bad parent. key identifies the node among its siblings across reloads (0: a new one).
  int AddNode(int parent, const char* text, int image = -1, std::int64_t key = 0);

  // Number of nodes: all of them for -1, else the node and everything below it.
  int GetNodes(int node = -1) const;
  int GetFirstChildNode(int node) const;  // -1: the first top-level node
  int GetNextNode(int node) const;        // next sibling or -1
  int GetParentIndex(int node) const;     // -1 for a top-level node or a bad index
  int GetChildNodesCount(int node) const;
  int GetFocusNode() const;
  // Focuses a node (-1 clears the focus). notify: run OnNodeClick as a click would.
  BOOL SetFocusNode(int node, BOOL notify = FALSE, BOOL redraw = TRUE);
  // Expands (or collapses) a node, loading its children first when they are not loaded.
  BOOL Expand(int node, BOOL expand = TRUE);
  BOOL IsExpanded(int node) const;
  // A node with children, or whose children are not read yet and may exist; answered without
  // reading them.
  BOOL IsParentNode(int node) const;
  void EnsureNodeVisible(int node);
  // Deletes a node with its subtree, or only its children; a node whose children were
  // deleted is loaded again on its next expansion.
  BOOL DeleteNode(int node, BOOL childrenOnly = FALSE, BOOL redraw = TRUE);
  void ClearNodes();

  // Node text into buffer (cut to capacity - 1); the length, -1 on a bad node.
  int GetNodeText(int node, char* buffer, int capacity) const;
  BOOL SetNodeText(int node, const char* text);
  // Images index the list given to SetImageList; -1 none.
  void SetImageList(const QList<QIcon>& images);
  // The same from icon handles (AfxLoadIcon); a null handle is an empty image.
  void SetImageList(const HICON* icons, int count);
  BOOL SetNodeImage(int node, int image);
  int GetNodeImage(int node) const;
  // The check mark in front of a node: -1 none, 0 unchecked, 1 checked.
  BOOL SetNodePreImage(int node, int preImage);
  int GetNodePreImage(int node) const;

  // Node data: a pointer kept with the node; with auto free on (the default) the tree
  // releases it with free() when the node goes.
  BOOL SetNodeData(int node, void* data);
  void* GetNodeData(int node) const;
  void SetAutoFreeNodeData(BOOL autoFree);

  void SetCanEdit(BOOL canEdit);
  // Pixels each level is indented by.
  void SetIndent(int pixels);
  // The node and the part of it under point (view viewport pixels); -1 and XTREE_PART_NONE
  // when no node is there.
  int HitTest(const QPoint& point, int* part) const;
  // Where a part of a node is drawn (viewport pixels); empty when the node is not shown or
  // has no such part.
  QRect PartRect(int node, int part) const;
  // Clicks take effect after this many milliseconds; a later click within it replaces an
  // earlier one. 0 reacts at once.
  void SetNodeClickInterval(int milliseconds);
  void SetTreeEventFunc(TreeEventFunc func, void* userData);

  // A handle that finds this node again after reloads, as long as the path of node keys
  // from the top level down to it exists.
  XNodeHandle GetNodeHandle(int node);
  int GetNodeIndex(XNodeHandle handle) const;
  // As GetNodeIndex, loading and expanding the nodes on the way; -1 when the path broke.
  int ExpandToNode(XNodeHandle handle);

  // Acts as a user's click on a node, without waiting for the click interval; what the
  // automation hook calls to pick a node.
  void ClickNode(int node);
  void DoubleClickNode(int node);
  // Acts as a mouse press on a part of a node: OnLButtonDown, then the click.
  void ClickNodePart(int node, int part);

  // The view; null once its parent window destroyed it.
  QTreeView* View() const { return view_; }

  // Automation: a node index is the item; select clicks it, activate double-clicks it.
  bool AutomationSelect(int index) override;
  bool AutomationActivate(int index) override;
  int AutomationSelection() const override;
  bool AutomationClickPart(int index, int part) override;
  int AutomationFindItem(const std::string& text) const override;
  int AutomationItemCheck(int index) const override;

  // Loads the children of a node when needed and expands it; 1 when it has children.
  virtual int ExpandChildNodes(int node);
  // Loads and expands everything below node (-1: the whole tree), a level at a time.
  // Returns 1 when done, 0 when stopped or failed.
  int ExpandAll(int node);
  void StopExpandAll() { stopExpand_.store(true); }

 protected:
  // The focus moved to node from prevNode by a click. The base tells the event callback.
  virtual int OnNodeClick(int node, int prevNode, int x, int y);
  virtual int OnNodeDblClick(int node);
  // The left mouse button went down on part of node, before the focus moves there. The base
  // toggles a check mark that was hit.
  virtual void OnLButtonDown(int node, int part);
  // Fills the children of a node that are not loaded yet; the base has nothing to load.
  virtual BOOL LoadChildNodes(int node);
  // Fills the children of every node of one level of ExpandAll that are not loaded yet;
  // the base loads them one by one.
  virtual BOOL LoadLevel(const std::vector<hrz::ui::XTreeNode*>& level);
  // Around the levels of one ExpandAll from node; FALSE from the first stops it.
  virtual BOOL BeginExpandAll(int) { return TRUE; }
  virtual void EndExpandAll() {}

  bool StopRequested() const { return stopExpand_.load(); }
  void ClearStopRequest() { stopExpand_.store(false); }
  void FireEvent(int event, int node);
  // Shows start and everything loaded below it expanded (the model's root: the whole tree).
  // Takes the node itself: after loading, looking it up by index would renumber every node.
  void ExpandInView(hrz::ui::XTreeNode* start);

  hrz::ui::XTreeNode* NodeAt(int node) const;
  int IndexOf(const hrz::ui::XTreeNode* node) const;
  hrz::ui::XTreeModel* Model() const { return model_.get(); }

 private:
  void OnDoubleClicked();
  void OnMousePress(const QPoint& point);
  friend class hrz::ui::XTreeView;
  int FollowHandle(XNodeHandle handle, bool load);
  int ExpandLevels(std::vector<hrz::ui::XTreeNode*> level);
  friend class hrz::ui::XTreeModel;

  std::unique_ptr<hrz::ui::XTreeModel> model_;
  QPointer<QTreeView> view_;  // owned, unless its parent window deletes it first
  std::unique_ptr<hrz::ui::FocusDelay<int>> clicks_;
  TreeEventFunc eventFunc_ = nullptr;
  void* eventUserData_ = nullptr;
  std::atomic<bool> stopExpand_{false};
  XNodeHandle nextHandle_ = 1;
  std::unique_ptr<struct XTreeHandles> handles_;
};

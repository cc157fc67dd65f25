// CUserTree: the organisation tree of the user manager. A click saves the record pane's
// pending edits and shows the clicked node's record; the tree reloads itself, wholly or a
// part, after the window's changes.
#pragma once

#include "xbomtree.h"

namespace hrz {

class CUserRecCtrl;

// Record kinds: users ("UUSRI", "KQUSR") and the departments and roles they hang under.
bool IsUserKind(const char* kind);
bool IsDeptKind(const char* kind);
// The record layout that shows a record of this kind ("UUSR" for every user kind).
const char* LayoutOfKind(const char* kind);

class CUserTree : public XBOMTree {
 public:
  CUserTree();

  // The record pane that shows the clicked node's record, the window's layout name buffer
  // (128 bytes, the layout the pane shows) and the window; each may be null.
  void SetLinks(CUserRecCtrl* pane, char* layoutName, CWnd* window);

  // The whole organisation under one root, the root expanded. FALSE when nothing loaded.
  BOOL Load();
  // Expands the node and then each child of a user kind. Returns the base result.
  int ExpandChildNodes(int node) override;
  // Shows the node's record in the pane; 1 when shown.
  int ShowNodeRecord(int node);
  // node -1: the focused node.
  bool IsUserNode(int node) const;
  // The node itself or the nearest node above it that is a department or role; -1 none.
  int DeptAtOrAbove(int node) const;
  // Reloads the children of node and expands it; when that fails, the whole tree.
  void ReloadChildren(int node);
  // Reloads the node's siblings (the whole tree for a top node) and focuses the node again
  // by its NID; notify runs the click.
  void ReloadSiblings(int node, BOOL notify);
  // Reloads the whole tree and expands the path down to node (-1: the focused node) as far
  // as it still exists, focusing the node when it is found.
  void RefreshKeepPath(int node);
  // Keeps the focused node so that it can be found again after reloads.
  void RememberFocus();
  int RememberedNode() const;

 protected:
  int OnNodeClick(int node, int prevNode, int x, int y) override;

 private:
  CUserRecCtrl* pane_ = nullptr;
  char* layoutName_ = nullptr;
  CWnd* window_ = nullptr;
  XNodeHandle remembered_ = 0;
};

}  // namespace hrz

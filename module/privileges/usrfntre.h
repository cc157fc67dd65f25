// XFuncPvgTree: the organisation tree of the privilege editor. A click on another node first
// saves the privileges the grid shows, then shows the clicked node's; when the save fails
// the user chooses between staying (the focus goes back) and dropping the marks.
#pragma once

#include "xbomtree.h"

namespace hrz {

class XFuncPvgGrid;

class XFuncPvgTree : public XBOMTree {
 public:
  XFuncPvgTree();

  // The grid that shows the focused node; null detaches it (clicks then load nothing).
  void SetGrid(XFuncPvgGrid* grid) { grid_ = grid; }
  // The whole organisation under one root, the root expanded one level. FALSE when empty.
  BOOL Load();
  // NIDs from the root down to node, into path (kOrgPathSlots, the rest zero); user kinds
  // are left out when skipUsers is set.
  void OrgPathOf(int node, bool skipUsers, int* path) const;
  // Focuses the node at the end of path (slot 0 the root, from slot 1 down, zero ending it),
  // expanding the way, as a click would; false when the path broke.
  bool FocusPath(const int* path);

 protected:
  int OnNodeClick(int node, int prevNode, int x, int y) override;

 private:
  XFuncPvgGrid* grid_ = nullptr;
};

}  // namespace hrz

// Picks one department or role in the organisation tree, optionally starting on a preset
// path; gives back its NID, a label and its path from the root.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "support/org_path.h"
#include "xbomtree.h"
#include "xctrl_host.h"

namespace hrz {

class CSelDeptDlg : public CCoolDialog {
 public:
  CSelDeptDlg();

  // Set before DoModal.
  std::string message;  // shown above the tree, at most 127 characters
  bool confirmOnDoubleClick = true;
  int presetPath[kOrgPathSlots] = {};

  // Valid after DoModal gave IDOK.
  int chosenNid = -1;
  std::string chosenLabel;  // "code / name", or the code alone
  int chosenPath[kOrgPathSlots] = {};

 protected:
  BOOL OnInitDialog() override;
  void OnPaint(CDC& dc) override;

 private:
  static void OnTreeEvent(XTree* tree, int event, int node, void* self);
  void SelectPresetPath();
  void OnOk();

  XCtrlContainer treeBox_;
  XBOMTree tree_;
};

}  // namespace hrz

// Where one record of the organisation is used: a read-only tree rooted at the record that
// climbs through the departments and roles holding it.
#pragma once

#include "cool_dialog.h"
#include "xbomtree.h"
#include "xctrl_host.h"

namespace hrz {

class CWhereUseDlg : public CCoolDialog {
 public:
  explicit CWhereUseDlg(int nid);

 protected:
  BOOL OnInitDialog() override;
  void OnPaint(CDC& dc) override;

 private:
  int nid_;
  XCtrlContainer treeBox_;
  XBOMTree tree_;
};

}  // namespace hrz

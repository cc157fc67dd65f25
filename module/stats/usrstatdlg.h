// CUserStatDlg: the online user statistics of "XUSERS_STAT". A maximised window with the
// organisation tree on the left and the users below the chosen node on the right, listed by
// a worker thread (stat_worker.h); a node change, Refresh or Close stops the running worker
// first. A search lists users by code or name instead.
#pragma once

#include <cstdint>

#include "cool_dialog.h"
#include "stats/stat_worker.h"
#include "stats/usrstatgrd.h"
#include "tips.h"
#include "vert_split_wnd.h"
#include "xbomtree.h"
#include "xctrl_host.h"

namespace hrz {

class CUserStatDlg : public CCoolDialog {
 public:
  CUserStatDlg();

  BOOL PreTranslateMessage(MSG* msg) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnPaint(CDC& dc) override;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;      // Refresh
  void OnCancel() override;  // Close
  void OnDestroy() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static void OnTreeEvent(XTree* tree, int event, int node, void* dialog);
  void CreatePanes();
  void OnSearch();
  // Empties the grid and lists the users below the focused node on a new worker.
  void StartListing();
  void ShowRows(WPARAM listing);

  XCtrlContainer treeBox_;
  XBOMTree tree_;
  XCtrlContainer gridBox_;
  CUserStatGrid grid_;
  CVertSplitWnd splitter_;
  CCoolToolTip toolTip_;
  std::int32_t clientVersion_ = 0;
  StatListing listing_;  // last: its worker stops before the panes go
};

}  // namespace hrz

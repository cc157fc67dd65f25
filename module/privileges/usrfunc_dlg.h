// CUserFuncPvgDlg: the privilege editor of "XUSRFUNC", "KQFLOWUSER", "KQWFUSER" and
// "XPRFLWCHK". The organisation tree, or the quick-search grid after a search, on the left;
// the catalogue with the rights of the selected user, department or role on the right; the
// description of the focused privilege, and who gives its inherited marks, below it.
//
// One node is shown at a time; its unsaved marks live in the grid. Choosing another node
// saves them first; closing asks.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "privileges/pvg_search_grid.h"
#include "privileges/usrfngrd.h"
#include "privileges/usrfntre.h"
#include "privileges/usrfunc_modes.h"
#include "tips.h"
#include "vert_split_wnd.h"
#include "xctrl_host.h"

namespace hrz {

class CUserFuncPvgDlg : public CCoolDialog {
 public:
  // command: the command name (at most 31 characters kept), which gives the mode.
  explicit CUserFuncPvgDlg(const char* command);

  BOOL PreTranslateMessage(MSG* msg) override;
  void OnPaint(CDC& dc) override;

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override;

 private:
  void SetTexts();
  void CreatePanes();
  // The mode's rows and columns, again after each reading of the catalogue.
  void ApplyMode();
  void OnSave();
  // Saves the shown node under one lock; false when it failed (and said why).
  bool SaveShownNode();
  void OnSearch();
  void OnSwitch();
  void OnRefresh();
  void OnNewDept();
  void OnNewUser();
  void OnModifyUser();
  void OnAddPrivilege();
  void OnRegisterMenuCommand();
  // New department or user: a department to put it in, then the user manager creating it.
  void NewRecord(const char* kind);
  // The hint New User shows in the user manager of "KQFLOWUSER"; "" for its own.
  std::string FlowUserHint() const;
  bool TreeShown() const;
  void ShowView(bool tree);
  void UpdateMessageArea();

  std::string command_;
  PvgEditorMode mode_;
  XCtrlContainer leftPane_;
  XFuncPvgTree tree_;
  CPvgSearchGrid searchGrid_;
  XCtrlContainer rightPane_;
  XFuncPvgGrid grid_;
  CVertSplitWnd splitter_;
  CCoolToolTip toolTip_;
};

}  // namespace hrz

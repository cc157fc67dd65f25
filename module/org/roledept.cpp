#include "org/roledept.h"

#include <algorithm>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_prompts.h"
#include "passwords/org_default_rule.h"
#include "pickers/whereuse_dlg.h"
#include "resources/dialogs/roledept_ids.h"
#include "support/pane_frame.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr UINT_PTR kNewRecordTimer = 389792582;
constexpr UINT kNewRecordDelayMs = 300;
constexpr UINT kSaveDoneTipMs = 15000;
constexpr int kSaveDoneTipAbove = 48;
constexpr UINT kNewRecordHintMs = 30000;
constexpr int kNewRecordHintLeft = 200;
constexpr int kNewRecordHintBelow = 12;
// Posted after a Tab key has moved the focus: the record pane's first field takes it from
// the pane's container.
constexpr UINT kCheckRecordFocus = WM_USER + 1;

// The buttons that work on the tree only.
constexpr int kTreeButtons[] = {IDC_ROLEDEPT_ADD_USER, IDC_ROLEDEPT_NEW_DEPT, IDC_ROLEDEPT_REMOVE,
                                IDC_ROLEDEPT_NEW_USER, IDC_ROLEDEPT_MOVE_TO};

// "UUSR New", "UDEPT New" or "UROLE New", word by word without regard to case.
bool IsNewRecordLayout(const char* layout) {
  std::vector<std::string_view> words;
  for (std::string_view word : SplitText(TrimBlanks(layout), " \t")) {
    if (!word.empty()) words.push_back(word);
  }
  return words.size() == 2 && EqualsNoCase(words[1], "New") &&
         (EqualsNoCase(words[0], "UUSR") || EqualsNoCase(words[0], "UDEPT") ||
          EqualsNoCase(words[0], "UROLE"));
}

// True when window is inside (or is) container.
bool IsInside(CWnd* window, const CWnd& container) {
  for (CWnd* w = window; w != nullptr; w = w->GetParent()) {
    if (w->GetSafeHwnd() == container.GetSafeHwnd()) return true;
  }
  return false;
}

}  // namespace

CRoleDeptDlg::CRoleDeptDlg() : CCoolDialog(IDD_ROLEDEPT) {
  MapCommand(IDC_ROLEDEPT_SEARCH, &CRoleDeptDlg::OnSearch);
  MapCommand(IDC_ROLEDEPT_SWITCH, &CRoleDeptDlg::OnSwitch);
  MapCommand(IDC_ROLEDEPT_REFRESH, &CRoleDeptDlg::OnRefresh);
  MapCommand(IDC_ROLEDEPT_NEW_DEPT, &CRoleDeptDlg::OnNewDept);
  MapCommand(IDC_ROLEDEPT_NEW_USER, &CRoleDeptDlg::OnNewUser);
  MapCommand(IDOK, &CRoleDeptDlg::OnSave);
  MapCommand(IDC_ROLEDEPT_WHERE_USED, &CRoleDeptDlg::OnWhereUsed);
  MapCommand(IDC_ROLEDEPT_DELETE, &CRoleDeptDlg::OnDelete);
  MapCommand(IDC_ROLEDEPT_REMOVE, &CRoleDeptDlg::OnRemove);
  MapCommand(IDC_ROLEDEPT_MOVE_TO, &CRoleDeptDlg::OnMoveTo);
  MapCommand(IDC_ROLEDEPT_ADD_USER, &CRoleDeptDlg::OnAddUser);
}

void CRoleDeptDlg::SetPendingKind(const char* kind) {
  pendingKind_ = kind != nullptr ? kind : "";
}

void CRoleDeptDlg::SetPresetPath(const int* path, int count) {
  std::fill(std::begin(presetPath_), std::end(presetPath_), 0);
  std::copy_n(path, std::clamp(count, 0, kOrgPathSlots), presetPath_);
}

void CRoleDeptDlg::SetNewUserHint(const char* text) {
  newUserHint_ = text != nullptr ? text : "";
}

BOOL CRoleDeptDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDC_ROLEDEPT_SEARCH, T("btn_search"));
  SetDlgItemText(IDC_ROLEDEPT_SWITCH, T("btn_switch"));
  SetDlgItemText(IDC_ROLEDEPT_NEW_DEPT, T("btn_newdept"));
  SetDlgItemText(IDC_ROLEDEPT_NEW_USER, T("btn_newuser"));
  SetDlgItemText(IDC_ROLEDEPT_ADD_USER, T("btn_adduser"));
  SetDlgItemText(IDC_ROLEDEPT_MOVE_TO, T("btn_moveto"));
  SetDlgItemText(IDC_ROLEDEPT_REMOVE, T("btn_remove"));
  SetDlgItemText(IDC_ROLEDEPT_DELETE, T("btn_del"));
  SetDlgItemText(IDC_ROLEDEPT_WHERE_USED, T("btn_where_used"));
  SetDlgItemText(IDC_ROLEDEPT_REFRESH, T("btn_refresh"));
  SetDlgItemText(IDOK, T("btn_save"));
  SetDlgItemText(IDCANCEL, T("btn_close"));
  CreatePanes();
  if (tree_.GetNodes(-1) > 0) {
    tree_.SetFocusNode(0, FALSE, TRUE);
    tree_.ShowNodeRecord(0);
  }
  // The first record lays the form out for its own kind; building the default form before
  // it would only be thrown away.
  if (*pane_.GetCurrentObj() == '\0') pane_.InitCtrls(layoutName_);
  balloon_.Create(this, 0);
  toolTip_.Create(this);
  OpenPresetPath();
  if (!pendingKind_.empty()) SetTimer(kNewRecordTimer, kNewRecordDelayMs);
  return TRUE;
}

void CRoleDeptDlg::CreatePanes() {
  tagXCliDB* db = Module().db;
  leftPane_.CreateOver(WS_VISIBLE, this, IDC_ROLEDEPT_VIEW_FRAME, IDC_ROLEDEPT_VIEW);
  RECT inside{};
  leftPane_.GetClientRect(&inside);
  tree_.SetDB(db);
  tree_.Create(WS_VISIBLE, inside, &leftPane_, IDC_ROLEDEPT_TREE);
  tree_.Load();
  leftPane_.SetXCtrl(&tree_);
  grid_.CreateIn(inside, &leftPane_, IDC_ROLEDEPT_GRID, db);

  recordBox_.CreateOver(WS_VISIBLE | WS_TABSTOP, this, IDC_ROLEDEPT_RECORD_FRAME,
                        IDC_ROLEDEPT_RECORD);
  RECT box{};
  recordBox_.GetClientRect(&box);
  pane_.Create(WS_VISIBLE, box, &recordBox_, IDC_ROLEDEPT_RECORD_FORM);
  pane_.SetDB(db);
  pane_.SetParentLib(Module().lib);
  recordBox_.SetXCtrl(&pane_);

  tree_.SetLinks(&pane_, layoutName_, this);
  pane_.SetLinks(&tree_, this);
  grid_.SetRecordPane(&pane_);
}

void CRoleDeptDlg::OpenPresetPath() {
  bool whole = false;
  const int node = tree_.ExpandAlongPath(presetPath_, kOrgPathSlots, &whole);
  if (presetPath_[1] < 1 || !whole) return;
  tree_.SetFocusNode(node, FALSE, TRUE);
  tree_.EnsureNodeVisible(node);
  tree_.ShowNodeRecord(node);
}

void CRoleDeptDlg::OnTimer(UINT_PTR id) {
  if (id != kNewRecordTimer) return;
  KillTimer(kNewRecordTimer);
  if (pendingKind_ == "UDEPT") OnNewDept();
  if (pendingKind_ == "UUSRI") OnNewUser();
}

bool CRoleDeptDlg::GridShown() const {
  return leftPane_.GetXCtrl() == &grid_;
}

void CRoleDeptDlg::ShowView(bool grid) {
  leftPane_.SetXCtrl(grid ? static_cast<CWnd*>(&grid_) : &tree_);
  for (int id : kTreeButtons) {
    if (CWnd* button = GetDlgItem(id)) {
      button->EnableWindow(!grid);
      button->Invalidate();
    }
  }
  if (CWnd* button = GetDlgItem(IDC_ROLEDEPT_SWITCH)) button->Invalidate();
  if (grid) {
    grid_.ShowRowRecord(grid_.GetFocusCell().row);
  } else {
    tree_.ShowNodeRecord(tree_.GetFocusNode());
  }
}

void CRoleDeptDlg::OnSearch() {
  if (!grid_.SearchTyped(GetDlgItemText(IDC_ROLEDEPT_SEARCH_TEXT), &toolTip_)) return;
  ShowView(true);
  pane_.ClearRec(TRUE);
}

void CRoleDeptDlg::OnSwitch() {
  ShowView(!GridShown());
}

void CRoleDeptDlg::OnWhereUsed() {
  const int nid = pane_.GetShowRecNID("UUSR");
  if (nid < 1) return;  // a record not yet saved is used nowhere
  ModuleResourceScope resources;
  CWhereUseDlg dialog(nid);
  dialog.DoModal();
}

void CRoleDeptDlg::OnRefresh() {
  if (!GridShown()) tree_.RefreshKeepPath(tree_.GetFocusNode());
}

void CRoleDeptDlg::OnSave() {
  const bool wasNew = pane_.GetMode() == kPaneModeNew;
  const int saved = pane_.SaveUserRec();
  if (saved < 0) {
    ShowOrgMessage(this, T("save error"));
    return;
  }
  if (saved > 0) {
    if (CWnd* save = GetDlgItem(IDOK)) {
      RECT at{};
      save->GetWindowRect(&at);
      toolTip_.ShowMe(T("save done"), POINT{at.left, at.top - kSaveDoneTipAbove}, kSaveDoneTipMs);
    }
  }
  if (!pane_.InitCtrls(layoutName_, TRUE)) return;
  if (GridShown()) {
    grid_.ShowRowRecord(grid_.GetFocusCell().row);
  } else if (!wasNew) {
    tree_.ReloadSiblings(tree_.GetFocusNode(), TRUE);
  } else {
    tree_.ShowNodeRecord(tree_.GetFocusNode());
  }
  if (pendingKind_ == "UDEPT" || pendingKind_ == "UUSRI") {
    std::fill(std::begin(resultPath_), std::end(resultPath_), 0);
    tree_.PathToNode(tree_.GetFocusNode(), resultPath_, kOrgPathSlots);
    EndDialog(IDOK);
  }
}

bool CRoleDeptDlg::SavePendingNewRecord() {
  if (!IsNewRecordLayout(pane_.GetCurrentObj())) return true;
  return pane_.SaveUserRec() >= 0 || !StayAfterFailedSave(this);
}

void CRoleDeptDlg::NewRecord(const char* kind) {
  if (!SavePendingNewRecord()) return;
  tree_.RememberFocus();
  if (!pane_.NewRecord(kind)) return;
  const bool user = EqualsNoCase(kind, "UUSR");
  if (user) GiveNewUserDefaultPwdRule(Module().db, &pane_);
  ShowNewRecordHint(user);
}

void CRoleDeptDlg::OnNewDept() {
  NewRecord("UDEPT");
}

void CRoleDeptDlg::OnNewUser() {
  NewRecord("UUSR");
}

void CRoleDeptDlg::ShowNewRecordHint(bool user) {
  balloon_.HideMe();
  RECT box{};
  recordBox_.GetWindowRect(&box);
  const std::string text =
      user && !newUserHint_.empty() ? newUserHint_ : std::string(T("new usr here"));
  balloon_.ShowMe(text.c_str(),
                  POINT{box.right - kNewRecordHintLeft, box.top + kNewRecordHintBelow},
                  kNewRecordHintMs);
}

BOOL CRoleDeptDlg::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  CWnd* target = CWnd::FromHandle(msg->hwnd);
  CWnd* search = GetDlgItem(IDC_ROLEDEPT_SEARCH_TEXT);
  if (msg->wParam == VK_RETURN && target != nullptr && search != nullptr &&
      target->GetSafeHwnd() == search->GetSafeHwnd()) {
    OnSearch();
    return TRUE;
  }
  if (msg->wParam != VK_TAB) return FALSE;
  if (target != nullptr && target != &pane_ && IsInside(target, pane_)) {
    return pane_.PreTranslateMessage(msg);
  }
  PostMessage(kCheckRecordFocus);
  return FALSE;
}

LRESULT CRoleDeptDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCheckRecordFocus) {
    CWnd* focus = CWnd::GetFocus();
    if (focus != nullptr && focus->GetSafeHwnd() == recordBox_.GetSafeHwnd()) {
      pane_.SetFirstCtrlAsFocus();
    }
    return 0;
  }
  return CCoolDialog::WindowProc(message, wParam, lParam);
}

void CRoleDeptDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, leftPane_);
}

void CRoleDeptDlg::OnDestroy() {
  if (changed_ != 0) {
    ReloadServerRequest(Module().db, protocol::kReloadFromUserManager);
    changed_ = 0;
  }
  CCoolDialog::OnDestroy();
}

}  // namespace hrz

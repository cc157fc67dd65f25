#include "privileges/usrfunc_dlg.h"

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/request_channel.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_rights.h"
#include "privileges/pvg_prompts.h"
#include "resources.h"
#include "resources/dialogs/usrfunc_ids.h"
#include "resources/hrzuser_ids.h"
#include "support/pane_frame.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");
UnitTexts OrgTexts("dlg_userman");
SectionTexts OtherTexts;

constexpr std::size_t kCommandMaxChars = 31;
constexpr std::size_t kSearchTextMaxChars = 511;
constexpr int kPaneMinWidth = 150;
constexpr UINT kSaveDoneTipMs = 10000;
constexpr int kSaveDoneTipAbove = 32;
constexpr COLORREF kMessageColor = RGB(232, 151, 17);
constexpr int kMessagePointTenths = 100;
constexpr int kLegendIconSize = 16;
constexpr int kLegendIconGap = 4;

// The buttons that work on the tree only.
constexpr int kTreeButtons[] = {IDC_USRFUNC_REFRESH, IDC_USRFUNC_NEW_DEPT, IDC_USRFUNC_NEW_USER};

const char* CaptionText(PvgEditorMode mode) {
  switch (mode) {
    case PvgEditorMode::kFlowUsers:
      return T("dlg_cap_kqflow_user");
    case PvgEditorMode::kOutgoingFiles:
      return T("dlg_cap_waifa_users");
    case PvgEditorMode::kFlowCheck:
      return T("dlg_cap_prflwrw");
    case PvgEditorMode::kAllPrivileges:
      break;
  }
  return T("dlg_cap");
}

const char* ExplanationText(PvgEditorMode mode) {
  switch (mode) {
    case PvgEditorMode::kFlowUsers:
    case PvgEditorMode::kOutgoingFiles:
      return T("how kqflow pvg");
    case PvgEditorMode::kFlowCheck:
      return T("how yn pvg");
    case PvgEditorMode::kAllPrivileges:
      break;
  }
  return T("how fn pvg");
}

}  // namespace

CUserFuncPvgDlg::CUserFuncPvgDlg(const char* command)
    : CCoolDialog(IDD_USRFUNC),
      command_(FirstCodePoints(command != nullptr ? command : "", kCommandMaxChars)),
      mode_(ModeOfCommand(command_.c_str())) {
  MapCommand(IDOK, &CUserFuncPvgDlg::OnSave);
  MapCommand(IDC_USRFUNC_SEARCH, &CUserFuncPvgDlg::OnSearch);
  MapCommand(IDC_USRFUNC_SWITCH, &CUserFuncPvgDlg::OnSwitch);
  MapCommand(IDC_USRFUNC_REFRESH, &CUserFuncPvgDlg::OnRefresh);
  MapCommand(IDC_USRFUNC_NEW_DEPT, &CUserFuncPvgDlg::OnNewDept);
  MapCommand(IDC_USRFUNC_NEW_USER, &CUserFuncPvgDlg::OnNewUser);
  MapCommand(IDC_USRFUNC_MODIFY_USER, &CUserFuncPvgDlg::OnModifyUser);
  MapCommand(IDC_USRFUNC_NEW_PVG, &CUserFuncPvgDlg::OnAddPrivilege);
  MapCommand(IDC_USRFUNC_MENU_PVG, &CUserFuncPvgDlg::OnRegisterMenuCommand);
}

BOOL CUserFuncPvgDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetTexts();
  CreatePanes();
  // Cataloguing and registering commands are the administrator's alone.
  const bool admin = LoggedOnAsAdmin(Module().db);
  for (int id : {IDC_USRFUNC_MENU_PVG, IDC_USRFUNC_NEW_PVG}) {
    if (CWnd* button = GetDlgItem(id)) button->ShowWindow(admin ? SW_SHOW_WINDOW : SW_HIDE_WINDOW);
  }
  toolTip_.Create(this);
  UpdateMessageArea();
  return TRUE;
}

void CUserFuncPvgDlg::SetTexts() {
  SetWindowText(CaptionText(mode_));
  SetDlgItemText(IDC_USRFUNC_SEARCH, T("btn_search"));
  SetDlgItemText(IDC_USRFUNC_SWITCH, T("btn_switch"));
  SetDlgItemText(IDOK, T("btn_save"));
  SetDlgItemText(IDCANCEL, T("btn_close"));
  SetDlgItemText(IDC_USRFUNC_MENU_PVG, T("btn_addpvg_menu"));
  SetDlgItemText(IDC_USRFUNC_NEW_PVG, T("btn_addpvg"));
  SetDlgItemText(IDC_USRFUNC_PARENT_PVG_LEGEND, T("ico parent pvg"));
  SetDlgItemText(IDC_USRFUNC_OWN_PVG_LEGEND, T("ico my pvg"));
  SetDlgItemText(IDC_USRFUNC_NEW_DEPT, OrgTexts("btn_newdept"));
  SetDlgItemText(IDC_USRFUNC_NEW_USER, OrgTexts("btn_newuser"));
  SetDlgItemText(IDC_USRFUNC_MODIFY_USER, OrgTexts("btn_modiuser"));
  SetDlgItemText(IDC_USRFUNC_REFRESH, OrgTexts("btn_refresh"));
}

void CUserFuncPvgDlg::CreatePanes() {
  tagXCliDB* db = Module().db;
  leftPane_.CreateOver(WS_VISIBLE, this, IDC_USRFUNC_VIEW_FRAME, IDC_USRFUNC_VIEW);
  RECT inside{};
  leftPane_.GetClientRect(&inside);
  tree_.SetDB(db);
  tree_.Create(WS_VISIBLE, inside, &leftPane_, IDC_USRFUNC_TREE);
  tree_.Load();
  leftPane_.SetXCtrl(&tree_);
  searchGrid_.CreateIn(inside, &leftPane_, IDC_USRFUNC_SEARCH_GRID, db);

  rightPane_.CreateOver(WS_VISIBLE, this, IDC_USRFUNC_GRID_FRAME, IDC_USRFUNC_GRID_BOX);
  rightPane_.GetClientRect(&inside);
  grid_.SetDB(db);
  grid_.Create(WS_VISIBLE, inside, &rightPane_, IDC_USRFUNC_GRID);
  rightPane_.SetXCtrl(&grid_);
  grid_.LoadCatalogue(this, "UUSRFN.CCAT, UUSRFN.NID");
  ApplyMode();

  const RECT left = ClientRectOf(*this, leftPane_);
  const RECT right = ClientRectOf(*this, rightPane_);
  splitter_.Create(0, RECT{left.right + 2, left.top, right.left - 2, left.bottom}, this,
                   IDC_USRFUNC_SPLITTER);
  splitter_.AttachAsLeftPane(IDC_USRFUNC_VIEW);
  splitter_.AttachAsRightPane(IDC_USRFUNC_GRID_BOX);
  splitter_.SetMinWidth(kPaneMinWidth, kPaneMinWidth);

  // The root is focused before the tree knows the grid: no node is shown until one is chosen.
  if (tree_.GetNodes(-1) > 0) tree_.SetFocusNode(0, FALSE, TRUE);
  tree_.SetGrid(&grid_);
  searchGrid_.SetGrid(&grid_);
  grid_.SetChangeNotice([this] { UpdateMessageArea(); });
}

void CUserFuncPvgDlg::ApplyMode() {
  grid_.ShowOnlyCodes(CodesOfMode(mode_));
  if (IsRestricted(mode_)) grid_.UseYesNoColumn(T("col yn pvg"));
  grid_.AddEndpointColumn(mode_);
}

void CUserFuncPvgDlg::UpdateMessageArea() {
  const int row = grid_.GetFocusCell().row;
  std::string text = grid_.RowDescription(row);
  if (text.empty()) text = ExplanationText(mode_);
  const std::string inherited = grid_.RowInheritance(row);
  if (!inherited.empty()) text += "\n" + inherited;
  SetDlgItemText(IDC_USRFUNC_MESSAGE_AREA, text.c_str());
  Invalidate();
}

bool CUserFuncPvgDlg::SaveShownNode() {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  XFuncPvgGrid::SaveOutcome outcome;
  {
    SendLockScope scope(Module().db);
    outcome = grid_.SaveShownNode(scope.lock());
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (outcome == XFuncPvgGrid::SaveOutcome::kSaved ||
      outcome == XFuncPvgGrid::SaveOutcome::kUnchanged) {
    return true;
  }
  grid_.ShowSaveFailure(outcome);
  return false;
}

void CUserFuncPvgDlg::OnSave() {
  if (!SaveShownNode()) return;
  CWnd* save = GetDlgItem(IDOK);
  if (save == nullptr) return;
  RECT button{};
  save->GetWindowRect(&button);
  const int centre = (button.left + button.right) / 2;
  const char* done = OrgTexts("save done");
  toolTip_.ShowMe(done, POINT{centre, button.top - kSaveDoneTipAbove}, kSaveDoneTipMs);
  RECT tip{};
  toolTip_.GetWindowRect(&tip);  // known once shown: centre it over the button
  toolTip_.ShowMe(done, POINT{centre - (tip.right - tip.left) / 2, button.top - kSaveDoneTipAbove},
                  kSaveDoneTipMs);
}

void CUserFuncPvgDlg::OnCancel() {
  if (grid_.IsShownNodeChanged() &&
      ShowPvgMessage(this, OtherTexts("normal_res", "dirty yn save"), MB_YESNO | MB_ICONQUESTION) ==
          IDYES &&
      !SaveShownNode()) {
    return;
  }
  if (grid_.SavedAny() &&
      ShowPvgMessage(this, T("ask reload svr"), MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
    ReloadServerRequest(Module().db, protocol::kReloadFromPrivilegeEditor);
  }
  EndDialog(IDCANCEL);
}

bool CUserFuncPvgDlg::TreeShown() const {
  return leftPane_.GetXCtrl() == &tree_;
}

void CUserFuncPvgDlg::ShowView(bool tree) {
  leftPane_.SetXCtrl(tree ? static_cast<CWnd*>(&tree_) : &searchGrid_);
  for (int id : kTreeButtons) {
    if (CWnd* button = GetDlgItem(id)) button->EnableWindow(tree);
  }
}

void CUserFuncPvgDlg::OnSearch() {
  const std::string typed = GetDlgItemText(IDC_USRFUNC_SEARCH_TEXT);
  const std::string text(TrimBlanks(FirstCodePoints(typed, kSearchTextMaxChars)));
  if (text.empty()) return;
  searchGrid_.DoQuickSearch(text.c_str(), FALSE, &toolTip_);
  ShowView(false);
}

void CUserFuncPvgDlg::OnSwitch() {
  if (!grid_.SaveBeforeLeaving()) return;
  const bool toTree = !TreeShown();
  ShowView(toTree);
  if (toTree) {
    grid_.LoadNode(tree_.GetBITM_NID(tree_.GetFocusNode()));
  } else {
    searchGrid_.ShowRowPrivileges(-1);
  }
}

void CUserFuncPvgDlg::OnRefresh() {
  if (!TreeShown() || !tree_.Load()) return;
  tree_.SetFocusNode(0, TRUE, TRUE);
}

BOOL CUserFuncPvgDlg::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN || msg->wParam != VK_RETURN) return FALSE;
  CWnd* target = CWnd::FromHandle(msg->hwnd);
  CWnd* search = GetDlgItem(IDC_USRFUNC_SEARCH_TEXT);
  if (target == nullptr || search == nullptr || target->GetSafeHwnd() != search->GetSafeHwnd()) {
    return FALSE;
  }
  OnSearch();
  return TRUE;
}

void CUserFuncPvgDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, leftPane_);
  FramePane(dc, *this, rightPane_);
  if (CWnd* area = GetDlgItem(IDC_USRFUNC_MESSAGE_AREA)) {
    CFont font;
    font.CreatePointFont(kMessagePointTenths, "MS San Serif");
    CFont* previous = dc.SelectObject(&font);
    dc.SetTextColor(kMessageColor);
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(area->GetWindowText().c_str(), ClientRectOf(*this, *area), DT_LEFT | DT_WORDBREAK);
    dc.SelectObject(previous);
  }
  const std::pair<int, int> legends[] = {{IDC_USRFUNC_PARENT_PVG_LEGEND, IDI_INHERITED_PVG},
                                         {IDC_USRFUNC_OWN_PVG_LEGEND, IDI_OWN_PVG}};
  for (const auto& [id, icon] : legends) {
    CWnd* legend = GetDlgItem(id);
    if (legend == nullptr) continue;
    const RECT at = ClientRectOf(*this, *legend);
    dc.DrawIcon(at.left - kLegendIconSize - kLegendIconGap, at.top, AfxLoadIcon(icon),
                kLegendIconSize, kLegendIconSize);
  }
}

}  // namespace hrz

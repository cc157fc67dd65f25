#include "stats/usrstatdlg.h"

#include <string>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "resources/dialogs/usrstat_ids.h"
#include "support/pane_frame.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kNodeClickIntervalMs = 600;
constexpr int kSearchTextMaxChars = 511;
constexpr int kSplitterWidth = 8;
constexpr int kSplitterGap = 2;
constexpr int kPaneMinWidth = 150;
constexpr int kPaneRightMargin = 12;
constexpr int kPaneBottomMargin = 48;
constexpr int kButtonBottomMargin = 12;
// Posted by a worker whose rows are ready; wParam is its listing's number.
constexpr UINT kRowsReady = WM_USER + 1;

constexpr int kBottomControls[] = {IDC_USRSTAT_SEARCH_TEXT, IDC_USRSTAT_SEARCH, IDOK, IDCANCEL};

// The window's rectangle in its parent's client pixels.
RECT RectInParent(const CWnd& window, const CWnd& parent) {
  RECT rect{};
  window.GetWindowRect(&rect);
  parent.ScreenToClient(&rect);
  return rect;
}

bool HasFocus(const CWnd& dialog, int id) {
  CWnd* focus = CWnd::GetFocus();
  CWnd* control = dialog.GetDlgItem(id);
  return focus != nullptr && control != nullptr && focus->GetSafeHwnd() == control->GetSafeHwnd();
}

}  // namespace

CUserStatDlg::CUserStatDlg() : CCoolDialog(IDD_USRSTAT) {
  MapCommand(IDC_USRSTAT_SEARCH, &CUserStatDlg::OnSearch);
}

BOOL CUserStatDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap_userstat"));
  SetDlgItemText(IDC_USRSTAT_SEARCH, T("btn_search"));
  SetDlgItemText(IDOK, T("btn_refresh"));
  SetDlgItemText(IDCANCEL, T("btn_close"));
  CreatePanes();
  toolTip_.Create(this);
  clientVersion_ = XCliDB_GetClientVersion(Module().db, 0);
  grid_.SetClientVersion(clientVersion_);
  ShowWindow(SW_MAXIMIZE);
  tree_.SetFocus();
  return FALSE;  // the tree has the focus, so Enter refreshes rather than searches
}

void CUserStatDlg::CreatePanes() {
  tagXCliDB* db = Module().db;
  treeBox_.CreateOver(WS_VISIBLE | WS_TABSTOP, this, IDC_USRSTAT_TREE_FRAME, IDC_USRSTAT_TREE_PANE);
  RECT inside{};
  treeBox_.GetClientRect(&inside);
  tree_.Create(WS_VISIBLE, inside, &treeBox_, IDC_USRSTAT_TREE);
  tree_.SetCanEdit(FALSE);
  tree_.SetDB(db);
  tree_.SetNodeClickInterval(kNodeClickIntervalMs);
  treeBox_.SetXCtrl(&tree_);
  tree_.AddRootNode("UUSR", -1, TRUE);
  if (tree_.GetNodes(-1) > 0) tree_.Expand(0);
  tree_.SetTreeEventFunc(&CUserStatDlg::OnTreeEvent, this);

  gridBox_.CreateOver(WS_VISIBLE | WS_TABSTOP, this, IDC_USRSTAT_GRID_FRAME, IDC_USRSTAT_GRID_PANE);
  gridBox_.GetClientRect(&inside);
  grid_.Create(WS_VISIBLE, inside, &gridBox_, IDC_USRSTAT_GRID);
  grid_.SetDB(db);
  grid_.InitCtrls("User Stat Result");
  grid_.Detail(TRUE);
  grid_.FindColumns();
  gridBox_.SetXCtrl(&grid_);

  const RECT tree = RectInParent(treeBox_, *this);
  const RECT bar{tree.right + kSplitterGap, tree.top, tree.right + kSplitterGap + kSplitterWidth,
                 tree.bottom};
  splitter_.Create(WS_VISIBLE, bar, this, IDC_USRSTAT_SPLITTER);
  splitter_.SetMinWidth(kPaneMinWidth, kPaneMinWidth);
  splitter_.AttachAsLeftPane(IDC_USRSTAT_TREE_PANE);
  splitter_.AttachAsRightPane(IDC_USRSTAT_GRID_PANE);
}

void CUserStatDlg::OnTreeEvent(XTree*, int event, int node, void* dialog) {
  if (event == XTREE_EVENT_CLICK && node >= 0) static_cast<CUserStatDlg*>(dialog)->StartListing();
}

void CUserStatDlg::StartListing() {
  listing_.Stop(&tree_);
  grid_.SetRows(1, TRUE);
  char kind[17] = {};
  const int nid = tree_.GetBITM_NID(tree_.GetFocusNode(), kind);
  if (nid < 0) return;  // no node chosen: the grid stays empty
  listing_.Start(&tree_, Module().db, grid_.MakeQuery(), nid, kind, this, kRowsReady);
}

void CUserStatDlg::ShowRows(WPARAM listing) {
  StatRows rows = listing_.Take(listing);
  if (rows.empty()) return;
  grid_.SetRedraw(FALSE);
  grid_.AppendFoundRows(std::move(rows));
  grid_.SetRedraw(TRUE);
  grid_.Refresh();
}

LRESULT CUserStatDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRowsReady) {
    ShowRows(wParam);
    return 0;
  }
  return CCoolDialog::WindowProc(message, wParam, lParam);
}

void CUserStatDlg::OnSearch() {
  const std::string typed = GetDlgItemText(IDC_USRSTAT_SEARCH_TEXT);
  const std::string text(TrimBlanks(FirstCodePoints(typed, kSearchTextMaxChars)));
  if (text.empty()) return;
  listing_.Stop(&tree_);  // its rows would otherwise join the search's
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  grid_.DoQuickSearch(text.c_str(), &toolTip_);
  SetCursor(previous);
}

void CUserStatDlg::OnOK() {
  if (HasFocus(*this, IDC_USRSTAT_SEARCH_TEXT)) {
    OnSearch();
    return;
  }
  // The worker first: the tree's reload would otherwise queue behind its reads.
  listing_.Stop(&tree_);
  clientVersion_ = XCliDB_GetClientVersion(Module().db, 0);
  grid_.SetClientVersion(clientVersion_);
  tree_.Refresh(-1);
  if (tree_.GetFocusNode() >= 0) StartListing();
}

void CUserStatDlg::OnCancel() {
  listing_.Stop(&tree_);
  EndDialog(IDCANCEL);
}

void CUserStatDlg::OnDestroy() {
  listing_.Stop(&tree_);
  CCoolDialog::OnDestroy();
}

BOOL CUserStatDlg::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN || msg->wParam != VK_RETURN) return FALSE;
  CWnd* target = CWnd::FromHandle(msg->hwnd);
  CWnd* search = GetDlgItem(IDC_USRSTAT_SEARCH_TEXT);
  if (target == nullptr || search == nullptr || target->GetSafeHwnd() != search->GetSafeHwnd()) {
    return FALSE;
  }
  OnSearch();
  return TRUE;
}

void CUserStatDlg::OnSize(UINT type, int cx, int cy) {
  CCoolDialog::OnSize(type, cx, cy);
  if (gridBox_.GetSafeHwnd() == nullptr || splitter_.GetSafeHwnd() == nullptr) return;
  const int paneBottom = cy - kPaneBottomMargin;
  RECT grid = RectInParent(gridBox_, *this);
  // Refresh and Close end where the grid ends, so they follow its right edge too: a window
  // narrower than the template would otherwise hide them.
  const int shift = cx - kPaneRightMargin - grid.right;
  grid.right += shift;
  grid.bottom = paneBottom;
  gridBox_.MoveWindow(grid);
  for (CWnd* pane : {static_cast<CWnd*>(&treeBox_), static_cast<CWnd*>(&splitter_)}) {
    RECT rect = RectInParent(*pane, *this);
    rect.bottom = paneBottom;
    pane->MoveWindow(rect);
  }
  for (int id : kBottomControls) {
    CWnd* control = GetDlgItem(id);
    if (control == nullptr) continue;
    RECT rect = RectInParent(*control, *this);
    const int height = rect.bottom - rect.top;
    rect.bottom = cy - kButtonBottomMargin;
    rect.top = rect.bottom - height;
    if (id == IDOK || id == IDCANCEL) {
      rect.left += shift;
      rect.right += shift;
    }
    control->MoveWindow(rect);
  }
  Invalidate();
}

void CUserStatDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, treeBox_);
  FramePane(dc, *this, gridBox_);
}

}  // namespace hrz

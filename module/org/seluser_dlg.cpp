#include "org/seluser_dlg.h"

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_prompts.h"
#include "resources/dialogs/seluser_ids.h"
#include "support/pane_frame.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kNodeClickIntervalMs = 600;
constexpr int kKindCapacity = 17;

bool IsEveryKind(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  return trimmed == "*" || EqualsNoCase(trimmed, "<all>");
}

}  // namespace

bool KindInList(const char* kind, const char* kindList) {
  if (kind == nullptr || *kind == '\0') return true;
  const std::string_view wanted = TrimBlanks(kind);
  if (wanted.empty() || IsEveryKind(wanted)) return true;
  if (kindList == nullptr) return false;
  for (std::string_view piece : SplitText(TrimBlanks(kindList), ",;")) {
    if (piece.empty() || CountCodePoints(piece) > kSelUserTextMax) continue;
    if (IsEveryKind(piece) || EqualsNoCase(TrimBlanks(piece), wanted)) return true;
  }
  return false;
}

CSelUserDlg::CSelUserDlg() : CCoolDialog(IDD_SELUSER) {
  MapCommand(IDC_SELUSER_SEARCH, &CSelUserDlg::OnSearch);
  MapCommand(IDC_SELUSER_SWITCH, &CSelUserDlg::OnSwitch);
  MapCommand(IDC_SELUSER_REFRESH, &CSelUserDlg::OnRefresh);
  MapCommand(IDOK, &CSelUserDlg::OnOk);
}

bool CSelUserDlg::IsKindListAccepted(const char* kinds) {
  return kinds == nullptr || CountCodePoints(kinds) <= kSelUserTextMax;
}

bool CSelUserDlg::SetKindList(const char* kinds) {
  if (!IsKindListAccepted(kinds)) return false;
  kindList_ = kinds != nullptr ? kinds : "";
  return true;
}

void CSelUserDlg::SetCaption(const char* caption) {
  caption_ = FirstCodePoints(caption != nullptr ? caption : "", kSelUserTextMax);
}

int CSelUserDlg::GetSel(std::string* kind) const {
  if (kind != nullptr) *kind = selectedKind_;
  return selectedNid_;
}

BOOL CSelUserDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap_sel_user"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  SetDlgItemText(IDC_SELUSER_SEARCH, T("btn_search"));
  SetDlgItemText(IDC_SELUSER_SWITCH, T("btn_switch"));
  SetDlgItemText(IDC_SELUSER_REFRESH, T("btn_refresh"));
  if (!caption_.empty()) SetWindowText(caption_.c_str());

  tagXCliDB* db = Module().db;
  viewBox_.CreateOver(WS_VISIBLE, this, IDC_SELUSER_VIEW_FRAME, IDC_SELUSER_VIEW);
  RECT inside{};
  viewBox_.GetClientRect(&inside);
  tree_.Create(WS_VISIBLE, inside, &viewBox_, IDC_SELUSER_TREE);
  tree_.SetDB(db);
  tree_.SetCanEdit(FALSE);
  tree_.SetNodeClickInterval(kNodeClickIntervalMs);
  viewBox_.SetXCtrl(&tree_);
  ReloadTree();
  tree_.SetFocus();  // the dialog opens on the tree; Enter there means OK

  grid_.CreateIn(inside, &viewBox_, IDC_SELUSER_GRID, db);
  return TRUE;
}

void CSelUserDlg::ReloadTree() {
  tree_.AddRootNode("UUSR", -1, TRUE);
  if (tree_.GetNodes(-1) > 0) tree_.Expand(0);
}

bool CSelUserDlg::GridShown() const {
  return viewBox_.GetXCtrl() == &grid_;
}

void CSelUserDlg::ShowView(bool grid) {
  CWnd* shown = grid ? static_cast<CWnd*>(&grid_) : &tree_;
  viewBox_.SetXCtrl(shown);
  shown->SetFocus();
  if (CWnd* button = GetDlgItem(IDC_SELUSER_SWITCH)) button->Invalidate();
}

void CSelUserDlg::OnSearch() {
  if (grid_.SearchTyped(GetDlgItemText(IDC_SELUSER_SEARCH_TEXT), nullptr)) ShowView(true);
}

void CSelUserDlg::OnSwitch() {
  ShowView(!GridShown());
}

void CSelUserDlg::OnRefresh() {
  ReloadTree();
  if (tree_.GetNodes(-1) > 0) tree_.SetFocusNode(0, FALSE, TRUE);
}

void CSelUserDlg::OnOk() {
  CWnd* focus = CWnd::GetFocus();
  CWnd* search = GetDlgItem(IDC_SELUSER_SEARCH_TEXT);
  if (focus != nullptr && search != nullptr && focus->GetSafeHwnd() == search->GetSafeHwnd()) {
    OnSearch();  // Enter in the search edit searches
    return;
  }
  char kind[kKindCapacity] = {};
  int nid = -1;
  if (GridShown()) {
    const int row = grid_.GetFocusCell().row;
    if (row >= 1) nid = grid_.GetRecNID(row, nullptr, kind);
  } else {
    const int node = tree_.GetFocusNode();
    if (node >= 0) nid = tree_.GetBITM_NID(node, kind);
  }
  if (nid < 1 || !KindInList(kind, kindList_.c_str())) {
    ShowOrgMessage(this, T("must sel type node"));
    return;
  }
  selectedNid_ = nid;
  selectedKind_ = kind;
  EndDialog(IDOK);
}

void CSelUserDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, viewBox_);
}

}  // namespace hrz

#include "org/viewsign_dlg.h"

#include <algorithm>
#include <vector>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "pickers/sign_download.h"
#include "platform_ui.h"
#include "resources/dialogs/viewusersign_ids.h"
#include "support/pane_frame.h"
#include "support/record_text.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_viewusersign");
UnitTexts Common("normal_res");

constexpr int kNodeClickIntervalMs = 600;
constexpr int kKindCapacity = 17;
constexpr int kLabelFieldCapacity = 64;  // at most 63 characters of code and name
constexpr std::size_t kStatusMaxChars = 255;
constexpr std::size_t kParentsMax = 128;
constexpr int kSignedInUsersOnly = 9;
constexpr COLORREF kWarningColor = RGB(236, 0, 0);
constexpr const char* kViewOthersSignCode = "XUPDEPTSGN";
constexpr const char* kSearchFields = "CCODE | CNAME";

std::string Label(const std::string& code, const std::string& name) {
  if (code.empty()) return name;
  if (name.empty()) return code;
  return code + " / " + name;
}

}  // namespace

CViewUserSignDlg::CViewUserSignDlg() : CCoolDialog(IDD_VIEWUSERSIGN), grid_(*this) {
  MapCommand(IDC_VIEWUSERSIGN_SEARCH, &CViewUserSignDlg::OnSearch);
  MapCommand(IDC_VIEWUSERSIGN_USER_TREE, &CViewUserSignDlg::OnUserTree);
  MapCommand(IDOK, &CViewUserSignDlg::OnViewBitmap);
  MapCommand(IDC_VIEWUSERSIGN_DWG_SIGN, &CViewUserSignDlg::OnViewDrawing);
}

BOOL CViewUserSignDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  tagXCliDB* db = Module().db;
  viewBox_.CreateOver(WS_VISIBLE, this, IDC_VIEWUSERSIGN_VIEW_FRAME, IDC_VIEWUSERSIGN_VIEW);
  RECT inside{};
  viewBox_.GetClientRect(&inside);
  tree_.Create(WS_VISIBLE, inside, &viewBox_, IDC_VIEWUSERSIGN_TREE);
  tree_.SetDB(db);
  tree_.SetCanEdit(FALSE);
  tree_.SetNodeClickInterval(kNodeClickIntervalMs);
  tree_.AddRootNode("UUSR", -1, TRUE);
  tree_.ExpandAll(0);
  if (tree_.GetNodes(-1) > 0) tree_.Expand(0);
  viewBox_.SetXCtrl(&tree_);
  tree_.SetTreeEventFunc(&CViewUserSignDlg::OnTreeEvent, this);

  grid_.CreateIn(inside, &viewBox_, IDC_VIEWUSERSIGN_GRID, db);
  grid_.SetUserFilterType(kSignedInUsersOnly);
  grid_.SetSearchFields(kSearchFields);

  FocusSignedInUser();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDC_VIEWUSERSIGN_DWG_SIGN, T("btn_viewdwgsg"));
  SetDlgItemText(IDC_VIEWUSERSIGN_SEARCH, Common("btn_search"));
  SetDlgItemText(IDC_VIEWUSERSIGN_USER_TREE, Common("btn_usertree"));
  SetDlgItemText(IDCANCEL, Common("btn_cancel"));
  treeMode_ = true;
  chosenNid_ = -1;
  SetStatus(T("on choose user"));
  return TRUE;
}

// The last place of the signed-in user in the tree, its ancestors expanded; else the root.
void CViewUserSignDlg::FocusSignedInUser() {
  const int me = XCliGetCurrentUserNID(Module().db);
  int found = -1;
  const int nodes = tree_.GetNodes(-1);
  for (int node = 0; node < nodes; ++node) {
    if (tree_.GetBITM_NID(node) != me) continue;
    for (int up = tree_.GetParentIndex(node); up >= 0; up = tree_.GetParentIndex(up)) {
      tree_.Expand(up);
    }
    found = node;
  }
  if (nodes > 0) tree_.SetFocusNode(found >= 0 ? found : 0, FALSE, TRUE);
}

void CViewUserSignDlg::OnTreeEvent(XTree*, int event, int node, void* data) {
  if (event != XTREE_EVENT_CLICK || node < 0) return;
  auto* dialog = static_cast<CViewUserSignDlg*>(data);
  XBOMTree& tree = dialog->tree_;
  char kind[kKindCapacity] = {};
  const int nid = tree.GetBITM_NID(node, kind);
  char code[kLabelFieldCapacity] = {};
  char name[kLabelFieldCapacity] = {};
  tree.GetTextByOrgFld(node, "UUSR.CCODE", code, kLabelFieldCapacity);
  tree.GetTextByOrgFld(node, "UUSR.CNAME", name, kLabelFieldCapacity);
  dialog->OnEntryFocused(nid, kind, code, name);
}

void CViewUserSignDlg::ResultGrid::OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) {
  CUserFindGrid::OnRowColChange(oldRow, oldCol, newRow, newCol);
  if (newRow < 1 || newRow >= GetRows()) return;
  char kind[kKindCapacity] = {};
  const int nid = GetRecNID(newRow, nullptr, kind);
  char code[kLabelFieldCapacity] = {};
  char name[kLabelFieldCapacity] = {};
  GetTextByOrgFld(newRow, "UUSR.CCODE", code, kLabelFieldCapacity);
  GetTextByOrgFld(newRow, "UUSR.CNAME", name, kLabelFieldCapacity);
  dialog_.OnEntryFocused(nid, kind, code, name);
}

void CViewUserSignDlg::OnEntryFocused(int nid, const char* kind, const std::string& code,
                                      const std::string& name) {
  chosenNid_ = nid;
  if (!EqualsNoCase(kind, "UUSRI")) {
    SetStatus(T("only_choose_user"));
  } else {
    SetStatus((std::string(T("chk_user_sign")) + Label(code, name)).c_str());
  }
}

void CViewUserSignDlg::SetStatus(const char* text) {
  status_ = FirstCodePoints(text != nullptr ? text : "", kStatusMaxChars);
  if (CWnd* area = GetDlgItem(IDC_VIEWUSERSIGN_STATUS_AREA)) {
    area->SetWindowText(status_.c_str());  // what a reader of the window finds
  }
  Invalidate();
}

void CViewUserSignDlg::OnSearch() {
  if (!grid_.SearchTyped(GetDlgItemText(IDC_VIEWUSERSIGN_SEARCH_TEXT), nullptr)) return;
  viewBox_.SetXCtrl(&grid_);
  grid_.SetFocus();
  if (CWnd* button = GetDlgItem(IDC_VIEWUSERSIGN_USER_TREE)) button->ShowWindow(SW_SHOW);
  treeMode_ = false;
}

void CViewUserSignDlg::OnUserTree() {
  treeMode_ = true;
  viewBox_.SetXCtrl(&tree_);
  tree_.SetFocus();
  if (CWnd* button = GetDlgItem(IDC_VIEWUSERSIGN_USER_TREE)) button->ShowWindow(SW_HIDE);
}

void CViewUserSignDlg::OnViewBitmap() {
  CWnd* focus = CWnd::GetFocus();
  CWnd* search = GetDlgItem(IDC_VIEWUSERSIGN_SEARCH_TEXT);
  if (focus != nullptr && search != nullptr && focus->GetSafeHwnd() == search->GetSafeHwnd()) {
    OnSearch();  // Enter in the search edit searches
    return;
  }
  View("CBMPSG");
}

void CViewUserSignDlg::OnViewDrawing() {
  View("CDWGSG");
}

int CViewUserSignDlg::ChosenNid() const {
  if (treeMode_) {
    const int node = tree_.GetFocusNode();
    return node >= 0 ? tree_.GetBITM_NID(node) : -1;
  }
  const int row = grid_.GetFocusCell().row;
  return row >= 1 && row < grid_.GetRows() ? grid_.GetRecNID(row) : -1;
}

void CViewUserSignDlg::View(const char* column) {
  tagXCliDB* db = Module().db;
  const int me = XCliGetCurrentUserNID(db);
  const std::string myCode = ReadUserText(db, "CCODE", me).value_or("");
  chosenNid_ = ChosenNid();
  if (EqualsNoCase(ReadUserText(db, "CSRC", chosenNid_).value_or(""), "UDEPT")) {
    ShowMessage(T("only_choose_user"));
    return;
  }
  if (chosenNid_ < 0) {
    ShowMessage(T("no choose user"));
    return;
  }
  if (chosenNid_ != me && !EqualsNoCase(myCode, "adm") && !MayViewOthersSign()) {
    ShowMessage(T("no pvg"));
    return;
  }
  char path[kSignPathCapacity] = {};
  if (!FetchUserSignFile(column, path, chosenNid_)) {
    ShowMessage(T("user no sign"));
    return;
  }
  ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

int CViewUserSignDlg::IsInSameDept() {
  const auto parentsOf = [this](int nid) {
    std::vector<int> parents;
    const int nodes = tree_.GetNodes(-1);
    for (int node = 0; node < nodes && parents.size() < kParentsMax; ++node) {
      if (tree_.GetBITM_NID(node) != nid) continue;
      const int parent = tree_.GetParentIndex(node);
      if (parent >= 0) parents.push_back(parent);
    }
    std::sort(parents.begin(), parents.end());
    return parents;
  };
  const std::vector<int> mine = parentsOf(XCliGetCurrentUserNID(Module().db));
  if (mine.empty()) {
    ShowMessage(T("user no dept"));
    return 0;
  }
  const std::vector<int> theirs = parentsOf(ChosenNid());
  std::vector<int> shared;
  std::set_intersection(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                        std::back_inserter(shared));
  return shared.empty() ? 0 : 1;
}

int CViewUserSignDlg::MayViewOthersSign() {
  if (!IsInSameDept()) return 0;
  int modify = 0;
  return XCliGetFuncPvg(Module().db, -1, kViewOthersSignCode, nullptr, &modify) && modify != 0 ? 1
                                                                                               : 0;
}

void CViewUserSignDlg::ShowMessage(const char* text) {
  MessageBoxA(GetSafeHwnd(), text, T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
}

void CViewUserSignDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, viewBox_);
  CWnd* area = GetDlgItem(IDC_VIEWUSERSIGN_STATUS_AREA);
  if (area == nullptr) return;
  const bool warning = status_ == T("on choose user") || status_ == T("only_choose_user");
  const COLORREF previous = warning ? dc.SetTextColor(kWarningColor) : 0;
  dc.SetBkMode(TRANSPARENT);
  dc.DrawText(status_.c_str(), ClientRectOf(*this, *area), DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (warning) dc.SetTextColor(previous);
}

}  // namespace hrz

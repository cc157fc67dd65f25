#include "pickers/seldept_dlg.h"

#include <algorithm>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "resources/dialogs/seldept_ids.h"
#include "support/pane_frame.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr std::size_t kMessageMaxChars = 127;
constexpr int kFieldCapacity = 64;  // code and name, at most 63 characters each
constexpr char kDepartmentsAndRoles[] = "UUSR.CSRC = 'UROLE' or UUSR.CSRC = 'UDEPT'";

}  // namespace

CSelDeptDlg::CSelDeptDlg() : CCoolDialog(IDD_SELDEPT) {
  MapCommand(IDOK, &CSelDeptDlg::OnOk);
}

BOOL CSelDeptDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("cap_seldept"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  SetDlgItemText(IDC_SELDEPT_MESSAGE,
                 std::string(FirstCodePoints(message, kMessageMaxChars)).c_str());
  treeBox_.CreateOver(WS_VISIBLE, this, IDC_SELDEPT_TREE_FRAME, IDC_SELDEPT_VIEW);
  RECT inside{};
  treeBox_.GetClientRect(&inside);
  tree_.Create(0, inside, &treeBox_, IDC_SELDEPT_TREE);
  tree_.SetCanEdit(FALSE);
  tree_.SetExpandToCheckLeafNode(TRUE);
  tree_.SetExpandFilter(kDepartmentsAndRoles);
  tree_.SetDB(Module().db);
  treeBox_.SetXCtrl(&tree_);
  tree_.AddRootNode("UUSR", -1, TRUE);
  if (tree_.GetNodes(-1) > 0) tree_.Expand(0);
  tree_.ShowWindow(SW_SHOW_WINDOW);
  tree_.SetTreeEventFunc(&CSelDeptDlg::OnTreeEvent, this);
  SelectPresetPath();
  return TRUE;
}

void CSelDeptDlg::SelectPresetPath() {
  bool whole = false;
  const int node = tree_.ExpandAlongPath(presetPath, kOrgPathSlots, &whole);
  if (!whole) return;  // an empty tree, or the path broke: nothing is focused
  tree_.SetFocusNode(node, TRUE, TRUE);
  tree_.EnsureNodeVisible(node);
}

void CSelDeptDlg::OnTreeEvent(XTree* tree, int event, int node, void* self) {
  auto* dialog = static_cast<CSelDeptDlg*>(self);
  if (event != XTREE_EVENT_DBLCLICK || node < 0 || !dialog->confirmOnDoubleClick) return;
  // A double click on a collapsed department with children only opens it.
  if (tree->IsExpanded(node) || !tree->IsParentNode(node)) dialog->OnOk();
}

void CSelDeptDlg::OnOk() {
  const int node = tree_.GetFocusNode();
  const auto field = [&](const char* name) {
    char text[kFieldCapacity] = {};
    if (node >= 0) tree_.GetTextByOrgFld(node, name, text, kFieldCapacity);
    return std::string(TrimBlanks(text));
  };
  const int nid = node >= 0 ? tree_.GetBITM_NID(node) : -1;
  const std::string code = field("UUSR.CCODE");
  if (nid < 1 || code.empty()) {
    const std::string text = T("error user dept");
    MessageBoxA(GetSafeHwnd(), text.c_str(), T("cap_seldept"), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const std::string name = field("UUSR.CNAME");
  chosenNid = nid;
  chosenLabel = name.empty() ? code : code + " / " + name;
  std::fill(std::begin(chosenPath), std::end(chosenPath), 0);
  // Deeper than the path can hold: keep the levels from the root down as far as they fit.
  tree_.PathToNode(node, chosenPath, kOrgPathSlots);
  EndDialog(IDOK);
}

void CSelDeptDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, treeBox_);
}

}  // namespace hrz

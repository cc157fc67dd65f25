#include "pickers/whereuse_dlg.h"

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "resources/dialogs/whereuse_ids.h"
#include "support/pane_frame.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kNodeClickIntervalMs = 600;
constexpr int kWhereUsed = 1;  // the tree climbs from a record to what holds it

}  // namespace

CWhereUseDlg::CWhereUseDlg(int nid) : CCoolDialog(IDD_WHEREUSE), nid_(nid) {}

BOOL CWhereUseDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDOK, T("btn_ok"));
  treeBox_.CreateOver(WS_VISIBLE, this, IDC_WHEREUSE_TREE_FRAME, IDC_WHEREUSE_VIEW);
  RECT inside{};
  treeBox_.GetClientRect(&inside);
  tree_.Create(0, inside, &treeBox_, IDC_WHEREUSE_TREE);
  tree_.SetDB(Module().db);
  tree_.SetCanEdit(FALSE);
  tree_.SetNodeClickInterval(kNodeClickIntervalMs);
  tree_.SetBOMTreeType(kWhereUsed);
  treeBox_.SetXCtrl(&tree_);
  tree_.AddRootNode("UUSR", nid_, TRUE);
  if (tree_.GetNodes(-1) > 0) tree_.Expand(0);
  tree_.ShowWindow(SW_SHOW_WINDOW);
  return TRUE;
}

void CWhereUseDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, treeBox_);
}

}  // namespace hrz

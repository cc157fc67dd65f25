#include "login/deptip_dlg.h"

#include <algorithm>
#include <vector>

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "login/lgnmacip.h"
#include "login/login_prompts.h"
#include "resources/dialogs/deptip_ids.h"
#include "support/text_patterns.h"
#include "xbomtree.h"

namespace hrz {
namespace {

UnitTexts T("dlg_user_lgnmac");
SectionTexts OtherTexts;

// The entries of a subtree that take the list, each once (a record may hang there twice).
std::vector<int> WritableEntries(const XBOMTree& tree, int node, int count) {
  std::vector<int> nids;
  for (int at = node; at < node + count; ++at) {
    const int nid = tree.GetBITM_NID(at);
    if (nid > kLastReservedNid && std::find(nids.begin(), nids.end(), nid) == nids.end()) {
      nids.push_back(nid);
    }
  }
  return nids;
}

}  // namespace

CSetDeptIpDlg::CSetDeptIpDlg() : CCoolDialog(IDD_DEPTIP) {}

BOOL CSetDeptIpDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  if (!initialList.empty()) SetDlgItemText(IDC_DEPTIP_LIST, initialList.c_str());
  SetWindowText(T("dlg_cap_deptip"));
  SetDlgItemText(IDC_DEPTIP_LIST_LABEL, T("lbl_deptip"));
  SetDlgItemText(IDOK, OtherTexts("normal_res", "btn_ok"));
  SetDlgItemText(IDCANCEL, OtherTexts("normal_res", "btn_cancel"));
  if (auto* help = dynamic_cast<CCoolLabel*>(GetDlgItem(IDC_DEPTIP_HELP))) {
    help->SetTextFormat(DT_WORDBREAK | DT_VCENTER);
  }
  SetDlgItemText(IDC_DEPTIP_HELP, T("ip help"));
  return TRUE;
}

void CSetDeptIpDlg::OnOK() {
  const std::string typed = GetDlgItemText(IDC_DEPTIP_LIST);
  // A longer list is refused rather than cut: a cut list would fence the subtree elsewhere.
  if (CountCodePoints(typed) > static_cast<std::size_t>(kDeptIpListMaxChars)) {
    ShowLoginMessage(GetSafeHwnd(),
                     FormatTemplate(T("ip list too long"), std::to_string(kDeptIpListMaxChars)),
                     LoginCaption::kAddresses);
    return;
  }
  for (std::string_view piece : SplitText(typed, ",")) {
    const std::string pattern(TrimBlanks(piece));
    if (!pattern.empty() && !CheckDeptIp(pattern.c_str(), GetSafeHwnd())) return;
  }
  resultList = typed;
  EndDialog(IDOK);
}

bool SetDeptIpFromNode(XBOMTree& tree, int node, HWND owner) {
  tagXCliDB* db = tree.GetDB();
  const int nid = tree.GetBITM_NID(node);
  if (nid < 1) return false;
  // Without the whole subtree the list would reach only part of it.
  if (!tree.ExpandAll(node)) {
    ShowLoginMessage(owner, T("ip read fail"), LoginCaption::kAddresses);
    return false;
  }
  const int count = tree.GetNodes(node);
  CSetDeptIpDlg dialog;
  ReadLgnIp(db, nid, &dialog.initialList);
  {
    ModuleResourceScope resources;
    if (dialog.DoModal() != IDOK) return false;
  }
  int failed = 0;
  for (int entry : WritableEntries(tree, node, count)) {
    if (!WriteLgnIp(db, entry, dialog.resultList.c_str())) ++failed;
  }
  ShowLoginMessage(owner,
                   failed == 0 ? std::string(T("ip ok"))
                               : FormatTemplate(T("ip write fail"), std::to_string(failed)),
                   LoginCaption::kAddresses);
  return true;
}

}  // namespace hrz

#include "org/userro.h"

#include <string>

#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "login/deptip_dlg.h"
#include "login/lgnmac_dlg.h"
#include "org/account_state.h"
#include "org/org_prompts.h"
#include "org/org_rights.h"
#include "org/usertree.h"
#include "passwords/pwdrule_dlg.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kShownCodeMax = 48;
constexpr int kNewCodeBuffer = 256;
constexpr std::size_t kFieldTextCapacity = 65536;

bool IsDeptLayout(const char* layout) {
  const std::vector<std::string_view> words = SplitText(TrimBlanks(layout), " ");
  return !words.empty() && IsDeptKind(std::string(words[0]).c_str());
}

bool IsPasswordField(const char* name) {
  return name != nullptr && (EqualsNoCase(name, "CPWD") || EqualsNoCase(name, "RE_CPWD"));
}

}  // namespace

void CUserRecCtrl::SetLinks(CUserTree* tree, CWnd* window) {
  tree_ = tree;
  window_ = window;
}

std::string CUserRecCtrl::FieldText(int node, int maxChars) const {
  std::string text(kFieldTextCapacity, '\0');
  if (!GetCtrlText(node, text.data(), static_cast<int>(text.size()))) return {};
  return std::string(FirstCodePoints(TrimBlanks(text.c_str()), maxChars));
}

int CUserRecCtrl::NewRecord(const char* kind) {
  if (!MayModifyOrganisation(GetDB())) {
    ShowOrgMessage(window_, T("no pvg"));
    return 0;
  }
  const std::string layout = std::string(kind != nullptr ? kind : "") + " New";
  if (!EqualsNoCase(GetCurrentObj(), layout) && !InitCtrls(layout.c_str(), TRUE)) return 0;
  ClearRec(TRUE);
  mode_ = kPaneModeNew;
  return 1;
}

BOOL CUserRecCtrl::InitCtrls(const char* layout, BOOL force) {
  const std::string before = GetCurrentObj();
  if (!XUpdateRecObjCtrl::InitCtrls(layout, force)) return FALSE;
  if (!EqualsNoCase(before, GetCurrentObj()) && GetParent() != nullptr) GetParent()->Invalidate();
  return TRUE;
}

BOOL CUserRecCtrl::ShowRec(const char* const* tables, const int* nids, int count, int mode,
                           int reserved) {
  mode_ = kPaneModeShowing;
  if (!XUpdateRecObjCtrl::ShowRec(tables, nids, count, mode, reserved)) return FALSE;
  ShowPasswordMasks();
  ApplyAccessRules();
  SetDeleteButtonText(*this, window_);
  if (CWnd* rule = GetCtrlWnd(GetCtrlCfgNode("BTNPWDRULE"))) {
    const bool dept = IsDeptLayout(GetCurrentObj());
    rule->ShowWindow(!dept || IsOrganisationRoot(GetShowRecNID("UUSR")) ? SW_SHOW_WINDOW
                                                                        : SW_HIDE_WINDOW);
  }
  return TRUE;
}

BOOL CUserRecCtrl::ClearRec(BOOL redraw) {
  mode_ = kPaneModeShowing;
  return XUpdateRecObjCtrl::ClearRec(redraw);
}

BOOL CUserRecCtrl::IsFieldChanged(int node, int mode) {
  if (IsPasswordField(GetCtrlName(node))) return FALSE;
  return XUpdateRecObjCtrl::IsFieldChanged(node, mode);
}

void CUserRecCtrl::ShowPasswordMasks() {
  SetCtrlText(GetCtrlCfgNode("CPWD"), kPwdMask);
  SetCtrlText(GetCtrlCfgNode("RE_CPWD"), kPwdMask);
}

bool CUserRecCtrl::IsOrganisationRoot(int nid) const {
  return tree_ != nullptr && nid >= 1 && tree_->GetBITM_NID(0) == nid;
}

void CUserRecCtrl::ApplyAccessRules() {
  tagXCliDB* db = GetDB();
  const bool meAdmin = LoggedOnAsAdmin(db);
  const int codeNode = GetCtrlCfgNodeFromOrgFldName("UUSR.CCODE");
  const std::string shown = FieldText(codeNode, kShownCodeMax);
  const bool shownAdmin = IsAdminCode(shown);
  bool readOnly = true;
  bool mayEdit = false;
  if (IsDeptLayout(GetCurrentObj())) {
    mayEdit = MayModifyOrganisation(db);
    readOnly = !mayEdit;
  } else if (shownAdmin) {
    readOnly = !meAdmin;
  } else if (EqualsNoCase(shown, LoggedOnCode(db))) {
    readOnly = false;
  } else if (MayModifyOrganisation(db)) {
    readOnly = false;
    mayEdit = true;
  }
  const bool listsOpen = (mayEdit || meAdmin) && !shownAdmin;
  auto locked = [&](int node) {
    unsigned char editable[4] = {};
    GetCtrlCfgData(node, XCTRLCFG_EDITABLE, editable, sizeof editable);
    const bool fixed = editable[2] == 0;
    const char* name = GetCtrlName(node);
    if (!meAdmin && (node == codeNode || IsPasswordField(name))) return true;
    if (EqualsNoCase(name, "BTNPWDRULE") || EqualsNoCase(name, "BTNDEPTIP")) {
      return !(mayEdit || meAdmin);
    }
    if (EqualsNoCase(name, "CLGNIP") || EqualsNoCase(name, "CLGNMAC") ||
        EqualsNoCase(name, "BTNLGNMAC")) {
      return !listsOpen || fixed;
    }
    return readOnly || fixed || (node == codeNode && !mayEdit);
  };
  const int newCodeNode = GetCtrlCfgNode("XNEWCODE");
  for (int node = 1; node <= GetCtrlCount(); ++node) {
    // A new code goes into the code field: the button follows that field.
    SetCtrlReadOnly(node, locked(node == newCodeNode && codeNode > 0 ? codeNode : node));
  }
}

int CUserRecCtrl::ButtonMessage(const char* buttonName, int node) {
  if (EqualsNoCase(buttonName, "XNEWCODE")) {
    NewCode(GetCtrlCfgNodeFromOrgFldName("UUSR.CCODE"));
    return 1;
  }
  if (EqualsNoCase(buttonName, "BTNPWDRULE")) {
    EditPasswordRule();
    return 1;
  }
  if (EqualsNoCase(buttonName, "BTNLGNMAC")) {
    AddLoginMachine(*this, window_ != nullptr ? window_->GetSafeHwnd() : nullptr);
    return 1;
  }
  if (EqualsNoCase(buttonName, "BTNDEPTIP")) {
    SetShownDeptIp();
    return 1;
  }
  return XUpdateRecObjCtrl::ButtonMessage(buttonName, node);
}

void CUserRecCtrl::SetShownDeptIp() {
  const int node = tree_ != nullptr ? tree_->GetFocusNode() : -1;
  // The list goes below the tree's node: it must be the record shown, not a search result
  // elsewhere or a new record not yet saved.
  if (node < 0 || tree_->GetBITM_NID(node) != GetShowRecNID("UUSR")) {
    ShowOrgMessage(window_, T("must sel node"));
    return;
  }
  const bool written =
      SetDeptIpFromNode(*tree_, node, window_ != nullptr ? window_->GetSafeHwnd() : nullptr);
  if (written && GetChangedNodes(1).empty()) tree_->ShowNodeRecord(node);
}

void CUserRecCtrl::EditPasswordRule() {
  const auto field = [this](const char* name, int capacity) {
    std::string text(static_cast<std::size_t>(capacity), '\0');
    if (!GetTextByOrgFld(name, text.data(), capacity)) return std::string();
    return std::string(TrimBlanks(text.c_str()));
  };
  CPwdRuleDlg dialog;
  dialog.rule = field("UUSR.CPWDRULE", 32);
  dialog.days = field("UUSR.NPWDDAYS", 32);
  long long last = 0;
  if (ParseWholeNumber(field("UUSR.DMODIPWD", 64), &last))
    dialog.lastChange = static_cast<int>(last);
  const int before = dialog.lastChange;
  const int nid = GetShowRecNID("UUSR");
  if (IsOrganisationRoot(nid)) dialog.rootNid = nid;
  if (dialog.DoModal() != IDOK) return;
  SetTextByOrgFld("UUSR.CPWDRULE", dialog.rule.c_str());
  SetTextByOrgFld("UUSR.NPWDDAYS", dialog.days.c_str());
  if (dialog.lastChange != before) {
    SetTextByOrgFld("UUSR.DMODIPWD", std::to_string(dialog.lastChange).c_str());
  }
}

void CUserRecCtrl::NewCode(int codeNode) {
  if (codeNode < 1) return;
  if (!FieldText(codeNode, kShownCodeMax).empty() &&
      ShowOrgMessage(window_, T("create another code"), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
    return;
  }
  HRZCmdFunc entry = LoadButtonLib("XNEWCODE");
  if (entry == nullptr) return;
  char code[kNewCodeBuffer] = "UUSR";
  void* params[] = {GetDB()};
  entry(20, "XNEWCODE", params, code);
  if (code[0] != '\0') SetCtrlText(codeNode, code);
}

}  // namespace hrz

// The privilege editor's way into the organisation: new departments and users, and changes
// to the selected one, made in the user manager run embedded.
#include <algorithm>
#include <vector>

#include "entry/module_state.h"
#include "entry/texts.h"
#include "entry/usrmancfg.h"
#include "hrzcommon/text.h"
#include "org/org_rights.h"
#include "org/roledept.h"
#include "pickers/seldept_dlg.h"
#include "platform.h"
#include "privileges/pvg_prompts.h"
#include "privileges/usrfunc_dlg.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr char kFlowLogonFile[] = "kqflwlgn.xcf";
constexpr int kSettingCapacity = 512;

// From the root down to nid along the first place each record hangs (its link with the
// lowest NID), into path (kOrgPathSlots, the rest zero). A loop in the links stops the climb.
void FirstPlacePath(tagXCliDB* db, int nid, int* path) {
  std::vector<int> upward;
  for (int at = nid; at >= 1 && static_cast<int>(upward.size()) < kOrgPathSlots;) {
    if (std::find(upward.begin(), upward.end(), at) != upward.end()) break;
    upward.push_back(at);
    const std::string sql =
        "select NPID from UUSRBM where NCID = " + std::to_string(at) + " and NPID > 0 order by NID";
    XCliGenRS rs(db);
    int parent = 0;
    if (!rs.Open(1, sql.c_str()) || rs.IsEOF() ||
        !rs.GetFieldValue(0, XCLI_TYPE_INT32, &parent, 4)) {
      break;
    }
    at = parent;
  }
  std::fill(path, path + kOrgPathSlots, 0);
  std::copy(upward.rbegin(), upward.rend(), path);
}

}  // namespace

void CUserFuncPvgDlg::OnNewDept() {
  NewRecord("UDEPT");
}

void CUserFuncPvgDlg::OnNewUser() {
  NewRecord("UUSRI");
}

void CUserFuncPvgDlg::NewRecord(const char* kind) {
  if (!MayModifyOrganisation(Module().db)) {
    ShowPvgMessage(this, T("no pvg"));
    return;
  }
  CSelDeptDlg picker;
  picker.message = T("new sel dept");
  if (TreeShown() && tree_.GetFocusNode() >= 0) {
    tree_.OrgPathOf(tree_.GetFocusNode(), true, picker.presetPath);
  }
  if (picker.DoModal() != IDOK) return;
  CRoleDeptDlg manager;
  manager.SetPendingKind(kind);
  manager.SetPresetPath(picker.chosenPath, kOrgPathSlots);
  std::string hint;
  if (EqualsNoCase(kind, "UUSRI") && mode_ == PvgEditorMode::kFlowUsers) hint = FlowUserHint();
  if (!hint.empty()) manager.SetNewUserHint(hint.c_str());
  if (manager.DoModal() != IDOK || !TreeShown()) return;
  tree_.Load();
  if (!tree_.FocusPath(manager.GetResultPath())) tree_.SetFocusNode(0, TRUE, TRUE);
}

std::string CUserFuncPvgDlg::FlowUserHint() const {
  char local[MAX_PATH] = {};
  if (!DownloadServerFile(kFlowLogonFile) || !TempPathOfFile(local, kFlowLogonFile)) return {};
  char lastServer[kSettingCapacity] = {};
  char computerNameLogon[kSettingCapacity] = {};
  ReadLogonSettings(local, lastServer, computerNameLogon);
  DeleteFileA(local);
  const bool byMachine = EqualsNoCase(TrimBlanks(computerNameLogon), "true");
  return T(byMachine ? "new kqflwusr mac" : "new kqflwusr winusr");
}

void CUserFuncPvgDlg::OnModifyUser() {
  tagXCliDB* db = Module().db;
  if (!MayModifyOrganisation(db)) {
    ShowPvgMessage(this, T("no pvg"));
    return;
  }
  int path[kOrgPathSlots] = {};
  if (TreeShown()) {
    if (tree_.GetFocusNode() >= 0) tree_.OrgPathOf(tree_.GetFocusNode(), false, path);
  } else {
    FirstPlacePath(db, searchGrid_.GetRecNID(searchGrid_.GetFocusCell().row), path);
  }
  if (path[0] < 1) {
    ShowPvgMessage(this, T("must sel node"));
    return;
  }
  CRoleDeptDlg manager;
  manager.SetPresetPath(path, kOrgPathSlots);
  manager.DoModal();
  if (!TreeShown()) return;
  tree_.Load();
  if (tree_.FocusPath(path)) return;
  // The entry moved: find it again by where it hangs now.
  int nid = path[0];
  for (int slot = 1; slot < kOrgPathSlots && path[slot] >= 1; ++slot) nid = path[slot];
  FirstPlacePath(db, nid, path);
  if (!tree_.FocusPath(path)) tree_.SetFocusNode(0, TRUE, TRUE);
}

}  // namespace hrz

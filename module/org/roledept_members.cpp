// The manager's buttons that put entries into the organisation, move them, take them out of
// it or give an account back: Add User, Move To, Delete (with its Restore and Unlock faces)
// and Remove. The server decides each change again.
#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/account_state.h"
#include "org/org_prompts.h"
#include "org/org_rights.h"
#include "org/roledept.h"
#include "org/seluser_dlg.h"
#include "pickers/seldept_dlg.h"
#include "support/text_patterns.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");
SectionTexts OtherTexts;

constexpr int kLabelCapacity = 256;  // a node's label, at most 255 characters
constexpr int kCodeCapacity = 49;    // the pane's code, at most 48 characters
constexpr int kCellCapacity = 256;
constexpr int kNodeFieldCapacity = 64;  // code and name of a node, at most 63 characters
constexpr RECT kHiddenTreeRect{0, 0, 100, 100};
constexpr int kRecordCodeCapacity = 128;  // XCliNIDToCode's code and name
constexpr int kRecordNameCapacity = 256;
constexpr int kRestoredState = 255;

// True when target is nid itself or lies anywhere below it: moving nid there makes a loop.
bool IsAtOrBelow(CWnd* owner, tagXCliDB* db, int nid, int target) {
  XBOMTree below;
  below.Create(0, kHiddenTreeRect, owner, 0);
  below.SetDB(db);
  below.AddRootNode("UUSR", nid, TRUE);
  below.ExpandAll(0);
  for (int node = 0; node < below.GetNodes(-1); ++node) {
    if (below.GetBITM_NID(node) == target) return true;
  }
  return false;
}

bool Confirmed(CWnd* owner, const std::string& question) {
  return ShowOrgMessage(owner, question.c_str(), MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
}

}  // namespace

void CRoleDeptDlg::OnDelete() {
  if (IsShownUserDeleted(pane_)) {
    if (RestoreShownUser()) NoteOrganisationChanged();
  } else if (IsShownUserLocked(pane_)) {
    if (UnlockShownUser()) NoteOrganisationChanged();
  } else if (GridShown() ? DeleteGridUser() : DeleteOrRemove(false)) {
    NoteOrganisationChanged();
  }
  SetDeleteButtonText(pane_, this);
}

void CRoleDeptDlg::OnAddUser() {
  if (AddUserToDept()) NoteOrganisationChanged();
}

bool CRoleDeptDlg::AddUserToDept() {
  tagXCliDB* db = Module().db;
  if (!MayModifyOrganisation(db)) {
    ShowOrgMessage(this, T("no pvg"));
    return false;
  }
  if (!SavePendingNewRecord()) return false;
  const int node = GridShown() ? -1 : tree_.GetFocusNode();
  char kind[17] = {};
  const int dept = node >= 0 ? tree_.GetBITM_NID(node, kind) : -1;
  if (dept < 1 || !IsDeptKind(kind)) {
    ShowOrgMessage(this, T("must sel node"));
    return false;
  }
  CSelUserDlg picker;
  picker.SetKindList("UUSRI,KQUSR");
  if (picker.DoModal() != IDOK || picker.GetSel() < 1) return false;
  // A user who hangs there already keeps the one place; the department shows the outcome.
  const bool attached = AttachToNodeRequest(db, dept, picker.GetSel()) >= 1;
  tree_.ReloadChildren(node);
  if (!attached) ShowOrgMessage(this, T("save error"));
  return attached;
}

void CRoleDeptDlg::OnMoveTo() {
  if (MoveNode()) NoteOrganisationChanged();
}

bool CRoleDeptDlg::MoveNode() {
  tagXCliDB* db = Module().db;
  if (!MayModifyOrganisation(db)) {
    ShowOrgMessage(this, T("no pvg"));
    return false;
  }
  const int node = GridShown() ? -1 : tree_.GetFocusNode();
  const int nid = node >= 0 ? tree_.GetBITM_NID(node) : -1;
  const int linkNid = node >= 0 ? tree_.GetBBOM_NID(node) : -1;
  if (nid < 1 || linkNid < 1) {
    ShowOrgMessage(this, T("must sel user"));
    return false;
  }
  const auto field = [&](const char* name) {
    char text[kNodeFieldCapacity] = {};
    tree_.GetTextByOrgFld(node, name, text, kNodeFieldCapacity);
    return std::string(TrimBlanks(text));
  };
  const std::string code = field("UUSR.CCODE");
  const std::string name = field("UUSR.CNAME");
  CSelDeptDlg picker;
  picker.message = FormatTemplate(T("mv user dept"), name.empty() ? code : code + " / " + name);
  if (picker.DoModal() != IDOK) return false;
  if (IsAtOrBelow(this, db, nid, picker.chosenNid)) {
    ShowOrgMessage(this, OtherTexts("dlg_addbom", "bom loop"));
    return false;
  }
  const std::string sql = "update UUSRBM set NPID = " + std::to_string(picker.chosenNid) +
                          " where NID = " + std::to_string(linkNid);
  if (XCliDB_ExecuteSQL(db, sql.c_str(), 0, 0) < 1) {
    ShowOrgMessage(this, T("save error"));
    return false;
  }
  tree_.DeleteNode(node, FALSE, TRUE);
  pane_.ClearRec(TRUE);
  const int reached = tree_.ExpandAlongPath(picker.chosenPath, kOrgPathSlots);
  if (reached >= 0) {
    tree_.DeleteNode(reached, TRUE, FALSE);  // read its children again, the moved one among them
    tree_.Expand(reached);
    const int moved = tree_.FindChildByNID(reached, nid);
    if (moved >= 0) {
      tree_.SetFocusNode(moved, TRUE, TRUE);
      tree_.EnsureNodeVisible(moved);
    }
  }
  tree_.Invalidate();
  return true;
}

void CRoleDeptDlg::OnRemove() {
  DeleteOrRemove(true);
  NoteOrganisationChanged();  // whatever the result: the server may have acted before failing
}

bool CRoleDeptDlg::RestoreShownUser() {
  const int nid = pane_.GetShowRecNID("UUSR");
  if (nid < 1 || !RestoreUser(nid)) return false;
  if (GridShown()) {
    ShowChangedGridRow(nid);
  } else {
    // The user may still hang where the tree shows it: read the tree again around it.
    pane_.ClearRec(FALSE);
    tree_.RefreshKeepPath(tree_.GetFocusNode());
  }
  return true;
}

bool CRoleDeptDlg::RestoreUser(int nid) {
  tagXCliDB* db = Module().db;
  char code[kRecordCodeCapacity] = {};
  char name[kRecordNameCapacity] = {};
  if (!XCliNIDToCode(db, "UUSR", nid, code, nullptr, name, 0)) {
    ShowOrgMessage(this, T("qry db err"));
    return false;
  }
  std::string restored = code;
  for (std::size_t at; (at = restored.find("[del]")) != std::string::npos;) restored.erase(at, 5);
  restored = std::string(TrimBlanks(restored));
  if (!MayModifyOrganisation(db)) {
    ShowOrgMessage(this, T("no pvg"));
    return false;
  }
  if (!IsUserCodeFree(db, restored.c_str(), nid)) {
    ShowOrgMessage(this, FormatTemplate(T("msg_uno_repeat"), restored).c_str());
    return false;
  }
  const std::string trimmedName(TrimBlanks(name));
  CSelUserDlg picker;
  picker.SetKindList("UDEPT,UROLE");
  picker.SetCaption((std::string(T("cap restore")) + " (" + code +
                     (trimmedName.empty() ? "" : " / " + trimmedName) + ")")
                        .c_str());
  if (picker.DoModal() != IDOK) return false;
  if (AttachToNodeRequest(db, picker.GetSel(), nid) < 1) {
    ShowOrgMessage(this, T("save error"));
    return false;
  }
  const std::string sql = "update UUSR set CCODE = " + SqlQuoted(restored) +
                          ", NSTAT = " + std::to_string(kRestoredState) +
                          ", NPA = null, NPB = null, NPC = null, NPD = null, NTRYLGN = null, "
                          "DTRYLGNTM = null where NID = " +
                          std::to_string(nid);
  if (XCliDB_ExecuteSQL(db, sql.c_str(), 0, 0) < 1) {
    ShowOrgMessage(this, T("save error"));
    return false;
  }
  ShowOrgMessage(this, OtherTexts("normal_res", "save ok"));
  return true;
}

void CRoleDeptDlg::ShowChangedGridRow(int nid) {
  const int row = grid_.GetFocusCell().row;
  grid_.RefindRow(row, ("NID = " + std::to_string(nid)).c_str());
  pane_.ClearRec(FALSE);
  grid_.ShowRowRecord(grid_.GetFocusCell().row);
}

bool CRoleDeptDlg::UnlockShownUser() {
  const int nid = pane_.GetShowRecNID("UUSR");
  if (nid < 1) return false;
  const std::string sql =
      "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = " + std::to_string(nid);
  if (XCliDB_ExecuteSQL(Module().db, sql.c_str(), 0, 0) < 1) {
    ShowOrgMessage(this, T("save error"));
    return false;
  }
  ShowOrgMessage(this, OtherTexts("normal_res", "save ok"));
  if (GridShown()) {
    ShowChangedGridRow(nid);
  } else {
    pane_.ClearRec(FALSE);
    tree_.ShowNodeRecord(tree_.GetFocusNode());
  }
  return true;
}

bool CRoleDeptDlg::DeleteOrRemove(bool remove) {
  tagXCliDB* db = Module().db;
  if (!MayModifyOrganisation(db)) {
    ShowOrgMessage(this, T("no pvg"));
    return false;
  }
  const int node = tree_.GetFocusNode();
  char kind[17] = {};
  const int nid = node >= 0 ? tree_.GetBITM_NID(node, kind) : -1;
  if (nid < 0) {
    ShowOrgMessage(this, T("must sel node"));
    return false;
  }
  const int linkNid = tree_.GetBBOM_NID(node);
  char labelText[kLabelCapacity] = {};
  tree_.GetNodeText(node, labelText, kLabelCapacity);
  const std::string label = labelText;

  if (IsUserKind(kind)) {
    char codeText[kCodeCapacity] = {};
    pane_.GetTextByOrgFld("UUSR.CCODE", codeText, kCodeCapacity);
    if (!remove && IsAdminCode(codeText)) {
      ShowOrgMessage(this, T("sys user not del"));
      return false;
    }
    if (!Confirmed(this, remove ? FormatTemplate(T("sure remove"), label)
                                : FormatTemplate(T("sure del"), label)))
      return false;
    const bool done = remove ? RemoveUserRequest(db, linkNid) : DeleteUserRequest(db, nid);
    if (!done) {
      ShowOrgMessage(this, remove ? T("err remove user") : T("err del user"));
      return false;
    }
    tree_.DeleteNode(node, FALSE, TRUE);
    pane_.ClearRec(FALSE);
    return true;
  }
  if (remove || (!EqualsNoCase(kind, "UDEPT") && !EqualsNoCase(kind, "UROLE"))) return false;
  if (tree_.GetParentIndex(node) < 0) {
    ShowOrgMessage(this, T("del root"));
    return false;
  }
  if (tree_.GetChildNodesCount(node) > 0) {
    ShowOrgMessage(this, T("del not empty cat"));
    return false;
  }
  if (!Confirmed(this, FormatTemplate(T("sure del cat"), label))) return false;
  switch (DeleteNodeRequest(db, nid)) {
    case DeleteNodeOutcome::kDeleted:
      tree_.DeleteNode(node, FALSE, TRUE);
      pane_.ClearRec(FALSE);
      return true;
    case DeleteNodeOutcome::kNotEmpty:
      ShowOrgMessage(this, T("del not empty cat"));
      return false;
    case DeleteNodeOutcome::kFailed:
      break;
  }
  ShowOrgMessage(this, T("err del node"));
  return false;
}

bool CRoleDeptDlg::DeleteGridUser() {
  tagXCliDB* db = Module().db;
  if (!MayModifyOrganisation(db)) {
    ShowOrgMessage(this, T("no pvg"));
    return false;
  }
  const int row = grid_.GetFocusCell().row;
  const int codeCol = grid_.GetColByOrgFldName("UUSR.CCODE");
  const int nid = row >= 1 && row < grid_.GetRows() ? grid_.GetRecNID(row) : -1;
  if (nid < 0 || !grid_.IsUserRow(row) || codeCol < 0) {
    ShowOrgMessage(this, T("must sel node"));
    return false;
  }
  const auto cell = [&](int col) {
    char text[kCellCapacity] = {};
    if (col >= 0) grid_.GetItemText(row, col, text, kCellCapacity);
    return std::string(TrimBlanks(text));
  };
  const std::string code = cell(codeCol);
  const std::string name = cell(grid_.GetColByOrgFldName("UUSR.CNAME"));
  const std::string label = name.empty() ? code : code + " : " + name;
  if (IsAdminCode(code)) {
    ShowOrgMessage(this, T("sys user not del"));
    return false;
  }
  if (!Confirmed(this, FormatTemplate(T("sure del"), label))) return false;
  if (!DeleteUserRequest(db, nid)) {
    ShowOrgMessage(this, T("err del user"));
    return false;
  }
  grid_.DeleteRow(row, TRUE);
  pane_.ClearRec(FALSE);
  return true;
}

}  // namespace hrz

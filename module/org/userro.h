// CUserRecCtrl: the record pane of the user manager. It shows one user, department or role
// from "UUSR", decides which fields the logged-in user may edit, makes new records and
// saves them through the server in the record save message (SaveUserRec, modiuser.cpp).
#pragma once

#include "xrecobjctrl.h"

namespace hrz {

class CUserTree;

// The text a password field shows until a new password is typed over it.
constexpr const char* kPwdMask = "[pwd_mask]";
constexpr int kPaneModeShowing = 0;
constexpr int kPaneModeNew = 2;

class CUserRecCtrl : public XUpdateRecObjCtrl {
 public:
  // The window's tree (for the parent of new records and the organisation's root) and the
  // window (owner of messages, its Delete button); each may be null.
  void SetLinks(CUserTree* tree, CWnd* window);

  int GetMode() const { return mode_; }
  // Empties the pane for a new record of kind "UUSR", "UDEPT" or "UROLE"; 1 when done, 0
  // without the privilege ("no pvg" shown) or its layout.
  int NewRecord(const char* kind);
  // Saves the pane's changes: the number of fields plus passwords saved, 0 when there was
  // nothing to save, -1 on failure (edits kept; messages of the checks already shown).
  int SaveUserRec();
  // One field's check before a save: 1 good, 0 refused (its message shown).
  int CheckUserField(int node);

  BOOL InitCtrls(const char* layout, BOOL force = TRUE) override;
  BOOL ShowRec(const char* const* tables, const int* nids, int count, int mode = 1,
               int reserved = 0) override;
  BOOL ClearRec(BOOL redraw = TRUE) override;
  // Passwords never count; the rest as the base decides.
  BOOL IsFieldChanged(int node, int mode) override;

 protected:
  int ButtonMessage(const char* buttonName, int node) override;

 private:
  void ApplyAccessRules();
  void ShowPasswordMasks();
  bool IsOrganisationRoot(int nid) const;
  std::string FieldText(int node, int maxChars) const;
  int SetPasswordAfterSave();
  void NewCode(int codeNode);
  // Runs the password rule editor on the shown record and puts its values into the fields.
  void EditPasswordRule();
  // The department IP action on the tree's focused node, which must be the shown record;
  // the record is shown again with its new list unless it holds edits.
  void SetShownDeptIp();

  int mode_ = kPaneModeShowing;
  CUserTree* tree_ = nullptr;
  CWnd* window_ = nullptr;
};

}  // namespace hrz

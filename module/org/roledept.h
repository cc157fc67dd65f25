// CRoleDeptDlg: the user manager of "XUSRMAN" and "XROLEMAN". The organisation tree, or the
// quick-search grid after a search, on the left; the record pane of the selected entry on
// the right; search, new records and save along the bottom.
//
// Embedded run: a caller sets the pending kind ("UDEPT" or "UUSRI") and a preset path, runs
// the window modally and, after IDOK, reads the path of the record it created.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "org/userro.h"
#include "org/usertree.h"
#include "org/usrfndlg.h"
#include "support/org_path.h"
#include "tips.h"
#include "xctrl_host.h"

namespace hrz {

class CRoleDeptDlg : public CCoolDialog {
 public:
  CRoleDeptDlg();

  // Embedded run: a new record of kind "UDEPT" or "UUSRI" starts 300 ms after the window
  // opens, in the department reached by path (slots 1.. from the root down).
  void SetPendingKind(const char* kind);
  void SetPresetPath(const int* path, int count);
  // The hint shown by New User in the embedded run, instead of "new usr here".
  void SetNewUserHint(const char* text);
  // After an embedded run ended by Save: NIDs from the root down to the saved record.
  const int* GetResultPath() const { return resultPath_; }

  // An add, remove, move, delete, restore or unlock changed the organisation: the server
  // reloads users and privileges when the window closes.
  void NoteOrganisationChanged() { changed_ = 1; }

  BOOL PreTranslateMessage(MSG* msg) override;
  void OnPaint(CDC& dc) override;
  void OnTimer(UINT_PTR id) override;

 protected:
  BOOL OnInitDialog() override;
  void OnDestroy() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnSearch();
  void OnSwitch();
  void OnRefresh();
  void OnSave();
  void OnWhereUsed();
  void OnDelete();
  void OnRemove();
  void OnMoveTo();
  void OnAddUser();
  // Each true when the organisation changed; each tells the user why not.
  bool MoveNode();
  bool AddUserToDept();
  bool RestoreShownUser();
  bool RestoreUser(int nid);
  bool UnlockShownUser();
  bool DeleteOrRemove(bool remove);
  bool DeleteGridUser();
  // The focused grid row read again after its record (nid) changed, and shown.
  void ShowChangedGridRow(int nid);
  void OnNewDept();
  void OnNewUser();
  void CreatePanes();
  void OpenPresetPath();
  bool GridShown() const;
  void ShowView(bool grid);
  // Saves a pending new record first; false when the user chose to stay with it.
  bool SavePendingNewRecord();
  void NewRecord(const char* kind);
  void ShowNewRecordHint(bool user);

  XCtrlContainer leftPane_;
  CUserTree tree_;
  CUserFindGrid grid_;
  CRecObjContainer recordBox_;
  CUserRecCtrl pane_;
  char layoutName_[128] = "UUSR";
  CBitmapBalloonTip balloon_;
  CCoolToolTip toolTip_;
  int changed_ = 0;
  std::string pendingKind_;
  int presetPath_[kOrgPathSlots] = {};
  int resultPath_[kOrgPathSlots] = {};
  std::string newUserHint_;
};

}  // namespace hrz

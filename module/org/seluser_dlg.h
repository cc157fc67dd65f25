// CSelUserDlg: picks one entry of the organisation (a user, a department or a role) in the
// tree or in the quick-search grid, limited to the kinds the caller lists. "XSELUSER", Add
// User and Restore open it.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "org/usrfndlg.h"
#include "xbomtree.h"
#include "xctrl_host.h"

namespace hrz {

// The longest kind list and caption a caller may give, in characters.
constexpr std::size_t kSelUserTextMax = 127;

// Whether an entry of kind may be chosen with kindList: kinds separated by "," or ";",
// blanks around them dropped, compared without regard to case; a piece longer than 127
// characters names nothing. A piece "*" or "<all>" takes every kind. An entry without a
// kind, or of kind "*" or "<all>", is always taken. Either text may be null.
bool KindInList(const char* kind, const char* kindList);

class CSelUserDlg : public CCoolDialog {
 public:
  CSelUserDlg();

  // Before DoModal. A kind list longer than 127 characters is refused (false, the list
  // stays as it was): cut, it could name a kind the caller never meant. A longer caption is
  // cut. Null or empty: no kind / the default title.
  bool SetKindList(const char* kinds);
  static bool IsKindListAccepted(const char* kinds);
  void SetCaption(const char* caption);

  // After DoModal gave IDOK: the chosen NID (-1 before) and, when asked, its kind.
  int GetSel(std::string* kind = nullptr) const;

 protected:
  BOOL OnInitDialog() override;
  void OnPaint(CDC& dc) override;

 private:
  void OnSearch();
  void OnSwitch();
  void OnRefresh();
  void OnOk();
  bool GridShown() const;
  void ShowView(bool grid);
  void ReloadTree();

  int selectedNid_ = -1;
  std::string selectedKind_;
  std::string caption_;
  std::string kindList_;
  XCtrlContainer viewBox_;
  XBOMTree tree_;
  CUserFindGrid grid_;
};

}  // namespace hrz

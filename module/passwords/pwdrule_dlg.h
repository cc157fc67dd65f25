// The password rule editor: one record's rule, lifetime and change-at-next-logon mark. On
// the organisation's root it can also write the rule into every user row.
#pragma once

#include <string>

#include "cool_controls.h"
#include "cool_dialog.h"
#include "xctrl_host.h"
#include "xrecobjctrl.h"

namespace hrz {

class CPwdRuleDlg : public CCoolDialog {
 public:
  CPwdRuleDlg();

  // Set before DoModal, read back after OK.
  std::string rule;    // "CPWDRULE"
  std::string days;    // "NPWDDAYS"
  int lastChange = 0;  // "DMODIPWD"
  int rootNid = -1;    // the edited record's NID when it is the organisation's root

 protected:
  BOOL OnInitDialog() override;

 private:
  void BuildOptionPanel();
  void ShowRule(const std::string& shown);
  void ShowDays(const std::string& shown);
  void ShowLastChange(int value);
  void LoadDefault();
  void CreateRootChecks();
  void OnBnClickedOk();
  bool Option(const char* name) const;
  void SetOption(const char* name, bool checked);
  void Notify(const char* text);

  CRecObjContainer optionsBox_;
  XShowRecObjCtrl options_;
  CCoolCheckBox newUsers_;
  CCoolCheckBox oldUsers_;
};

}  // namespace hrz

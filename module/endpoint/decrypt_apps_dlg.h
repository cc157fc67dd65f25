// Decrypt applications: the kernel policy's applications in a tree, from which an
// administrator checks those of a user's decrypt flow. OK stores them in the user's
// CDECFLWAPPS; the privilege editor opens it from its decrypt-flow column.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "endpoint/krn_app_tree.h"
#include "support/section_resource.h"
#include "xctrl_host.h"

namespace hrz {

class CDecryptAppsDlg : public CCoolDialog {
 public:
  explicit CDecryptAppsDlg(CWnd* parent = nullptr);

  // The user whose list OK stores; -1 (the default) is nobody.
  void SetUserNid(int nid) { userNid_ = nid; }
  // The stored list after OK: the checked executables joined with ", ", or empty.
  const std::string& ResultText() const { return result_; }

  // The file beside which the policy file lies; empty (the default) is the module's own.
  std::string policyModuleFile;

 protected:
  BOOL OnInitDialog() override;
  void OnPaint(CDC& dc) override;

 private:
  void OnOk();
  std::string ModuleFile() const;

  int userNid_ = -1;
  std::string result_;
  SectionResource policy_;
  XCtrlContainer treeBox_;
  XKrnAppTree tree_;
};

}  // namespace hrz

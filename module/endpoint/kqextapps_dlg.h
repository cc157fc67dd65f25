// CKQExtAppsDlg: the decrypt-flow applications of one user typed as free text, for hosts
// that list them by hand instead of choosing them from the policy file's tree. OK stores
// the text (an empty one only once the user confirms clearing the list) and closes only
// when the store took it.
#pragma once

#include <string>

#include "cool_dialog.h"

namespace hrz {

class CKQExtAppsDlg : public CCoolDialog {
 public:
  explicit CKQExtAppsDlg(CWnd* parent = nullptr);

  void SetUserNid(int nid) { nid_ = nid; }
  // After OK: the stored text.
  const std::string& ResultText() const { return result_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  int ShowMessage(const char* text, const char* caption, UINT type);

  int nid_ = -1;
  std::string result_;
};

}  // namespace hrz

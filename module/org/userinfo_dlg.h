// The signed-in user's own record, to read and change, with the two signature uploads.
#pragma once

#include "cool_dialog.h"
#include "org/userro.h"
#include "xctrl_host.h"

namespace hrz {

class CUserInfoDlg : public CCoolDialog {
 public:
  CUserInfoDlg();

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnOk();
  void OnBitmapSignature();
  void OnDrawingSignature();

  CRecObjContainer recordBox_;
  CUserRecCtrl record_;
};

}  // namespace hrz

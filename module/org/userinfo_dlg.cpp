#include "org/userinfo_dlg.h"

#include "dialog_template.h"
#include "entry/commands.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "file_dialog.h"
#include "org/org_prompts.h"
#include "pickers/dwgsign_dlg.h"
#include "pickers/sign_upload.h"
#include "resources/dialogs/userinfo_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr char kBitmapFilter[] = "Bmp Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";
constexpr const char* kPasswordFields[] = {"CPWD", "RE_CPWD"};

}  // namespace

CUserInfoDlg::CUserInfoDlg() : CCoolDialog(IDD_USERINFO) {
  MapCommand(IDOK, &CUserInfoDlg::OnOk);
  MapCommand(IDC_USERINFO_BMP_SIGN, &CUserInfoDlg::OnBitmapSignature);
  MapCommand(IDC_USERINFO_DWG_SIGN, &CUserInfoDlg::OnDrawingSignature);
}

BOOL CUserInfoDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap_user_info"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  SetDlgItemText(IDC_USERINFO_BMP_SIGN, T("btn_bmp_signature"));
  SetDlgItemText(IDC_USERINFO_DWG_SIGN, T("btn_dwg_signature"));
  // The template hides the signature buttons; without them a user could never store a
  // signature, so they are shown.
  for (int id : {IDC_USERINFO_BMP_SIGN, IDC_USERINFO_DWG_SIGN}) {
    if (CWnd* button = GetDlgItem(id)) button->ShowWindow(SW_SHOW_WINDOW);
  }

  tagXCliDB* db = Module().db;
  recordBox_.CreateOver(WS_VISIBLE, this, IDC_USERINFO_RECORD_FRAME, IDC_USERINFO_RECORD);
  RECT box{};
  recordBox_.GetClientRect(&box);
  record_.Create(WS_VISIBLE, box, &recordBox_, IDC_USERINFO_RECORD_FORM);
  record_.SetDB(db);
  record_.SetParentLib(Module().lib);
  record_.SetLinks(nullptr, this);
  recordBox_.SetXCtrl(&record_);
  record_.InitCtrls("UUSR", TRUE);
  const char* tables[] = {"UUSR"};
  const int nid = XCliGetCurrentUserNID(db);
  record_.ShowRec(tables, &nid, 1, 1, 0);
  record_.Layout();
  for (const char* field : kPasswordFields) {
    const int node = record_.GetCtrlCfgNode(field);
    if (node > 0) record_.SetCtrlReadOnly(node, TRUE);
  }
  return TRUE;
}

void CUserInfoDlg::OnOk() {
  if (record_.SaveUserRec() < 0) {
    ShowOrgMessage(this, T("save error"));
    return;
  }
  ShowOrgMessage(this, T("save done"));
  EndDialog(IDOK);
}

void CUserInfoDlg::OnBitmapSignature() {
  CFileDialog files(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST, kBitmapFilter, this);
  if (files.DoModal() != IDOK) return;
  const bool stored = StoreUserSignFile("CBMPSG", files.GetPathName().c_str()) == 1;
  ShowOrgMessage(this, stored ? T("save done") : T("save error"));
}

void CUserInfoDlg::OnDrawingSignature() {
  ModuleResourceScope resources;
  CDwgSignDlg dialog;
  dialog.DoModal();
}

int CmdUserInfo(const char*, char*) {
  ModuleResourceScope resources;
  CUserInfoDlg dialog;
  dialog.DoModal();
  return 1;
}

}  // namespace hrz

// Change password (CChgPwdDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_CHGPWD 101
#define IDC_CHGPWD_OLD_PWD_LABEL 1055
#define IDC_CHGPWD_OLD_PWD 1007
#define IDC_CHGPWD_NEW_PWD_LABEL 1056
#define IDC_CHGPWD_NEW_PWD 1005
#define IDC_CHGPWD_CONFIRM_PWD_LABEL 1057
#define IDC_CHGPWD_CONFIRM_PWD 1004
#define IDC_CHGPWD_NOTICE_AREA 1031  // hidden; the notice is painted over it

// User information (CUserInfoDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_USERINFO 138
#define IDC_USERINFO_RECORD_FRAME 1012  // hidden; the record pane takes its place
#define IDC_USERINFO_BMP_SIGN 1014      // created hidden
#define IDC_USERINFO_DWG_SIGN 1017      // created hidden

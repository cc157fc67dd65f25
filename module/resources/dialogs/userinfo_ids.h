// User information (CUserInfoDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_USERINFO 138
#define IDC_USERINFO_RECORD_FRAME 1012  // hidden; the record pane takes its place
#define IDC_USERINFO_BMP_SIGN 1014      // created hidden
#define IDC_USERINFO_DWG_SIGN 1017      // created hidden
#define IDC_USERINFO_RECORD 1052       // over the record frame: holds the record pane
#define IDC_USERINFO_RECORD_FORM 1053  // the record pane, in IDC_USERINFO_RECORD

// Department logon addresses (CSetDeptIpDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_DEPTIP 145
#define IDC_DEPTIP_HELP 1043
#define IDC_DEPTIP_LIST_LABEL 1041
#define IDC_DEPTIP_LIST 1042  // multi-line

// Outgoing-file limits (CWaiFaCfgDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_WAIFACFG 139
#define IDC_WAIFACFG_COUNT_LABEL 1032
#define IDC_WAIFACFG_COUNT 1034
#define IDC_WAIFACFG_TIME_LABEL 1031
#define IDC_WAIFACFG_TIME 1033

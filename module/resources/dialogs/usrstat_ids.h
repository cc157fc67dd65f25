// Online user statistics (CUserStatDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_USRSTAT 1012
#define IDC_USRSTAT_TREE_FRAME 1060  // hidden; the tree pane takes its place
#define IDC_USRSTAT_GRID_FRAME 1009  // hidden; the grid pane takes its place
#define IDC_USRSTAT_SEARCH_TEXT 1065
#define IDC_USRSTAT_SEARCH 1064

// Online user statistics (CUserStatDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_USRSTAT 1012
#define IDC_USRSTAT_TREE_FRAME 1060  // hidden; the tree pane takes its place
#define IDC_USRSTAT_GRID_FRAME 1009  // hidden; the grid pane takes its place
#define IDC_USRSTAT_SEARCH_TEXT 1065
#define IDC_USRSTAT_SEARCH 1064
// Created at run time.
#define IDC_USRSTAT_TREE_PANE 1066  // over the tree frame: holds the organisation tree
#define IDC_USRSTAT_GRID_PANE 1067  // over the grid frame: holds the statistics grid
#define IDC_USRSTAT_TREE 1068       // the organisation tree, in IDC_USRSTAT_TREE_PANE
#define IDC_USRSTAT_GRID 1069       // the statistics grid, in IDC_USRSTAT_GRID_PANE
#define IDC_USRSTAT_SPLITTER 1070   // the bar between the panes

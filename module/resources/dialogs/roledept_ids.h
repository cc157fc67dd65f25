// User, department and role manager (CRoleDeptDlg): ids shared by its template, class and tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_ROLEDEPT 132
#define IDC_ROLEDEPT_VIEW_FRAME 1008    // hidden; the tree or the search grid takes its place
#define IDC_ROLEDEPT_RECORD_FRAME 1012  // hidden; the record pane takes its place
#define IDC_ROLEDEPT_SEARCH_TEXT 1003
#define IDC_ROLEDEPT_SEARCH 1047
#define IDC_ROLEDEPT_SWITCH 1051
#define IDC_ROLEDEPT_NEW_DEPT 1034
#define IDC_ROLEDEPT_NEW_USER 1022
#define IDC_ROLEDEPT_ADD_USER 1019
#define IDC_ROLEDEPT_MOVE_TO 1045
#define IDC_ROLEDEPT_REMOVE 1038
#define IDC_ROLEDEPT_DELETE 1026  // Delete, Restore or Unlock
#define IDC_ROLEDEPT_WHERE_USED 1040
#define IDC_ROLEDEPT_REFRESH 1042
// Created at run time.
#define IDC_ROLEDEPT_VIEW 1010         // over the view frame: holds the tree or the grid
#define IDC_ROLEDEPT_TREE 1011         // the organisation tree, in IDC_ROLEDEPT_VIEW
#define IDC_ROLEDEPT_GRID 1013         // the quick-search grid, in IDC_ROLEDEPT_VIEW
#define IDC_ROLEDEPT_RECORD 1053       // over the record frame: holds the record pane
#define IDC_ROLEDEPT_RECORD_FORM 1054  // the record pane, in IDC_ROLEDEPT_RECORD

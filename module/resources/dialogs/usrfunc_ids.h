// Function privilege editor (CUserFuncPvgDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_USRFUNC 134
#define IDC_USRFUNC_VIEW_FRAME 1006    // hidden; the tree or the search grid takes its place
#define IDC_USRFUNC_GRID_FRAME 1009    // hidden; the privilege grid takes its place
#define IDC_USRFUNC_MESSAGE_AREA 1031  // hidden; the message is painted over it
#define IDC_USRFUNC_PARENT_PVG_LEGEND 1033
#define IDC_USRFUNC_OWN_PVG_LEGEND 1035
#define IDC_USRFUNC_SEARCH_TEXT 1003
#define IDC_USRFUNC_SEARCH 1047
#define IDC_USRFUNC_SWITCH 1051
#define IDC_USRFUNC_NEW_DEPT 1034
#define IDC_USRFUNC_NEW_USER 1022
#define IDC_USRFUNC_MODIFY_USER 1027
#define IDC_USRFUNC_REFRESH 1042
#define IDC_USRFUNC_MENU_PVG 1029  // created hidden; shown to the administrator
#define IDC_USRFUNC_NEW_PVG 1025   // created hidden; shown to the administrator
// Created at run time.
#define IDC_USRFUNC_VIEW 1010         // over the view frame: holds the tree or the search grid
#define IDC_USRFUNC_TREE 1011         // the organisation tree, in IDC_USRFUNC_VIEW
#define IDC_USRFUNC_SEARCH_GRID 1013  // the quick-search grid, in IDC_USRFUNC_VIEW
#define IDC_USRFUNC_GRID_BOX 1053     // over the grid frame: holds the privilege grid
#define IDC_USRFUNC_GRID 1054         // the privilege grid, in IDC_USRFUNC_GRID_BOX
#define IDC_USRFUNC_SPLITTER 1055     // the bar between the two panes

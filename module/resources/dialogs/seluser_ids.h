// Select user (CSelUserDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_SELUSER 133
#define IDC_SELUSER_VIEW_FRAME 1008  // hidden; the tree or the search grid takes its place
#define IDC_SELUSER_SEARCH_TEXT 1003
#define IDC_SELUSER_SEARCH 1047
#define IDC_SELUSER_SWITCH 1051
#define IDC_SELUSER_REFRESH 1042
#define IDC_SELUSER_VIEW 1010  // over the frame: holds the tree or the grid
#define IDC_SELUSER_TREE 1011  // the organisation, in IDC_SELUSER_VIEW
#define IDC_SELUSER_GRID 1012  // the search result, in IDC_SELUSER_VIEW

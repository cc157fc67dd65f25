// View signatures (CViewUserSignDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_VIEWUSERSIGN 144
#define IDC_VIEWUSERSIGN_VIEW_FRAME 1006   // hidden; the tree or the search grid takes its place
#define IDC_VIEWUSERSIGN_STATUS_AREA 1042  // hidden; the status line is painted over it
#define IDC_VIEWUSERSIGN_SEARCH_TEXT 1034
#define IDC_VIEWUSERSIGN_SEARCH 1047
#define IDC_VIEWUSERSIGN_USER_TREE 1041  // created hidden
#define IDC_VIEWUSERSIGN_DWG_SIGN 1043
#define IDC_VIEWUSERSIGN_VIEW 1010  // over the frame: holds the tree or the grid
#define IDC_VIEWUSERSIGN_TREE 1011  // the organisation, in IDC_VIEWUSERSIGN_VIEW
#define IDC_VIEWUSERSIGN_GRID 1012  // the search result, in IDC_VIEWUSERSIGN_VIEW

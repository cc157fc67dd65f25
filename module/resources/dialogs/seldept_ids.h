// Select department (CSelDeptDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_SELDEPT 142
#define IDC_SELDEPT_MESSAGE 1031
#define IDC_SELDEPT_TREE_FRAME 1006  // hidden; the tree takes its place
#define IDC_SELDEPT_VIEW 1010  // over the frame: holds the tree
#define IDC_SELDEPT_TREE 1011  // the departments and roles, in IDC_SELDEPT_VIEW

// Where used (CWhereUseDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_WHEREUSE 137
#define IDC_WHEREUSE_TREE_FRAME 1008  // hidden; the tree takes its place
#define IDC_WHEREUSE_VIEW 1010  // over the frame: holds the tree
#define IDC_WHEREUSE_TREE 1011  // the where-used tree, in IDC_WHEREUSE_VIEW

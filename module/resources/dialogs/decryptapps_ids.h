// Decrypt applications (CDecryptAppsDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_DECRYPTAPPS 1116
#define IDC_DECRYPTAPPS_TREE_FRAME 1023  // hidden; the application tree takes its place
#define IDC_DECRYPTAPPS_NOTE 1031
#define IDC_DECRYPTAPPS_VIEW 1024  // over the frame: holds the tree
#define IDC_DECRYPTAPPS_TREE 1025  // the application tree, in IDC_DECRYPTAPPS_VIEW

// Logon machine picker (CSelUsrLgnMacDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_LGNMAC 143
#define IDC_LGNMAC_GRID_FRAME 1036  // hidden; the setup grid takes its place
#define IDC_LGNMAC_SEARCH_TEXT 1034
#define IDC_LGNMAC_SEARCH 1047
#define IDC_LGNMAC_SHOW_INFO 1037
#define IDC_LGNMAC_VIEW 1010  // over the frame: holds the setup grid
#define IDC_LGNMAC_GRID 1011  // the client setup rows, in IDC_LGNMAC_VIEW

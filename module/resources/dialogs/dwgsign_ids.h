// Drawing signature (CDwgSignDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_DWGSIGN 140
#define IDC_DWGSIGN_FILE_LABEL 1011
#define IDC_DWGSIGN_FILE 1018
#define IDC_DWGSIGN_BROWSE 1054
#define IDC_DWGSIGN_X_LABEL 1013
#define IDC_DWGSIGN_X 1020
#define IDC_DWGSIGN_Y_LABEL 1015
#define IDC_DWGSIGN_Y 1021
#define IDC_DWGSIGN_H_LABEL 1028
#define IDC_DWGSIGN_H 1024

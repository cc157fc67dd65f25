// Decrypt-flow extensions as text (CKQExtAppsDlg): ids shared by its template, class and tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_KQEXTAPPS 149
#define IDC_KQEXTAPPS_LIST_LABEL 1043
#define IDC_KQEXTAPPS_LIST 1048  // multi-line
#define IDC_KQEXTAPPS_NOTE 1050
#define IDC_KQEXTAPPS_LIMIT_NOTE 1031

// Add function privilege (CAddFuncPvgDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_ADDFNPVG 141
#define IDC_ADDFNPVG_CODE_LABEL 1032
#define IDC_ADDFNPVG_CODE 1043
#define IDC_ADDFNPVG_SCOPE_LABEL 1052  // shown in the command form only
#define IDC_ADDFNPVG_SCOPE 1050        // shown in the command form only
#define IDC_ADDFNPVG_DESC_LABEL 1036
#define IDC_ADDFNPVG_DESC 1048
#define IDC_ADDFNPVG_TYPE_LABEL 1041
#define IDC_ADDFNPVG_TYPE 1046

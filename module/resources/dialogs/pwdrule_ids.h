// Password rule editor (CPwdRuleDlg): ids shared by its template, its class and the tests.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDD_PWDRULE 135
#define IDC_PWDRULE_MIN_LEN_LABEL 1058
#define IDC_PWDRULE_MIN_LEN 1059  // editable drop-down
#define IDC_PWDRULE_DAYS_LABEL 1062
#define IDC_PWDRULE_DAYS 1061           // editable drop-down
#define IDC_PWDRULE_OPTIONS_FRAME 1060  // hidden; the option panel takes its place
#define IDC_PWDRULE_DEFAULT 1038
#define IDC_PWDRULE_OPTIONS 1063       // container of the option panel
#define IDC_PWDRULE_OPTIONS_FORM 1064  // the option panel inside it
#define IDC_PWDRULE_NEW_USERS 1065     // created at run time, root record only
#define IDC_PWDRULE_OLD_USERS 1066     // created at run time, root record only

// ids.h -- every resource id of the stub: icons, dialogs, controls.
#pragma once

// ---- icons (100..) ----
#define IDI_SETUP 100

// ---- dialogs (129..) ----
#define IDD_UNINSTALL_WINDOW 141
#define IDD_QUESTION 200

// ---- controls (1000..) ----
#define IDC_QUESTION_TEXT 1001
#define IDC_QUESTION_ICON 1002
#define IDC_YES_TO_ALL 1011

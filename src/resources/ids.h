// ids.h -- every resource id of the stub: icons, dialogs, controls.
#pragma once

// ---- icons (100..) ----
#define IDI_SETUP 100

// ---- dialogs (129..) ----
// Wizard pages: dialogIdBase + these (full-size set base 0, compact set base 20).
#define IDD_PAGE_LANGUAGE 129
#define IDD_PAGE_WELCOME 130
#define IDD_PAGE_LICENSE 131
#define IDD_PAGE_README 132
#define IDD_PAGE_DESTINATION 135
#define IDD_PAGE_START_MENU 137
#define IDD_PAGE_READY 138
#define IDD_PAGE_INSTALLING 139
#define IDD_PAGE_FINISH 140
#define IDD_UNINSTALL_WINDOW 141
#define IDD_FRAME 142
#define COMPACT_DIALOGS 20
#define IDD_QUESTION 200

// ---- controls (1000..) ----
#define IDC_QUESTION_TEXT 1001
#define IDC_QUESTION_ICON 1002
#define IDC_YES_TO_ALL 1011

// Frame footer.
#define IDC_FOOTER_LABEL 1001
#define IDC_FOOTER_LINE_LEFT 1002
#define IDC_FOOTER_LINE 1003
#define IDC_FOOTER_LINE_LEFT_COMPACT 1004
#define IDC_BACK 1010
#define IDC_NEXT 1011
#define IDC_CANCEL 1012

// Pages: control 1000 + i shows page text i.
#define IDC_PAGE_TEXT 1000
#define IDC_TITLE 1001
#define IDC_SUBTITLE 1002
#define IDC_TEXT3 1003
#define IDC_TEXT4 1004
#define IDC_TEXT5 1005
#define IDC_TEXT6 1006
#define IDC_TEXT7 1007
#define IDC_TEXT8 1008
#define IDC_BROWSE 1013
#define IDC_RICH_TEXT 1017
#define IDC_FOLDER_EDIT 1018
#define IDC_FOLDER_LIST 1019
#define IDC_CHOICE_LIST 1021
#define IDC_PROGRESS 1023
#define IDC_HEADER_LINE 1027

// Uninstaller window (ids of the page texts above, plus these).
#define IDC_SELECT_ALL 1010
#define IDC_DELETE 1011
#define IDC_LEFTOVER_TREE 1026

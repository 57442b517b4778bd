// dialog_templates.h -- the wizard's and the uninstaller window's dialog templates, kept as compact tables in the program's
// compressed data and built into system dialog templates when a dialog is created: the dialog
// resources they replace would cost several kilobytes of the image uncompressed.
#pragma once
#include "support/platform.h"

// Kinds of control: each gives the window class, styles and extended styles.
enum ControlKind : BYTE {
    kindLabel, kindHiddenLabel, kindRightLabel, kindNoWrapLabel, kindLine, kindGroupBox, kindEdit,
    kindDisabledEdit, kindButton, kindDefaultButton, kindHiddenButton, kindCheckBox, kindDisabledCheckBox,
    kindHiddenCheckBox, kindLanguageList, kindGroupCombo, kindFolderList, kindRichText, kindProgress,
    kindFooterLabel, kindHiddenDisabledButton, kindLeftoverTree,
};

// One control, in dialog units; a width of 0 reaches the dialog's right edge.
struct ControlSpec {
    WORD id;
    WORD x;
    ControlKind kind;
    BYTE y, width, height;
};

// One dialog: its id, size in dialog units, whether it is the frame (a popup) or a page (a
// child), and its controls in tab order.
struct DialogSpec {
    WORD id;
    WORD width, height;
    bool frame;
    BYTE count;
    const ControlSpec* controls;
};

// The wizard's dialogs, ended by an entry with id 0.
extern const DialogSpec wizardDialogs[];
// The uninstaller window in both sets, ended by an entry with id 0.
extern const DialogSpec uninstallDialogs[];

// Creates the wizard dialog with this id (modeless), or null when there is no such dialog.
HWND createWizardDialog(int id, HWND parent, DLGPROC procedure, LPARAM parameter);
// Shows the dialog with this id modally until it ends; its result, or -1 when it cannot be shown.
INT_PTR showModalDialog(int id, HWND parent, DLGPROC procedure, LPARAM parameter);

// uninstall_templates.cpp -- the uninstaller window in two sets: full size (329 x 215, the accent
// stripe at the right) and compact (264 x 140). Header, the progress texts and bar, the leftover
// tree with Select all and Delete (hidden until the removal ends), Cancel and the footer.
// Positions in dialog units; controls in tab order. Texts come from the package's text tables.
#include "resources/ids.h"
#include "ui/dialog_templates.h"

#define C(id, kind, x, y, w, h) {id, x, kind, y, w, h}
#define LIST(name) sizeof(name) / sizeof(name[0]), name

static const ControlSpec fullWindow[] = {
    C(IDC_TITLE, kindLabel, 7, 6, 250, 26),
    C(IDC_HEADER_LINE, kindLine, 0, 34, 0, 1),
    C(IDC_SUBTITLE, kindLabel, 14, 41, 234, 23),
    C(IDC_TEXT3, kindLabel, 14, 64, 224, 39),
    C(IDC_TEXT4, kindNoWrapLabel, 24, 79, 214, 10),
    C(IDC_PROGRESS, kindProgress, 24, 89, 214, 10),
    C(IDC_LEFTOVER_TREE, kindLeftoverTree, 14, 105, 224, 68),
    C(IDC_SELECT_ALL, kindHiddenButton, 166, 194, 50, 14),
    C(IDC_DELETE, kindHiddenDisabledButton, 216, 194, 50, 14),
    C(IDC_CANCEL, kindDefaultButton, 272, 194, 50, 14),
    C(IDC_TEXT5, kindFooterLabel, 7, 181, 33, 8),
    C(IDC_TEXT6, kindLine, 0, 185, 7, 1),
    C(0xFFFF, kindLine, 41, 185, 0, 1),
};

static const ControlSpec compactWindow[] = {
    C(IDC_TITLE, kindLabel, 7, 4, 200, 12),
    C(IDC_HEADER_LINE, kindLine, 0, 18, 0, 1),
    C(IDC_SUBTITLE, kindLabel, 14, 24, 236, 16),
    C(IDC_TEXT3, kindLabel, 14, 40, 224, 12),
    C(IDC_TEXT7, kindLabel, 14, 27, 236, 35),
    C(IDC_TEXT4, kindNoWrapLabel, 14, 54, 236, 9),
    C(IDC_PROGRESS, kindProgress, 14, 65, 236, 9),
    C(IDC_LEFTOVER_TREE, kindLeftoverTree, 14, 63, 236, 38),
    C(IDC_SELECT_ALL, kindHiddenButton, 101, 120, 50, 14),
    C(IDC_DELETE, kindHiddenDisabledButton, 153, 120, 50, 14),
    C(IDC_CANCEL, kindDefaultButton, 207, 120, 50, 14),
    C(IDC_TEXT5, kindFooterLabel, 7, 107, 33, 8),
    C(IDC_TEXT6, kindLine, 0, 111, 7, 1),
    C(0xFFFF, kindLine, 41, 111, 0, 1),
};

const DialogSpec uninstallDialogs[] = {
    {IDD_UNINSTALL_WINDOW, 329, 215, true, LIST(fullWindow)},
    {IDD_UNINSTALL_WINDOW + COMPACT_DIALOGS, 264, 140, true, LIST(compactWindow)},
    {0, 0, 0, false, 0, nullptr},
};

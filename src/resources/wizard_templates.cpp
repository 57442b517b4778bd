// wizard_templates.cpp -- the wizard's frame and pages in two sets: full size (pages 331 x 185,
// frame 329 x 215, the accent stripe at the right) and compact (pages 266 x 117, frame 264 x 140).
// Positions in dialog units; controls in tab order. Texts come from the package's text tables.
#include "resources/ids.h"
#include "ui/dialog_templates.h"

#define C(id, kind, x, y, w, h) {id, x, kind, y, w, h}
#define LIST(name) sizeof(name) / sizeof(name[0]), name
#define FULL_HEADER C(IDC_TITLE, kindLabel, 7, 6, 250, 26), C(IDC_HEADER_LINE, kindLine, 0, 34, 0, 1)
#define COMPACT_HEADER C(IDC_TITLE, kindLabel, 7, 3, 250, 11), C(IDC_HEADER_LINE, kindLine, 0, 20, 0, 1)

// ---- full-size set ----

static const ControlSpec frame[] = {
    C(IDC_FOOTER_LABEL, kindFooterLabel, 7, 181, 34, 8), C(IDC_FOOTER_LINE_LEFT, kindLine, 0, 185, 7, 1),
    C(IDC_FOOTER_LINE, kindLine, 43, 185, 0, 1),       C(IDC_BACK, kindHiddenButton, 166, 194, 50, 14),
    C(IDC_NEXT, kindDefaultButton, 216, 194, 50, 14),  C(IDC_CANCEL, kindButton, 272, 194, 50, 14),
};

static const ControlSpec language[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 44, 216, 24),
    C(IDC_TEXT3, kindLabel, 14, 78, 200, 10),
    C(IDC_CHOICE_LIST, kindLanguageList, 14, 90, 160, 100),
};

static const ControlSpec welcome[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 42, 216, 20),
    C(IDC_TEXT3, kindLabel, 14, 66, 216, 20),
    C(IDC_TEXT4, kindLabel, 14, 92, 216, 20),
    C(IDC_TEXT5, kindLabel, 14, 114, 216, 30),
    C(IDC_TEXT6, kindLabel, 14, 152, 216, 20),
};

static const ControlSpec license[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 40, 216, 10),
    C(IDC_RICH_TEXT, kindRichText, 14, 53, 216, 100),
    C(IDC_TEXT3, kindLabel, 14, 156, 216, 26),
};

static const ControlSpec readme[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 40, 216, 10),
    C(IDC_RICH_TEXT, kindRichText, 14, 53, 216, 126),
};

static const ControlSpec destination[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 41, 230, 31),
    C(IDC_TEXT3, kindGroupBox, 14, 75, 230, 34),
    C(IDC_FOLDER_EDIT, kindEdit, 22, 88, 170, 14),
    C(IDC_BROWSE, kindButton, 193, 88, 43, 14),
    C(IDC_TEXT5, kindLabel, 14, 156, 139, 10),
    C(IDC_TEXT6, kindLabel, 14, 166, 139, 12),
    C(IDC_TEXT7, kindRightLabel, 153, 156, 37, 10),
    C(IDC_TEXT8, kindRightLabel, 153, 166, 37, 12),
};

static const ControlSpec startMenu[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 38, 219, 24),
    C(IDC_FOLDER_EDIT, kindDisabledEdit, 14, 64, 219, 13),
    C(IDC_FOLDER_LIST, kindFolderList, 14, 81, 219, 48),
    C(0xFFFF, kindGroupBox, 14, 131, 219, 47),
    C(IDC_TEXT3, kindDisabledCheckBox, 24, 140, 199, 10),
    C(IDC_TEXT4, kindDisabledCheckBox, 24, 152, 199, 10),
    C(IDC_TEXT5, kindDisabledCheckBox, 24, 164, 199, 10),
};

static const ControlSpec ready[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 44, 216, 24),
    C(IDC_TEXT3, kindLabel, 14, 74, 216, 40),
};

static const ControlSpec installing[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 44, 216, 20),
    C(IDC_TEXT3, kindLabel, 14, 66, 216, 10),
    C(IDC_TEXT4, kindLabel, 14, 92, 216, 10),
    C(IDC_TEXT5, kindNoWrapLabel, 14, 104, 216, 10),
    C(IDC_PROGRESS, kindProgress, 14, 118, 216, 12),
};

static const ControlSpec finish[] = {
    FULL_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 44, 216, 20),
    C(IDC_TEXT3, kindLabel, 14, 68, 216, 36),
    C(IDC_TEXT5, kindHiddenCheckBox, 24, 110, 200, 10),
    C(IDC_TEXT4, kindHiddenCheckBox, 24, 124, 200, 10),
    C(IDC_TEXT6, kindHiddenCheckBox, 24, 138, 200, 10),
    C(IDC_TEXT8, kindHiddenLabel, 14, 110, 216, 24),
    C(IDC_TEXT7, kindHiddenLabel, 14, 156, 216, 20),
};

// ---- compact set ----

static const ControlSpec compactFrame[] = {
    C(IDC_FOOTER_LABEL, kindFooterLabel, 7, 113, 34, 8), C(IDC_FOOTER_LINE_LEFT_COMPACT, kindLine, 0, 117, 7, 1),
    C(IDC_FOOTER_LINE, kindLine, 43, 117, 0, 1),       C(IDC_BACK, kindHiddenButton, 102, 122, 50, 14),
    C(IDC_NEXT, kindDefaultButton, 152, 122, 50, 14),  C(IDC_CANCEL, kindButton, 207, 122, 50, 14),
};

static const ControlSpec compactLanguage[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 26, 240, 20),
    C(IDC_TEXT3, kindLabel, 14, 52, 200, 10),
    C(IDC_CHOICE_LIST, kindLanguageList, 14, 64, 160, 50),
};

static const ControlSpec compactWelcome[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 25, 240, 18),
    C(IDC_TEXT4, kindLabel, 14, 45, 240, 18),
    C(IDC_TEXT5, kindLabel, 14, 64, 240, 26),
    C(IDC_TEXT6, kindLabel, 14, 93, 240, 18),
};

static const ControlSpec compactLicense[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 24, 240, 10),
    C(IDC_RICH_TEXT, kindRichText, 14, 35, 240, 58),
    C(IDC_TEXT3, kindLabel, 14, 95, 240, 20),
};

static const ControlSpec compactReadme[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 24, 240, 10),
    C(IDC_RICH_TEXT, kindRichText, 14, 35, 240, 78),
};

static const ControlSpec compactDestination[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 24, 240, 28),
    C(IDC_TEXT3, kindLabel, 14, 54, 230, 10),
    C(IDC_FOLDER_EDIT, kindEdit, 14, 65, 180, 14),
    C(IDC_BROWSE, kindButton, 198, 65, 50, 14),
    C(IDC_TEXT5, kindLabel, 14, 88, 160, 10),
    C(IDC_TEXT6, kindLabel, 14, 100, 160, 12),
    C(IDC_TEXT7, kindRightLabel, 175, 88, 50, 10),
    C(IDC_TEXT8, kindRightLabel, 175, 100, 50, 12),
};

static const ControlSpec compactStartMenu[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 24, 240, 24),
    C(IDC_CHOICE_LIST, kindGroupCombo, 14, 50, 236, 65),
    C(0xFFFF, kindGroupBox, 14, 67, 236, 47),
    C(IDC_TEXT3, kindDisabledCheckBox, 24, 76, 199, 10),
    C(IDC_TEXT4, kindDisabledCheckBox, 24, 88, 199, 10),
    C(IDC_TEXT5, kindDisabledCheckBox, 24, 100, 199, 10),
};

static const ControlSpec compactReady[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 26, 240, 24),
    C(IDC_TEXT3, kindLabel, 14, 54, 240, 40),
};

static const ControlSpec compactInstalling[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 25, 240, 18),
    C(IDC_TEXT3, kindLabel, 14, 45, 240, 10),
    C(IDC_TEXT4, kindLabel, 14, 64, 240, 10),
    C(IDC_TEXT5, kindNoWrapLabel, 14, 76, 240, 10),
    C(IDC_PROGRESS, kindProgress, 14, 90, 240, 12),
};

static const ControlSpec compactFinish[] = {
    COMPACT_HEADER,
    C(IDC_SUBTITLE, kindLabel, 14, 24, 240, 16),
    C(IDC_TEXT3, kindLabel, 14, 42, 240, 24),
    C(IDC_TEXT5, kindHiddenCheckBox, 24, 68, 220, 10),
    C(IDC_TEXT4, kindHiddenCheckBox, 24, 80, 220, 10),
    C(IDC_TEXT6, kindHiddenCheckBox, 24, 92, 220, 10),
    C(IDC_TEXT8, kindHiddenLabel, 14, 68, 240, 22),
    C(IDC_TEXT7, kindHiddenLabel, 14, 104, 240, 10),
};

#define FULL(id, list) {id, 331, 185, false, LIST(list)}
#define COMPACT(id, list) {id + COMPACT_DIALOGS, 266, 117, false, LIST(list)}

const DialogSpec wizardDialogs[] = {
    {IDD_FRAME, 329, 215, true, LIST(frame)},
    FULL(IDD_PAGE_LANGUAGE, language),
    FULL(IDD_PAGE_WELCOME, welcome),
    FULL(IDD_PAGE_LICENSE, license),
    FULL(IDD_PAGE_README, readme),
    FULL(IDD_PAGE_DESTINATION, destination),
    FULL(IDD_PAGE_START_MENU, startMenu),
    FULL(IDD_PAGE_READY, ready),
    FULL(IDD_PAGE_INSTALLING, installing),
    FULL(IDD_PAGE_FINISH, finish),
    {IDD_FRAME + COMPACT_DIALOGS, 264, 140, true, LIST(compactFrame)},
    COMPACT(IDD_PAGE_LANGUAGE, compactLanguage),
    COMPACT(IDD_PAGE_WELCOME, compactWelcome),
    COMPACT(IDD_PAGE_LICENSE, compactLicense),
    COMPACT(IDD_PAGE_README, compactReadme),
    COMPACT(IDD_PAGE_DESTINATION, compactDestination),
    COMPACT(IDD_PAGE_START_MENU, compactStartMenu),
    COMPACT(IDD_PAGE_READY, compactReady),
    COMPACT(IDD_PAGE_INSTALLING, compactInstalling),
    COMPACT(IDD_PAGE_FINISH, compactFinish),
    {0, 0, 0, false, 0, nullptr},
};

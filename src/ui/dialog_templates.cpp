// dialog_templates.cpp -- builds a system dialog template (the DIALOG layout: header, then one
// DWORD-aligned item per control) from a DialogSpec, and creates the dialog from it (modeless or
// modal).
#include "ui/dialog_templates.h"

#include "script/setup_state.h"
#include "support/heap.h"

constexpr WORD classButton = 0x0080, classEdit = 0x0081, classStatic = 0x0082, classListBox = 0x0083,
               classComboBox = 0x0085;
constexpr DWORD child = WS_CHILD | WS_VISIBLE;
constexpr DWORD label = child | SS_NOPREFIX;

struct KindInfo {
    DWORD style;
    WORD classAtom;        // 0: the class is named by className
    bool clientEdge;       // sunken edge
};

static const KindInfo kinds[] = {
    {label | SS_LEFT, classStatic, false},                                  // kindLabel
    {WS_CHILD | SS_NOPREFIX, classStatic, false},                           // kindHiddenLabel
    {label | SS_RIGHT, classStatic, false},                                 // kindRightLabel
    {label | SS_LEFTNOWORDWRAP, classStatic, false},                        // kindNoWrapLabel
    {child | SS_ETCHEDHORZ, classStatic, false},                            // kindLine
    {child | BS_GROUPBOX, classButton, false},                              // kindGroupBox
    {child | WS_TABSTOP | ES_AUTOHSCROLL, classEdit, true},                 // kindEdit
    {child | WS_TABSTOP | ES_AUTOHSCROLL | WS_DISABLED, classEdit, true},   // kindDisabledEdit
    {child | WS_TABSTOP | BS_PUSHBUTTON, classButton, false},               // kindButton
    {child | WS_TABSTOP | BS_DEFPUSHBUTTON, classButton, false},            // kindDefaultButton
    {WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, classButton, false},            // kindHiddenButton
    {child | WS_TABSTOP | BS_AUTOCHECKBOX, classButton, false},             // kindCheckBox
    {child | WS_TABSTOP | BS_AUTOCHECKBOX | WS_DISABLED, classButton, false},  // kindDisabledCheckBox
    {WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX, classButton, false},          // kindHiddenCheckBox
    {child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT, classComboBox, false},  // kindLanguageList
    {child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_DISABLED, classComboBox, false},
    {child | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_SORT | LBS_NOTIFY | WS_DISABLED, classListBox, false},
    {child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 0, true},  // kindRichText
    {child, 0, false},                                                      // kindProgress
    {label | SS_LEFT, classStatic, false},                                  // kindFooterLabel
    {WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, classButton, false},  // kindHiddenDisabledButton
    {WS_CHILD | WS_TABSTOP | TVS_CHECKBOXES | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_DISABLEDRAGDROP, 0,
     false},  // kindLeftoverTree, with a thin sunken edge
};

// The class of a control whose kind names no class atom.
static const char* className(ControlKind kind) {
    if (kind == kindRichText) return "RICHEDIT";
    return kind == kindLeftoverTree ? WC_TREEVIEWA : PROGRESS_CLASSA;
}

constexpr DWORD pageStyle = DS_CONTROL | DS_SETFONT | WS_CHILD | WS_VISIBLE;
constexpr DWORD frameStyle = DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                             WS_SYSMENU | WS_MINIMIZEBOX;

struct TemplateWriter {
    WORD* at;
};

static void put(TemplateWriter* w, DWORD value) { *w->at++ = static_cast<WORD>(value); }

static void putLong(TemplateWriter* w, DWORD value) {
    put(w, value & 0xFFFF);
    put(w, value >> 16);
}

static void putText(TemplateWriter* w, const char* text) {
    do put(w, static_cast<BYTE>(*text));
    while (*text++);
}

static void align(TemplateWriter* w, const WORD* start) {
    if ((w->at - start) & 1) put(w, 0);
}

static void putControl(TemplateWriter* w, const WORD* start, const ControlSpec& control, WORD dialogWidth) {
    const KindInfo& kind = kinds[control.kind];
    align(w, start);
    putLong(w, kind.style);
    putLong(w, kind.clientEdge ? WS_EX_CLIENTEDGE : control.kind == kindLeftoverTree ? WS_EX_STATICEDGE : 0);
    put(w, control.x);
    put(w, control.y);
    // A line "across" stops two units short of the edge: an etched line is made two pixels wider
    // than its template width, which with rounding would run past the dialog's right edge.
    put(w, control.width ? control.width : dialogWidth - control.x - 2);
    put(w, control.height);
    put(w, control.id);
    if (kind.classAtom) {
        put(w, 0xFFFF);
        put(w, kind.classAtom);
    } else putText(w, className(control.kind));
    putText(w, control.kind == kindFooterLabel ? "Velkorin" : "");
    put(w, 0);  // no creation data
}

static const DialogSpec* findDialog(int id) {
    static const DialogSpec* const tables[] = {wizardDialogs, uninstallDialogs};
    for (const DialogSpec* table : tables)
        for (const DialogSpec* dialog = table; dialog->id; ++dialog)
            if (dialog->id == id) return dialog;
    return nullptr;
}

// The system template of the dialog with this id (heapFree it), or null.
static LPCDLGTEMPLATEA buildTemplate(int id) {
    const DialogSpec* dialog = findDialog(id);
    if (!dialog) return nullptr;
    WORD* start = static_cast<WORD*>(heapAlloc(64 + dialog->count * 64 * sizeof(WORD)));
    if (!start) return nullptr;
    TemplateWriter w = {start};
    putLong(&w, dialog->frame ? frameStyle : pageStyle);
    putLong(&w, dialog->frame ? WS_EX_CONTROLPARENT : 0);
    put(&w, dialog->count);
    put(&w, 0);
    put(&w, 0);
    put(&w, dialog->width);
    put(&w, dialog->height);
    put(&w, 0);  // no menu
    put(&w, 0);  // the standard dialog class
    put(&w, 0);  // no title
    put(&w, 8);  // 8 points "MS Sans Serif"
    putText(&w, "MS Sans Serif");
    for (int i = 0; i < dialog->count; ++i) putControl(&w, start, dialog->controls[i], dialog->width);
    return reinterpret_cast<LPCDLGTEMPLATEA>(start);
}

HWND createWizardDialog(int id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    LPCDLGTEMPLATEA dialog = buildTemplate(id);
    if (!dialog) return nullptr;
    HWND window = CreateDialogIndirectParamA(state.instance, dialog, parent, procedure, parameter);
    heapFree(dialog);
    return window;
}

INT_PTR showModalDialog(int id, HWND parent, DLGPROC procedure, LPARAM parameter) {
    LPCDLGTEMPLATEA dialog = buildTemplate(id);
    if (!dialog) return -1;
    INT_PTR result = DialogBoxIndirectParamA(state.instance, dialog, parent, procedure, parameter);
    heapFree(dialog);
    return result;
}

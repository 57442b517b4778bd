// driver.cpp -- velkorin-driver.exe: drives another process's dialogs for the end-to-end tests.
//
// Usage: velkorin-driver.exe COMMAND [ARGS...] [COMMAND [ARGS...]]...
// Commands run in order; each takes a fixed number of arguments, so a whole interaction fits in
// one invocation (one Wine process start). Ids are decimal or 0x-hexadecimal.
//
//   wait-dialog CAPTION MS  wait for a visible top-level "#32770" window with this caption
//                           ("*": any) and make it the current dialog; prints dialog<TAB>0xHANDLE
//   wait-box CAPTION MS     like wait-dialog, for a message box only (a dialog with the text
//                           static 65535): a wizard's question shares the frame's caption
//   box-or-exit CAPTION MS  like wait-box, while the launched process runs: when it ends without
//                           the box, stops at once (wait-box would wait the whole MS)
//   use HANDLE              make the window with this handle (from an earlier run) current
//   wait-page TITLE MS      wait until the current dialog holds a page (a child dialog) whose
//                           title 1001 reads TITLE ("*": any page); prints page<TAB>0xHANDLE
//   page-dump               like dump, for the current dialog's page alone
//   layout                  prints ID<TAB>CLASS<TAB>VISIBLE<TAB>CHECKED<TAB>LEFT<TAB>TOP<TAB>RIGHT
//                           <TAB>BOTTOM for the page itself (id 0) and each of its controls, in
//                           the page's client pixels
//   dump                    prints caption<TAB>TEXT, then ID<TAB>CLASS<TAB>TEXT for every control
//                           below the current dialog (a message box's text is id 65535)
//   items ID                prints INDEX<TAB>TEXT for every item of a list box or combo box
//   click ID                posts BM_CLICK to the control (posted: a modal box may open)
//   set-text ID TEXT        sets the control's text with WM_SETTEXT
//   check ID / uncheck ID   clicks a check box or radio button when its state differs
//   select ID INDEX         selects a list box or combo box item and notifies the parent
//   key VK                  posts a key press (WM_KEYDOWN, WM_KEYUP) of this virtual key to the
//                           window that has the keyboard focus in the current dialog's thread
//   syscommand CLASS CODE   posts WM_SYSCOMMAND CODE to the top-level window of this class
//   wait-gone MS            waits until the current dialog no longer exists
//   launch COMMAND_LINE     starts a process (one argument: the whole command line)
//   wait-exit MS            waits for the launched process; prints exit<TAB>CODE (all 32 bits,
//                           which a Unix exit status cannot carry: 3010 and the like)
//   watch MS                until the launched process ends, prints
//                           window<TAB>0xHANDLE<TAB>CLASS<TAB>CAPTION once for every visible
//                           top-level window it shows; then prints exit<TAB>CODE
//                           (wait-exit and watch terminate the process when it outlives MS)
//   sleep MS                waits
//   wait-file PATH MS       waits until the file PATH exists, MS at the longest (a program held
//                           open for a test ends as soon as the test lets it go)
//   tree ID                 prints visible<TAB>0|1, then item<TAB>DEPTH<TAB>TICKED<TAB>TEXT for
//                           every item of a tree view, depth first (TICKED 1: check box ticked)
//   expand ID TEXT          expands the first tree item with this text (TVM_EXPAND)
//   tick ID TEXT            clicks the check box of the first tree item with this text with the
//                           mouse (cursor moved there, button pressed and released: real input)
//   adopt                   makes the current dialog's process the launched one, so that
//                           wait-exit and watch report its end (a process that another started)
//   setenv NAME VALUE       sets a variable of the driver's environment, which the processes it
//                           launches afterwards inherit
//   chdir FOLDER            makes FOLDER the driver's current folder, which the processes it
//                           launches afterwards start in
//   focus                   prints focus<TAB>ID<TAB>CLASS<TAB>TEXT of the window that has the
//                           keyboard focus in the current dialog's thread
//   tab-cycle MAX           presses Tab (posted, as key does) until the focus comes back to where
//                           it was or MAX times; prints focus<TAB>ID<TAB>CLASS<TAB>LEFT<TAB>TOP
//                           (screen pixels) for the first focus and after every press, then
//                           stop<TAB>ID<TAB>CLASS<TAB>LEFT<TAB>TOP for every visible, enabled
//                           WS_TABSTOP window below the current dialog
//   alt-key CHAR            brings the current dialog to the front and types Alt+CHAR (real
//                           keyboard input, as a user presses an access key)
//   resources FILE          prints what the system reads of a program file's resources: its
//                           version information, icon group 100 and manifest execution level
//                           (see driver_resources.h for the lines)
//   image-pages BASE        prints page<TAB>0xADDRESS<TAB>0xSIZE<TAB>0xPROTECTION for every
//                           committed region of the current dialog's process whose allocation
//                           starts at BASE (an image's base), walked with VirtualQueryEx
//   reg-save KEY FILE       has the system write the key's tree to FILE (its own format)
//   reg-query KEY NAME      prints value<TAB>TYPE<TAB>DATA ("" names the default value)
//   reg-set KEY NAME TYPE DATA   sets a value ("sz" or "dword"), creating the key
//   reg-create KEY          creates the key
//   reg-delete KEY          deletes the key with everything below it
//   reg-delete-value KEY NAME    deletes one value
//
// Texts are printed with \\ \t \r \n escaped. Exit codes: 0 all commands done; 1 bad usage;
// 2 a window or control (or registry key) was not found in time; 3 the launched process did not
// end in time. Every failure prints one line "velkorin-driver: ..." on stderr.
//
// velkorin-driver.exe serve   stays resident and reads requests from stdin, one per line: the
// commands and their arguments separated by tabs, each escaped as the output is. Each request
// starts with no current dialog and nothing launched; its output is followed by the line
// "\x1E" "end<TAB>CODE<TAB>ERRORS" (ERRORS: what it wrote on stderr, escaped). A test then pays
// one Wine start for all its driving instead of one per request. Arguments arrive as UTF-8 and
// reach the window commands in the ANSI code page, as Wine hands a command line to a program;
// the registry commands take them as UTF-8.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "driver_registry.h"
#include "driver_resources.h"
#include "driver_tree.h"
#include "driver_windows.h"

enum DriverExit { driverDone = 0, driverUsage = 1, driverNotFound = 2, driverTimeout = 3 };

static const DWORD controlWait = 3000;  // controls of a shown dialog appear at once; allow a little

struct DriverState {
    HWND dialog;
    HWND page;  // the page wait-page found: page-dump and layout read that one
    PROCESS_INFORMATION process;
    bool launched;
};
static DriverState driver;

static int fail(int code, const char* what, const char* detail) {
    fprintf(stderr, "velkorin-driver: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return code;
}

static int parseNumber(const char* text) { return static_cast<int>(strtoul(text, nullptr, 0)); }

static bool needDialog() {
    if (driver.dialog && IsWindow(driver.dialog)) return true;
    fail(driverNotFound, "no current dialog", nullptr);
    return false;
}

// The control with this id below the current dialog, or null after a message on stderr.
static HWND controlOf(const char* idText) {
    if (!needDialog()) return nullptr;
    HWND control = waitForControl(driver.dialog, parseNumber(idText), controlWait);
    if (!control) fail(driverNotFound, "control not found", idText);
    return control;
}

static int waitDialogCommand(char** args) {
    driver.dialog = waitForDialog(args[0], static_cast<DWORD>(parseNumber(args[1])));
    if (!driver.dialog) return fail(driverNotFound, "dialog did not appear", args[0]);
    printf("dialog\t0x%lX\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(driver.dialog)));
    return driverDone;
}

// Waits for a message box with this caption; with whileRunning, only as long as the launched
// process runs.
static int waitForBox(char** args, bool whileRunning) {
    DWORD timeout = static_cast<DWORD>(parseNumber(args[1])), start = GetTickCount();
    while (!(driver.dialog = findMessageBox(args[0]))) {
        if (GetTickCount() - start >= timeout) return fail(driverNotFound, "message box did not appear", args[0]);
        if (!whileRunning) Sleep(10);
        else if (WaitForSingleObject(driver.process.hProcess, 10) == WAIT_OBJECT_0)
            return fail(driverNotFound, "the process ended without a message box", args[0]);
    }
    printf("dialog\t0x%lX\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(driver.dialog)));
    return driverDone;
}

static int waitBoxCommand(char** args) { return waitForBox(args, false); }

static int boxOrExitCommand(char** args) {
    return driver.launched ? waitForBox(args, true) : fail(driverUsage, "nothing launched", nullptr);
}

static int useCommand(char** args) {
    driver.page = nullptr;
    driver.dialog = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(strtoul(args[0], nullptr, 0)));
    return IsWindow(driver.dialog) ? driverDone : fail(driverNotFound, "no such window", args[0]);
}

static BOOL CALLBACK printControl(HWND control, LPARAM) {
    char name[64], text[4096];
    windowClass(control, name, sizeof(name));
    windowText(control, text, sizeof(text));
    printf("%d\t%s\t", static_cast<int>(static_cast<WORD>(GetDlgCtrlID(control))), name);
    printEscaped(text);
    fputc('\n', stdout);
    return TRUE;
}

static int dumpCommand(char**) {
    if (!needDialog()) return driverNotFound;
    char caption[1024];
    windowText(driver.dialog, caption, sizeof(caption));
    fputs("caption\t", stdout);
    printEscaped(caption);
    fputc('\n', stdout);
    EnumChildWindows(driver.dialog, printControl, 0);
    return driverDone;
}

static int waitPageCommand(char** args) {
    if (!needDialog()) return driverNotFound;
    DWORD timeout = static_cast<DWORD>(parseNumber(args[1])), start = GetTickCount();
    for (;;) {
        HWND page = findPage(driver.dialog);
        char title[1024] = "";
        if (page) windowText(GetDlgItem(page, 1001), title, sizeof(title));
        if (page && (strcmp(args[0], "*") == 0 || strcmp(args[0], title) == 0)) {
            driver.page = page;
            printf("page\t0x%lX\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(page)));
            return driverDone;
        }
        if (!IsWindow(driver.dialog) || GetTickCount() - start >= timeout) {
            fprintf(stderr, "velkorin-driver: the page shows the title \"%s\"\n", title);
            return fail(driverNotFound, "page did not appear", args[0]);
        }
        Sleep(10);
    }
}

// The page wait-page found while it is still below the current dialog (a wizard that moves on
// meanwhile hides it: it is still read, not the next one half shown), else the visible one.
static HWND currentPage() {
    if (driver.page && needDialog() && IsWindow(driver.page) && IsChild(driver.dialog, driver.page)) return driver.page;
    HWND page = needDialog() ? findPage(driver.dialog) : nullptr;
    if (!page) fail(driverNotFound, "no page in the current dialog", nullptr);
    return page;
}

static int pageDumpCommand(char**) {
    HWND page = currentPage();
    if (!page) return driverNotFound;
    HWND frame = driver.dialog;
    driver.dialog = page;
    dumpCommand(nullptr);
    driver.dialog = frame;
    return driverDone;
}

static void printPlace(HWND page, HWND window, int id) {
    RECT place;
    GetWindowRect(window, &place);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&place), 2);
    if (window == page) GetClientRect(page, &place);
    char name[64];
    windowClass(window, name, sizeof(name));
    printf("%d\t%s\t%d\t%d\t%ld\t%ld\t%ld\t%ld\n", id, name, IsWindowVisible(window) ? 1 : 0,
           static_cast<int>(SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED && lstrcmpiA(name, "Button") == 0),
           place.left, place.top, place.right, place.bottom);
}

static int layoutCommand(char**) {
    HWND page = currentPage();
    if (!page) return driverNotFound;
    printPlace(page, page, 0);
    for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT))
        printPlace(page, control, static_cast<WORD>(GetDlgCtrlID(control)));
    return driverDone;
}

static int itemsCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    int count = listItemCount(control);
    if (count < 0) return fail(driverUsage, "not a list box or combo box", args[0]);
    for (int i = 0; i < count; ++i) {
        char text[2048];
        if (!listItemText(control, i, text, sizeof(text))) break;
        printf("%d\t", i);
        printEscaped(text);
        fputc('\n', stdout);
    }
    return driverDone;
}

static int clickCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    PostMessageA(control, BM_CLICK, 0, 0);
    return driverDone;
}

static int setTextCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[1]), SMTO_ABORTIFHUNG, 3000, &result);
    return driverDone;
}

static int setCheck(const char* idText, LRESULT wanted) {
    HWND control = controlOf(idText);
    if (!control) return driverNotFound;
    if (SendMessageA(control, BM_GETCHECK, 0, 0) != wanted) SendMessageA(control, BM_CLICK, 0, 0);
    return driverDone;
}

static int checkCommand(char** args) { return setCheck(args[0], BST_CHECKED); }
static int uncheckCommand(char** args) { return setCheck(args[0], BST_UNCHECKED); }

static int selectCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    int index = parseNumber(args[1]);
    bool combo = isComboBox(control);
    if (listItemCount(control) <= index) return fail(driverNotFound, "no such item", args[1]);
    SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
    WORD notification = combo ? CBN_SELCHANGE : LBN_SELCHANGE;
    SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), notification),
                 reinterpret_cast<LPARAM>(control));
    return driverDone;
}

static int keyCommand(char** args) {
    if (!needDialog()) return driverNotFound;
    GUITHREADINFO thread;
    ZeroMemory(&thread, sizeof(thread));
    thread.cbSize = sizeof(thread);
    DWORD threadId = GetWindowThreadProcessId(driver.dialog, nullptr);
    HWND target = GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus ? thread.hwndFocus : driver.dialog;
    WPARAM key = static_cast<WPARAM>(parseNumber(args[0]));
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
    return driverDone;
}

static int sysCommandCommand(char** args) {
    HWND window = FindWindowA(args[0], nullptr);
    if (!window) return fail(driverNotFound, "no window of the class", args[0]);
    PostMessageA(window, WM_SYSCOMMAND, static_cast<WPARAM>(parseNumber(args[1])), 0);
    return driverDone;
}

static int waitGoneCommand(char** args) {
    DWORD timeout = static_cast<DWORD>(parseNumber(args[0])), start = GetTickCount();
    while (driver.dialog && IsWindow(driver.dialog)) {
        if (GetTickCount() - start >= timeout) return fail(driverNotFound, "dialog still shown", nullptr);
        Sleep(10);
    }
    return driverDone;
}

static int launchCommand(char** args) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    char* commandLine = _strdup(args[0]);
    BOOL started = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &driver.process);
    free(commandLine);
    if (!started) return fail(driverUsage, "cannot start", args[0]);
    driver.launched = true;
    printf("process\t%lu\n", driver.process.dwProcessId);
    return driverDone;
}

static int reportExit() {
    DWORD code = 0;
    GetExitCodeProcess(driver.process.hProcess, &code);
    printf("exit\t%lu\n", code);
    return driverDone;
}

// After a timeout: the launched process is ended so that nothing outlives the driver.
static int endLaunched() {
    TerminateProcess(driver.process.hProcess, 259);
    return fail(driverTimeout, "process still running; terminated", nullptr);
}

static int waitExitCommand(char** args) {
    if (!driver.launched) return fail(driverUsage, "nothing launched", nullptr);
    if (WaitForSingleObject(driver.process.hProcess, parseNumber(args[0])) != WAIT_OBJECT_0)
        return endLaunched();
    return reportExit();
}

struct WatchState {
    HWND seen[64];
    int seenCount;
};

static BOOL CALLBACK reportWindow(HWND window, LPARAM context) {
    WatchState* watch = reinterpret_cast<WatchState*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != driver.process.dwProcessId || !IsWindowVisible(window)) return TRUE;
    for (int i = 0; i < watch->seenCount; ++i)
        if (watch->seen[i] == window) return TRUE;
    if (watch->seenCount < 64) watch->seen[watch->seenCount++] = window;
    char name[64], caption[1024];
    windowClass(window, name, sizeof(name));
    windowText(window, caption, sizeof(caption));
    printf("window\t0x%lX\t%s\t", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)), name);
    printEscaped(caption);
    fputc('\n', stdout);
    fflush(stdout);
    return TRUE;
}

static int watchCommand(char** args) {
    if (!driver.launched) return fail(driverUsage, "nothing launched", nullptr);
    WatchState watch;
    watch.seenCount = 0;
    DWORD timeout = static_cast<DWORD>(parseNumber(args[0])), start = GetTickCount();
    for (;;) {
        EnumWindows(reportWindow, reinterpret_cast<LPARAM>(&watch));
        if (WaitForSingleObject(driver.process.hProcess, 5) == WAIT_OBJECT_0) return reportExit();
        if (GetTickCount() - start >= timeout) return endLaunched();
    }
}

static int sleepCommand(char** args) {
    Sleep(static_cast<DWORD>(parseNumber(args[0])));
    return driverDone;
}

static int waitFileCommand(char** args) {
    DWORD start = GetTickCount(), timeout = static_cast<DWORD>(parseNumber(args[1]));
    while (GetFileAttributesA(args[0]) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < timeout) Sleep(50);
    return driverDone;
}

static int imagePagesCommand(char** args) {
    if (!needDialog()) return driverNotFound;
    DWORD processId = 0;
    GetWindowThreadProcessId(driver.dialog, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return fail(driverNotFound, "cannot open the dialog's process", nullptr);
    BYTE* base = reinterpret_cast<BYTE*>(static_cast<ULONG_PTR>(strtoul(args[0], nullptr, 0)));
    MEMORY_BASIC_INFORMATION region;
    for (BYTE* at = base; VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
         at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.AllocationBase != base) break;
        if (region.State == MEM_COMMIT)
            printf("page\t0x%lX\t0x%lX\t0x%lX\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(region.BaseAddress)),
                   static_cast<unsigned long>(region.RegionSize), static_cast<unsigned long>(region.Protect));
    }
    CloseHandle(process);
    return driverDone;
}

static int treeCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    return printTree(control) ? fail(driverNotFound, "cannot read the tree's items", args[0]) : driverDone;
}

static int tickCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    return clickTreeCheckBox(control, args[1]) ? driverDone : fail(driverNotFound, "no check box for the item", args[1]);
}

static int adoptCommand(char**) {
    if (!needDialog()) return driverNotFound;
    DWORD processId = 0;
    GetWindowThreadProcessId(driver.dialog, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    if (!process) return fail(driverNotFound, "cannot open the dialog's process", nullptr);
    ZeroMemory(&driver.process, sizeof(driver.process));
    driver.process.hProcess = process;
    driver.process.dwProcessId = processId;
    driver.launched = true;
    printf("process\t%lu\n", processId);
    return driverDone;
}

static int setenvCommand(char** args) {
    return SetEnvironmentVariableA(args[0], args[1]) ? driverDone : fail(driverUsage, "cannot set", args[0]);
}

static int chdirCommand(char** args) {
    return SetCurrentDirectoryA(args[0]) ? driverDone : fail(driverUsage, "cannot change to", args[0]);
}

static HWND focusOf(HWND dialog) {
    GUITHREADINFO thread;
    ZeroMemory(&thread, sizeof(thread));
    thread.cbSize = sizeof(thread);
    DWORD threadId = GetWindowThreadProcessId(dialog, nullptr);
    return GetGUIThreadInfo(threadId, &thread) ? thread.hwndFocus : nullptr;
}

static int focusCommand(char**) {
    if (!needDialog()) return driverNotFound;
    HWND focus = focusOf(driver.dialog);
    if (!focus) return fail(driverNotFound, "no focus", nullptr);
    char name[64], text[1024];
    windowClass(focus, name, sizeof(name));
    windowText(focus, text, sizeof(text));
    printf("focus\t%d\t%s\t", static_cast<int>(static_cast<WORD>(GetDlgCtrlID(focus))), name);
    printEscaped(text);
    fputc('\n', stdout);
    return driverDone;
}

static void printStop(const char* kind, HWND window) {
    char name[64];
    windowClass(window, name, sizeof(name));
    RECT place;
    GetWindowRect(window, &place);
    printf("%s\t%d\t%s\t%ld\t%ld\n", kind, static_cast<int>(static_cast<WORD>(GetDlgCtrlID(window))), name,
           place.left, place.top);
}

static BOOL CALLBACK printTabStop(HWND window, LPARAM) {
    LONG style = GetWindowLongA(window, GWL_STYLE);
    bool shown = IsWindowVisible(window) && IsWindowEnabled(window);
    if (shown && (style & WS_TABSTOP)) printStop("stop", window);
    return TRUE;
}

static int tabCycleCommand(char** args) {
    if (!needDialog()) return driverNotFound;
    HWND first = focusOf(driver.dialog);
    if (!first) return fail(driverNotFound, "no focus", nullptr);
    printStop("focus", first);
    HWND now = first;
    for (int press = 0; press < parseNumber(args[0]); ++press) {
        PostMessageA(now, WM_KEYDOWN, VK_TAB, 0x000F0001);
        PostMessageA(now, WM_KEYUP, VK_TAB, 0xC00F0001);
        HWND before = now;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 1000 && now == before; Sleep(10))
            now = focusOf(driver.dialog);
        if (!now) return fail(driverNotFound, "the focus is gone", nullptr);
        printStop("focus", now);
        if (now == first || now == before) break;
    }
    EnumChildWindows(driver.dialog, printTabStop, 0);
    return driverDone;
}

static void keyInput(INPUT* input, WORD key, bool up) {
    input->type = INPUT_KEYBOARD;
    input->ki.wVk = key;
    input->ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
    input->ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
}

static int altKeyCommand(char** args) {
    if (!needDialog()) return driverNotFound;
    SetForegroundWindow(driver.dialog);
    Sleep(100);
    WORD key = static_cast<WORD>(VkKeyScanA(args[0][0]) & 0xFF);
    INPUT keys[4] = {};
    keyInput(&keys[0], VK_MENU, false);
    keyInput(&keys[1], key, false);
    keyInput(&keys[2], key, true);
    keyInput(&keys[3], VK_MENU, true);
    SendInput(4, keys, sizeof(INPUT));
    Sleep(200);
    return driverDone;
}

static int expandCommand(char** args) {
    HWND control = controlOf(args[0]);
    if (!control) return driverNotFound;
    return expandTreeItem(control, args[1]) ? driverDone : fail(driverNotFound, "no such tree item", args[1]);
}

static int resourcesCommand(char** args) { return printResources(args[0]); }

static int regSaveCommand(char** args) { return saveRegistry(args[0], args[1]); }
static int regQueryCommand(char** args) { return queryRegistryValue(args[0], args[1]); }
static int regSetCommand(char** args) { return setRegistryValue(args[0], args[1], args[2], args[3]); }
static int regCreateCommand(char** args) { return createRegistryKey(args[0]); }
static int regDeleteCommand(char** args) { return deleteRegistryKey(args[0]); }
static int regDeleteValueCommand(char** args) { return deleteRegistryValue(args[0], args[1]); }

struct Command {
    const char* name;
    int argumentCount;
    int (*run)(char** args);
};

static const Command commands[] = {
    {"wait-dialog", 2, waitDialogCommand}, {"use", 1, useCommand},
    {"wait-box", 2, waitBoxCommand},       {"box-or-exit", 2, boxOrExitCommand},
    {"wait-page", 2, waitPageCommand},
    {"page-dump", 0, pageDumpCommand},     {"layout", 0, layoutCommand},
    {"dump", 0, dumpCommand},              {"items", 1, itemsCommand},
    {"click", 1, clickCommand},            {"set-text", 2, setTextCommand},
    {"check", 1, checkCommand},            {"uncheck", 1, uncheckCommand},
    {"select", 2, selectCommand},          {"wait-gone", 1, waitGoneCommand},
    {"launch", 1, launchCommand},          {"wait-exit", 1, waitExitCommand},
    {"watch", 1, watchCommand},            {"sleep", 1, sleepCommand},
    {"wait-file", 2, waitFileCommand},     {"image-pages", 1, imagePagesCommand},
    {"syscommand", 2, sysCommandCommand},
    {"key", 1, keyCommand},                {"tree", 1, treeCommand},
    {"expand", 2, expandCommand},          {"tick", 2, tickCommand},
    {"adopt", 0, adoptCommand},            {"setenv", 2, setenvCommand},
    {"focus", 0, focusCommand},            {"alt-key", 1, altKeyCommand},
    {"tab-cycle", 1, tabCycleCommand},     {"chdir", 1, chdirCommand},
    {"resources", 1, resourcesCommand},
    {"reg-save", 2, regSaveCommand},       {"reg-query", 2, regQueryCommand},
    {"reg-set", 4, regSetCommand},         {"reg-create", 1, regCreateCommand},
    {"reg-delete", 1, regDeleteCommand},   {"reg-delete-value", 2, regDeleteValueCommand},
};

static const Command* findCommand(const char* name) {
    for (const Command& command : commands)
        if (strcmp(command.name, name) == 0) return &command;
    return nullptr;
}

// Runs the commands of argv[0..count) in order; stops at the first that fails.
static int runCommands(int count, char** argv) {
    for (int at = 0; at < count;) {
        const Command* command = findCommand(argv[at]);
        if (!command) return fail(driverUsage, "unknown command", argv[at]);
        if (command->argumentCount > count - at - 1) return fail(driverUsage, "missing arguments", argv[at]);
        int code = command->run(argv + at + 1);
        fflush(stdout);
        if (code != driverDone) return code;
        at += 1 + command->argumentCount;
    }
    return driverDone;
}

// ---- Resident mode -----------------------------------------------------------------------------

// One request line split at its tabs, each field unescaped.
static std::vector<std::string> requestFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

static std::string ansiOf(const std::string& utf8) {
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> text(size > 0 ? size : 1);
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(), size);
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), -1, &out[0], length, nullptr, nullptr);
    out.resize(strlen(out.c_str()));
    return out;
}

// The window commands read their texts in the ANSI code page; the registry's stay UTF-8.
static void toCommandPage(std::vector<std::string>* fields) {
    for (size_t at = 0; at < fields->size();) {
        const Command* command = findCommand((*fields)[at].c_str());
        if (!command) return;
        bool registry = strncmp(command->name, "reg-", 4) == 0;
        for (int i = 1; i <= command->argumentCount && at + i < fields->size(); ++i)
            if (!registry) (*fields)[at + i] = ansiOf((*fields)[at + i]);
        at += 1 + command->argumentCount;
    }
}

static void forgetRequestState() {
    if (driver.launched) {
        CloseHandle(driver.process.hProcess);
        if (driver.process.hThread) CloseHandle(driver.process.hThread);
    }
    ZeroMemory(&driver, sizeof(driver));
}

static bool readLine(std::string* line) {
    line->clear();
    char piece[4096];
    while (fgets(piece, sizeof piece, stdin)) {
        *line += piece;
        if (!line->empty() && line->back() == '\n') {
            line->pop_back();
            if (!line->empty() && line->back() == '\r') line->pop_back();
            return true;
        }
    }
    return !line->empty();
}

// stderr goes to a file for the length of a request; its text travels in the end line.
static int serve() {
    char errorFile[MAX_PATH], folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    snprintf(errorFile, sizeof errorFile, "%svelkorin-driver-%lu.err", folder, GetCurrentProcessId());
    std::string line;
    while (readLine(&line)) {
        if (!freopen(errorFile, "w+b", stderr)) return fail(driverUsage, "cannot open", errorFile);
        std::vector<std::string> fields = requestFields(line);
        toCommandPage(&fields);
        std::vector<char*> argv;
        for (std::string& field : fields) argv.push_back(&field[0]);
        int code = runCommands(static_cast<int>(argv.size()), argv.data());
        forgetRequestState();
        fflush(stderr);
        std::string errors;
        rewind(stderr);
        for (int c; (c = fgetc(stderr)) != EOF;) errors += static_cast<char>(c);
        printf("\x1e" "end\t%d\t", code);
        printEscaped(errors.c_str());
        fputc('\n', stdout);
        fflush(stdout);
    }
    fclose(stderr);
    DeleteFileA(errorFile);
    return driverDone;
}

int main(int argc, char** argv) {
    if (argc < 2) return fail(driverUsage, "usage", "velkorin-driver.exe COMMAND [ARGS...]...");
    if (argc == 2 && strcmp(argv[1], "serve") == 0) return serve();
    return runCommands(argc - 1, argv + 1);
}

// launches.cpp -- launching programs and calling library functions.
#include "install/launches.h"

#include "script/fields.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/system_library.h"
#include "support/text_compare.h"
#include "system/paths.h"

static int showCommand(int windowState) {
    if (windowState == 1) return SW_SHOWMINNOACTIVE;
    if (windowState == 2) return SW_SHOWMAXIMIZED;
    return SW_SHOW;
}

// Waits for a started program while the caller's windows keep repainting.
static void waitWhilePainting(HANDLE process) {
    while (WaitForSingleObject(process, 100) == WAIT_TIMEOUT) {
        MSG message;
        while (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&message);
    }
}

static bool startProgram(const LaunchRequest& request, const char* folder) {
    char* commandLine = concatTexts("\"", request.program, "\" ", request.target);
    if (!commandLine) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = static_cast<WORD>(showCommand(request.windowState));
    PROCESS_INFORMATION process;
    bool started = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                                  CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr,
                                  folder, &startup, &process) != 0;
    heapFree(commandLine);
    if (!started) return false;
    CloseHandle(process.hThread);
    if (request.wait) waitWhilePainting(process.hProcess);
    CloseHandle(process.hProcess);
    return true;
}

bool launchProgram(const LaunchRequest& request) {
    char* folder = duplicateText(request.folder);
    if (!folder) return false;
    stripTrailingSlash(folder);
    const char* workingFolder = *folder ? folder : nullptr;
    bool done;
    if (sameTextIgnoringCase(request.program, "open")) {
        ShellExecuteA(GetDesktopWindow(), "open", request.target, nullptr, workingFolder,
                      showCommand(request.windowState));
        done = true;  // a run-once entry goes whatever the shell answered
    } else {
        done = startProgram(request, workingFolder);
    }
    heapFree(folder);
    return done;
}

typedef HRESULT(WINAPI* RegistrationFunction)();
typedef void(__cdecl* NoArguments)();
typedef void(__cdecl* OneArgument)(const char*);
typedef void(__cdecl* TwoArguments)(const char*, const char*);

static bool isRegistrationFunction(const char* name) {
    static const char* const names[] = {"DllRegisterServer", "DllUnregisterServer", "TLBRegister", "TLBUnregister"};
    for (const char* known : names)
        if (lstrcmpA(known, name) == 0) return true;
    return false;
}

// Registration entry points run with COM initialised and never get arguments.
static void callRegistration(FARPROC function) {
    HRESULT ole = OleInitialize(nullptr);
    if (ole != S_OK && ole != S_FALSE) return;
    reinterpret_cast<RegistrationFunction>(reinterpret_cast<void*>(function))();
    OleUninitialize();
}

bool callDllFunction(const DllCallRequest& request) {
    HMODULE library = loadNamedLibrary(request.library);
    if (!library) return false;
    FARPROC function = GetProcAddress(library, request.function);
    if (function) {
        void* entry = reinterpret_cast<void*>(function);
        if (isRegistrationFunction(request.function))
            callRegistration(function);
        else if (!*request.firstArgument)
            reinterpret_cast<NoArguments>(entry)();
        else if (!*request.secondArgument)
            reinterpret_cast<OneArgument>(entry)(request.firstArgument);
        else
            reinterpret_cast<TwoArguments>(entry)(request.firstArgument, request.secondArgument);
    }
    FreeLibrary(library);
    return function != nullptr;
}

// A numeric field, or its default when the field is empty.
static int numberOr(int index, int fallback) { return *field(index) ? toNumber(field(index)) : fallback; }

// Splits entry i (variables expanded) into state.fieldList; false when the heap is exhausted.
static bool splitEntry(const StringList* list, int index) {
    char* expanded = expandVariables(listAt(list, index));
    if (!expanded) return false;
    splitFields(expanded, false);
    heapFree(expanded);
    return true;
}

// The fields are copied: the launch may split texts of its own before it reads them.
static void runLaunchEntry(StringList* list, int* index) {
    if (!splitEntry(list, *index)) return;
    char* program = duplicateText(field(0));
    char* target = duplicateText(field(1));
    char* folder = duplicateText(field(2));
    bool wait = numberOr(3, 1) != 0, once = numberOr(4, 1) != 0;
    int windowState = numberOr(5, 0);
    if (program && target && folder && launchProgram({program, target, folder, wait, windowState}) && once) {
        listRemoveAt(list, *index);
        --*index;
    }
    char* texts[] = {program, target, folder};
    for (char* text : texts) heapFree(text);
}

static void runDllCallEntry(StringList* list, int* index) {
    if (!splitEntry(list, *index)) return;
    bool once = numberOr(4, 1) != 0;
    char* library = duplicateText(field(0));
    char* function = duplicateText(field(1));
    char* first = duplicateText(field(2));
    char* second = duplicateText(field(3));
    if (library && function && first && second && callDllFunction({library, function, first, second}) && once) {
        listRemoveAt(list, *index);
        --*index;
    }
    char* texts[] = {library, function, first, second};
    for (char* text : texts) heapFree(text);
}

void runActionLists(StringList* launches, StringList* dllCalls) {
    for (int i = 0; i < listCount(launches); ++i) runLaunchEntry(launches, &i);
    for (int i = 0; i < listCount(dllCalls); ++i) runDllCallEntry(dllCalls, &i);
}

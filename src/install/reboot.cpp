// reboot.cpp -- replacement and deletion of files at the next restart.
#include "install/reboot.h"

#include "install/rename_section.h"
#include "support/heap.h"
#include "support/system_library.h"
#include "system/paths.h"
#include "system/registry.h"

typedef BOOL(WINAPI* MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);

bool moveFileAtReboot(const char* source, const char* target) {
    // Windows 9x has no MoveFileExA: it is looked up, never imported.
    MoveFileExFunction moveFileEx;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel && findFunction(kernel, "MoveFileExA", &moveFileEx) &&
           moveFileEx(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool addRunOnceMove(const char* source, const char* target) {
    static const char runOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    char* command = concatTexts("command.com /c move \"", source, "\" \"", target, "\"");
    bool added = command && !writeRegistryValue(HKEY_LOCAL_MACHINE, runOnceKey, source, REG_SZ, command,
                                                textLength(command) + 1);
    heapFree(command);
    return added;
}

// The 8.3 form of path in a MAX_PATH buffer (the systems that read wininit.ini know no longer
// paths); the path itself when the system has none (a file that does not exist).
static void shortPath(const char* path, char* buffer) {
    DWORD length = GetShortPathNameA(path, buffer, MAX_PATH);
    if (!length || length >= MAX_PATH) lstrcpynA(buffer, path, MAX_PATH);
}

// Inserts line into the open wininit.ini through a mapping with room for it; false on failure.
static bool insertIntoFile(HANDLE file, const char* line) {
    DWORD size = GetFileSize(file, nullptr);
    DWORD room = size + renameSlack(textLength(line));
    if (size == INVALID_FILE_SIZE || room < size) return false;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, room, nullptr);
    char* data = mapping ? static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, room)) : nullptr;
    if (data) {
        size = insertRenameLine(data, size, line);
        UnmapViewOfFile(data);
    }
    if (mapping) CloseHandle(mapping);
    SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    return data != nullptr;
}

bool appendRenameEntry(const char* source, const char* target) {
    char windows[MAX_PATH], shortSource[MAX_PATH], shortTarget[MAX_PATH] = "NUL";
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    char* iniPath = length && length < MAX_PATH ? joinPath(windows, "wininit.ini") : nullptr;
    shortPath(source, shortSource);
    if (target) shortPath(target, shortTarget);
    char* line = concatTexts("\r\n", shortTarget, "=", shortSource);
    bool placed = false;
    if (iniPath && line) {
        HANDLE file = CreateFileA(iniPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            placed = insertIntoFile(file, line);
            CloseHandle(file);
        }
    }
    heapFree(iniPath);
    heapFree(line);
    return placed;
}

bool scheduleReplaceVia(const char* source, const char* target, bool useMoveFileEx) {
    if (target && !*target) target = nullptr;
    if (useMoveFileEx && moveFileAtReboot(source, target)) return true;
    if (target && isLongFileName(target)) return addRunOnceMove(source, target);
    return appendRenameEntry(source, target);
}

bool scheduleReplaceOnReboot(const char* source, const char* target) {
    return scheduleReplaceVia(source, target, true);
}

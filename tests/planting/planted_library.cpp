// planted_library.cpp -- the library the DLL-planting test places beside setup.exe and in its
// current folder under the names of the libraries setup.exe uses. It exports nothing; when any
// process loads it, it writes a marker file, C:\planting-markers\<its file name>.loaded, holding
// its own path and the program that loaded it, and then lets the load succeed. It imports from
// kernel32 only, so that a planted copy named after any other library still works.
#include <windows.h>

static void writeMarker(HINSTANCE self) {
    char library[MAX_PATH], program[MAX_PATH], marker[MAX_PATH + 64], line[2 * MAX_PATH + 8];
    if (!GetModuleFileNameA(self, library, MAX_PATH) || !GetModuleFileNameA(nullptr, program, MAX_PATH)) return;
    const char* name = library;
    for (const char* c = library; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    CreateDirectoryA("C:\\planting-markers", nullptr);
    lstrcpyA(marker, "C:\\planting-markers\\");
    lstrcatA(marker, name);
    lstrcatA(marker, ".loaded");
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    lstrcpyA(line, library);
    lstrcatA(line, "\r\n");
    lstrcatA(line, program);
    lstrcatA(line, "\r\n");
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    CloseHandle(file);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) writeMarker(self);
    return TRUE;
}

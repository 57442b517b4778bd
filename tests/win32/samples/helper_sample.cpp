// A library built twice under one name, each copy telling where it was built to lie: the one
// beside the tests (where a planted library would lie) and the one in lib\ beside call-sample.
#include <windows.h>

extern "C" __declspec(dllexport) const char* HelperOrigin() { return HELPER_ORIGIN; }

// Writes this copy's origin into the file at path.
extern "C" __declspec(dllexport) void Mark(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, HELPER_ORIGIN, lstrlenA(HELPER_ORIGIN), &written, nullptr);
    CloseHandle(file);
}

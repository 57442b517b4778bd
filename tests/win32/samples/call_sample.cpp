// A library that a DLL call names by its full path; it imports helper-sample.dll, and writes the
// origin of the copy of that library it was given into the file at path.
#include <windows.h>

extern "C" __declspec(dllimport) const char* HelperOrigin();

extern "C" __declspec(dllexport) void Mark(const char* path) {
    const char* origin = HelperOrigin();
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, origin, lstrlenA(origin), &written, nullptr);
    CloseHandle(file);
}

// The stub's import table: only system libraries the loader takes from the system folder, and
// only functions that Windows 95 already has. Everything newer is looked up at run time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef VELKORIN_STUB_PATH
namespace {
using Bytes = std::vector<uint8_t>;

// Functions of each library that Windows 95 exports and that the stub may import.
const std::map<std::string, std::set<std::string>> allowed = {
    {"KERNEL32.DLL",
     {"CloseHandle", "CompareFileTime", "CompareStringA", "CopyFileA", "CreateDirectoryA", "CreateEventA",
      "CreateFileA", "CreateFileMappingA", "CreateProcessA", "CreateThread", "DeleteFileA", "ExitProcess",
      "ExpandEnvironmentStringsA", "FindClose", "FindFirstFileA", "FindNextFileA", "FlushFileBuffers",
      "FormatMessageA", "FreeLibrary", "GetCommandLineA", "GetCurrentProcess", "GetCurrentProcessId",
      "GetCurrentThread", "GetCurrentThreadId", "GetDiskFreeSpaceA", "GetExitCodeProcess", "GetExitCodeThread", "FlushInstructionCache", "GetProcessHeap", "VirtualProtect",
      "GetFileAttributesA", "GetFileInformationByHandle", "GetFileSize", "GetFileTime", "GetFullPathNameA", "GetLastError", "GetLocaleInfoA",
      "GetModuleFileNameA", "GetModuleHandleA", "GetPrivateProfileStringA", "GetProcAddress", "GetShortPathNameA",
      "GetSystemDirectoryA", "GetTempFileNameA", "GetTempPathA", "GetTickCount", "GetUserDefaultLangID",
      "GetVersion", "GetVersionExA", "GetWindowsDirectoryA", "GlobalAlloc", "GlobalFree", "GlobalLock",
      "GlobalUnlock", "HeapAlloc", "HeapCreate", "HeapDestroy", "HeapFree", "HeapReAlloc", "HeapSize",
      "HeapValidate", "LoadLibraryA", "LoadLibraryExA", "LoadResource", "LocalFree", "LockResource",
      "MapViewOfFile", "MoveFileA", "MulDiv", "OutputDebugStringA", "ReadFile", "RemoveDirectoryA", "ResetEvent",
      "SetCurrentDirectoryA", "SetEndOfFile", "SetEvent", "SetUnhandledExceptionFilter", "SetFileAttributesA", "SetFilePointer", "SetFileTime", "SetLastError", "Sleep",
      "SizeofResource", "FindResourceA", "EnumResourceNamesA", "TerminateProcess", "UnmapViewOfFile",
      "WaitForSingleObject", "WriteFile", "WritePrivateProfileStringA", "lstrcmpiA", "lstrcmpA", "lstrcpyA",
      "lstrcpynA", "lstrcatA", "lstrlenA", "MultiByteToWideChar", "WideCharToMultiByte"}},
    {"USER32.DLL",
     {"BeginPaint", "CallWindowProcA", "CharNextA", "CharToOemA", "CharUpperA", "CharUpperBuffA", "CheckDlgButton",
      "CreateDialogParamA", "CreateDialogIndirectParamA", "DialogBoxIndirectParamA", "GetMessagePos", "GetDlgCtrlID",
      "MsgWaitForMultipleObjects", "SetClassLongA",
      "CreateWindowExA", "DefWindowProcA", "DestroyIcon", "DestroyWindow", "DialogBoxParamA", "DispatchMessageA",
      "DrawTextA", "EnableWindow", "EndDialog", "EndPaint", "ExitWindowsEx", "FillRect", "GetClientRect", "GetDC",
      "GetDesktopWindow", "GetDlgItem", "GetDlgItemTextA", "GetMessageA", "GetParent", "GetSysColor",
      "GetSystemMetrics", "GetWindowLongA", "GetWindowRect", "GetWindowTextA", "InvalidateRect",
      "IsDialogMessageA", "IsDlgButtonChecked", "LoadCursorA", "LoadIconA", "LoadImageA", "MapWindowPoints",
      "MessageBoxA", "MoveWindow", "PeekMessageA", "PostMessageA", "PostQuitMessage", "PostThreadMessageA",
      "RegisterClassA", "ReleaseDC", "ScreenToClient", "SendDlgItemMessageA", "SendMessageA", "SetCursor",
      "SetDlgItemTextA", "SetFocus", "SetForegroundWindow", "SetWindowLongA", "SetWindowPos", "SetWindowTextA",
      "ShowWindow", "TranslateMessage", "UpdateWindow", "wsprintfA", "wvsprintfA"}},
    {"GDI32.DLL",
     {"CreateFontA", "CreateFontIndirectA", "CreatePalette", "CreatePen", "CreateSolidBrush", "DeleteObject",
      "EnumFontFamiliesA", "EnumFontFamiliesExA", "GetDeviceCaps", "GetStockObject", "Polygon", "RealizePalette",
      "SelectObject", "SelectPalette", "SetBkColor", "SetBkMode", "SetTextColor", "TextOutA", "Rectangle",
      "UnrealizeObject"}},
    {"ADVAPI32.DLL",
     {"RegCloseKey", "RegCreateKeyExA", "RegDeleteKeyA", "RegDeleteValueA", "RegEnumKeyExA", "RegEnumValueA",
      "RegOpenKeyExA", "RegQueryInfoKeyA", "RegQueryValueExA", "RegSetValueExA"}},
    {"SHELL32.DLL",
     {"SHBrowseForFolderA", "SHChangeNotify", "SHFileOperationA", "SHGetFileInfoA", "SHGetPathFromIDListA",
      "ShellExecuteA", "ShellExecuteExA"}},
    {"OLE32.DLL", {"CoCreateInstance", "CoInitialize", "CoTaskMemFree", "CoUninitialize", "OleInitialize",
                   "OleUninitialize"}},
    {"COMCTL32.DLL", {"InitCommonControls"}},
};

uint32_t u32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t u16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

struct Image {
    Bytes bytes;
    size_t sections, sectionCount;
    size_t offsetOf(uint32_t rva) const {
        for (size_t i = 0; i < sectionCount; ++i) {
            size_t s = sections + 40 * i;
            uint32_t start = u32(bytes, s + 12), size = std::max(u32(bytes, s + 8), u32(bytes, s + 16));
            if (rva >= start && rva < start + size) return rva - start + u32(bytes, s + 20);
        }
        ADD_FAILURE() << "address outside every section: " << rva;
        return 0;
    }
    std::string textAt(uint32_t rva) const { return reinterpret_cast<const char*>(&bytes[offsetOf(rva)]); }
};

std::map<std::string, std::vector<std::string>> readImports(const Image& image) {
    const Bytes& b = image.bytes;
    size_t pe = u32(b, 0x3C);
    size_t optional = pe + 24;
    std::map<std::string, std::vector<std::string>> imports;
    for (size_t d = image.offsetOf(u32(b, optional + 104)); u32(b, d + 12) != 0; d += 20) {
        std::string dll = image.textAt(u32(b, d + 12));
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        uint32_t thunks = u32(b, d) ? u32(b, d) : u32(b, d + 16);
        for (size_t t = image.offsetOf(thunks); u32(b, t) != 0; t += 4) {
            uint32_t entry = u32(b, t);
            imports[dll].push_back(entry & 0x80000000u ? "#" + std::to_string(entry & 0xFFFF) : image.textAt(entry + 2));
        }
    }
    return imports;
}

TEST(StubImports, OnlySystemLibrariesAndWindows95Functions) {
    std::ifstream file(VELKORIN_STUB_PATH, std::ios::binary);
    ASSERT_TRUE(file) << VELKORIN_STUB_PATH;
    Image image{Bytes(std::istreambuf_iterator<char>(file), {}), 0, 0};
    size_t pe = u32(image.bytes, 0x3C);
    ASSERT_EQ(u32(image.bytes, pe), 0x00004550u) << "PE signature";
    EXPECT_EQ(u16(image.bytes, pe + 4), 0x014C) << "i386";
    EXPECT_EQ(u16(image.bytes, pe + 24), 0x010B) << "PE32";
    EXPECT_EQ(u16(image.bytes, pe + 24 + 48), 4) << "subsystem version 4.0";
    EXPECT_EQ(u16(image.bytes, pe + 24 + 68), 2) << "GUI subsystem";
    image.sectionCount = u16(image.bytes, pe + 6);
    image.sections = pe + 24 + u16(image.bytes, pe + 20);
    auto imports = readImports(image);
    ASSERT_FALSE(imports.empty());
    for (const auto& [dll, functions] : imports) {
        auto library = allowed.find(dll);
        ASSERT_NE(library, allowed.end()) << "the stub imports from " << dll;
        for (const std::string& function : functions)
            EXPECT_TRUE(library->second.count(function)) << dll << " " << function << " is not on the allow-list";
    }
}
}  // namespace
#endif

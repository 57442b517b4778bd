// file_version.cpp -- reading version resources and DllGetVersion.
#include "install/file_version.h"

#include "support/heap.h"
#include "support/system_library.h"
#include "support/text_compare.h"

typedef BOOL(WINAPI* VerQueryValueFunction)(LPCVOID block, LPCSTR subBlock, LPVOID* value, PUINT length);
typedef BOOL(WINAPI* GetBinaryTypeFunction)(LPCSTR path, LPDWORD type);

struct DllVersionInfo {
    DWORD size;
    DWORD major, minor, build, platform;
};
typedef HRESULT(CALLBACK* DllGetVersionFunction)(DllVersionInfo* info);

static HMODULE versionLibrary;
static VerQueryValueFunction verQueryValue;

bool loadVersionFunctions() {
    if (verQueryValue) return true;
    versionLibrary = loadSystemLibrary("VERSION.DLL");
    if (versionLibrary && findFunction(versionLibrary, "VerQueryValueA", &verQueryValue)) return true;
    unloadVersionFunctions();
    return false;
}

void unloadVersionFunctions() {
    if (versionLibrary) FreeLibrary(versionLibrary);
    versionLibrary = nullptr;
    verQueryValue = nullptr;
}

// GetBinaryTypeA is looked up: the first Windows releases export no working one.
static bool isWindowsProgram(const char* path) {
    GetBinaryTypeFunction getBinaryType;
    DWORD type = 0;
    if (!findFunction(GetModuleHandleA("KERNEL32.DLL"), "GetBinaryTypeA", &getBinaryType)) return false;
    return getBinaryType(path, &type) && (type == SCS_32BIT_BINARY || type == 6 /* SCS_64BIT_BINARY */);
}

// The enumeration frees a text name when it ends: the name is copied (a number is kept as it is).
static BOOL CALLBACK takeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    *reinterpret_cast<LPSTR*>(found) = IS_INTRESOURCE(name) ? name : duplicateText(name);
    return FALSE;
}

// Copies the first RT_VERSION resource into a block with room for VerQueryValue's conversions.
static void* copyVersionResource(HMODULE module) {
    LPSTR name = nullptr;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(16), takeFirstName, reinterpret_cast<LONG_PTR>(&name));
    HRSRC resource = name ? FindResourceA(module, name, MAKEINTRESOURCEA(16)) : nullptr;
    if (!IS_INTRESOURCE(name)) heapFree(name);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return nullptr;
    DWORD size = SizeofResource(module, resource);
    void* block = heapAlloc(size * 2 + 4);
    if (block) copyBytes(block, data, size);
    return block;
}

bool readFileVersion(const char* path, FileVersion* version, bool checkType) {
    version->ms = version->ls = 0;
    if ((checkType && !isWindowsProgram(path)) || !loadVersionFunctions()) return false;
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool found = false;
    void* block = copyVersionResource(module);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (block && verQueryValue(block, "\\", reinterpret_cast<void**>(&info), &length) && info &&
        length >= sizeof(VS_FIXEDFILEINFO) && info->dwSignature == 0xFEEF04BD) {
        version->ms = info->dwFileVersionMS;
        version->ls = info->dwFileVersionLS;
        found = true;
    }
    heapFree(block);
    FreeLibrary(module);
    return found;
}

static bool hasLibraryExtension(const char* path) {
    DWORD length = textLength(path);
    if (length < 4) return false;
    const char* extension = path + length - 4;
    return sameTextIgnoringCase(extension, ".dll") || sameTextIgnoringCase(extension, ".ocx") ||
           sameTextIgnoringCase(extension, ".tlb");
}

static bool callDllGetVersion(const char* path, FileVersion* version) {
    HMODULE library = loadNamedLibrary(path);
    if (!library) return false;
    DllGetVersionFunction getVersion;
    bool found = false;
    if (findFunction(library, "DllGetVersion", &getVersion)) {
        DllVersionInfo info = {sizeof(DllVersionInfo), 0, 0, 0, 0};
        if (getVersion(&info) == S_OK) {
            info = {sizeof(DllVersionInfo), 0, 0, 0, 0};
            if (getVersion(&info) == S_OK) {
                version->ms = (info.major << 16) | (info.minor & 0xFFFF);
                version->ls = info.build << 16;
                found = true;
            }
        }
    }
    FreeLibrary(library);
    return found;
}

bool readDllVersion(const char* path, FileVersion* version, bool checkType) {
    version->ms = version->ls = 0;
    bool library = !checkType || (isWindowsProgram(path) && hasLibraryExtension(path));
    if (library && callDllGetVersion(path, version)) return true;
    return readFileVersion(path, version, checkType);
}

bool formatFileVersion(const char* path, char* text, bool checkType) {
    FileVersion version;
    text[0] = 0;
    if (!readDllVersion(path, &version, checkType)) return false;
    wsprintfA(text, "%u.%u.%u.%u", HIWORD(version.ms), LOWORD(version.ms), HIWORD(version.ls), LOWORD(version.ls));
    return true;
}

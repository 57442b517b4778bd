// A library for the version tests: its version resource says 1.9.3.0, its DllGetVersion 6.0.2800.
#include <windows.h>

struct DllVersionInfo {
    DWORD size;
    DWORD major, minor, build, platform;
};

extern "C" __declspec(dllexport) HRESULT CALLBACK DllGetVersion(DllVersionInfo* info) {
    if (!info || info->size != sizeof(DllVersionInfo)) return E_INVALIDARG;
    info->major = 6;
    info->minor = 0;
    info->build = 2800;
    info->platform = 1;
    return S_OK;
}

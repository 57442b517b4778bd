// directx_probe.cpp -- the installed DirectX release, found by asking its components one after another for
// the interfaces each release introduced. Every library is unloaded again.
#include <ddraw.h>

#include "support/heap.h"
#include "support/system_library.h"
#include "system/registry.h"
#include "system/requirements.h"

typedef HRESULT(WINAPI* DirectDrawCreateFunction)(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);
typedef HRESULT(WINAPI* DirectDrawCreateExFunction)(GUID* driver, void** directDraw, REFIID iid, IUnknown* outer);

static const GUID iidDirectDraw2 = {0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
static const GUID iidSurface3 = {0xDA044E00, 0x69B2, 0x11D0, {0xA1, 0xD5, 0x00, 0xAA, 0x00, 0xB8, 0xDF, 0xBB}};
static const GUID iidSurface4 = {0x0B2B8630, 0xAD35, 0x11D0, {0x8E, 0xA6, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
static const GUID clsidDirectMusic = {0x636B9F10, 0x0C7D, 0x11D1, {0x95, 0xB2, 0x00, 0x20, 0xAF, 0xDC, 0x74, 0x21}};
static const GUID iidDirectMusic = {0x6536115A, 0x7B2D, 0x11D2, {0xBA, 0x18, 0x00, 0x00, 0xF8, 0x75, 0xAC, 0x12}};
static const GUID iidDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

// A probe step's answer when the next step decides.
constexpr DWORD probeGoesOn = 0xFFFFFFFF;

// Ends the probe at level, with a line for a debugger.
static DWORD probeFailed(const char* line, DWORD level) {
    OutputDebugStringA(line);
    return level;
}

// Whether the object answers for the interface (the answer is released at once).
static bool hasInterface(IUnknown* object, const GUID& iid) {
    IUnknown* answer;
    if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&answer)))) return false;
    answer->Release();
    return true;
}

// DirectX 2 brought DirectInput.
static DWORD probeDirectInput() {
    HMODULE dinput = loadSystemLibrary("DINPUT.DLL");
    if (!dinput) return probeFailed("Couldn't LoadLibrary DInput\r\n", 0x200);
    FARPROC create;
    bool found = findFunction(dinput, "DirectInputCreateA", &create);
    FreeLibrary(dinput);
    return found ? probeGoesOn : probeFailed("Couldn't GetProcAddress DInputCreate\r\n", 0x200);
}

// DirectX 3 and 5 extended the surfaces: the primary surface tells which interfaces it has.
static DWORD probeSurfaces(IDirectDraw* directDraw) {
    if (FAILED(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL)))
        return probeFailed("Couldn't Set coop level\r\n", 0x301);
    DDSURFACEDESC description = {};
    description.dwSize = sizeof(description);
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface* primary;
    if (FAILED(directDraw->CreateSurface(&description, &primary, nullptr)))
        return probeFailed("Couldn't CreateSurface\r\n", 0x301);
    DWORD level = !hasInterface(primary, iidSurface3)   ? 0x300
                  : !hasInterface(primary, iidSurface4) ? 0x500
                                                        : probeGoesOn;
    primary->Release();
    return level;
}

// DirectX 1 up to 5: DirectDraw, DirectDraw 2, DirectInput and the surfaces.
static DWORD probeDirectDraw(HMODULE ddraw) {
    DirectDrawCreateFunction create;
    IDirectDraw* directDraw;
    if (!findFunction(ddraw, "DirectDrawCreate", &create)) return probeFailed("Couldn't LoadLibrary DDraw\r\n", 0);
    if (FAILED(create(nullptr, &directDraw, nullptr))) return probeFailed("Couldn't create DDraw\r\n", 0);
    DWORD level = probeGoesOn;
    if (!hasInterface(directDraw, iidDirectDraw2)) level = probeFailed("Couldn't QI DDraw2\r\n", 0x100);
    if (level == probeGoesOn) level = probeDirectInput();
    if (level == probeGoesOn) level = probeSurfaces(directDraw);
    directDraw->Release();
    return level;
}

// DirectX 6 brought DirectMusic, a COM server.
static bool directMusicPresent() {
    bool initialised = SUCCEEDED(CoInitialize(nullptr));
    IUnknown* music;
    HRESULT result = CoCreateInstance(clsidDirectMusic, nullptr, CLSCTX_INPROC_SERVER, iidDirectMusic,
                                      reinterpret_cast<void**>(&music));
    if (SUCCEEDED(result)) music->Release();
    if (initialised) CoUninitialize();
    return SUCCEEDED(result);
}

// DirectX 7 brought DirectDraw 7; 8 and 9 are told by their Direct3D libraries.
static DWORD probeLaterReleases(HMODULE ddraw) {
    if (!directMusicPresent()) return probeFailed("Couldn't create CLSID_DirectMusic\r\n", 0x600);
    DirectDrawCreateExFunction createEx;
    IUnknown* directDraw7;
    if (!findFunction(ddraw, "DirectDrawCreateEx", &createEx) ||
        FAILED(createEx(nullptr, reinterpret_cast<void**>(&directDraw7), iidDirectDraw7, nullptr)))
        return 0x601;
    directDraw7->Release();
    HMODULE d3d8 = loadSystemLibrary("D3D8.DLL");
    HMODULE d3d9 = d3d8 ? loadSystemLibrary("D3D9.DLL") : nullptr;
    char* version = d3d8 ? readRegistryString("HKLM", "Software\\Microsoft\\DirectX", "Version") : nullptr;
    DWORD level = directXLevelFromDirect3D(d3d8 != nullptr, d3d9 != nullptr, version);
    heapFree(version);
    if (d3d9) FreeLibrary(d3d9);
    if (d3d8) FreeLibrary(d3d8);
    return level;
}

DWORD detectDirectXLevel() {
    HMODULE ddraw = loadSystemLibrary("DDRAW.DLL");
    if (!ddraw) return 0;
    DWORD level = probeDirectDraw(ddraw);
    if (level == probeGoesOn) level = probeLaterReleases(ddraw);
    FreeLibrary(ddraw);
    return level;
}

// driver_resources.cpp -- version information, icon group and execution level through the
// system's own functions (VERSION, USER32, the activation context API).
#include "driver_resources.h"

#include <windows.h>
#include <stdio.h>

#include "driver_windows.h"

static void printVersion(const char* path) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
    if (!size) return;
    BYTE* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
    if (!block || !GetFileVersionInfoA(path, 0, size, block)) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
        printf("fixed\t0x%08lX\t0x%08lX\t0x%08lX\t0x%08lX\n", fixed->dwFileVersionMS, fixed->dwFileVersionLS,
               fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    WORD* translation = nullptr;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < 4)
        return;
    printf("translation\t0x%04X\t0x%04X\n", translation[0], translation[1]);
    static const char* const names[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                                        "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};
    for (const char* name : names) {
        char query[96];
        char* value = nullptr;
        wsprintfA(query, "\\StringFileInfo\\%04X%04X\\%s", translation[0], translation[1], name);
        if (VerQueryValueA(block, query, reinterpret_cast<void**>(&value), &length) && value)
        {
            printf("string\t%s\t", name);
            printEscaped(value);
            printf("\n");
        }
    }
    HeapFree(GetProcessHeap(), 0, block);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

static void printIcon(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14));
    const BYTE* group = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    if (!group || SizeofResource(module, found) < 6) return;
    WORD count = *reinterpret_cast<const WORD*>(group + 4);
    if (SizeofResource(module, found) < 6u + 14u * count) return;
    for (WORD i = 0; i < count; ++i) {
        const GroupEntry* e = reinterpret_cast<const GroupEntry*>(group + 6 + 14 * i);
        HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(e->id), MAKEINTRESOURCEA(3));
        BYTE* bits = image ? static_cast<BYTE*>(LockResource(LoadResource(module, image))) : nullptr;
        int side = e->width ? e->width : 256;
        HICON icon = bits ? CreateIconFromResourceEx(bits, SizeofResource(module, image), TRUE, 0x00030000, side,
                                                     e->height ? e->height : 256, 0)
                          : nullptr;
        printf("icon\t%d\t%d\t%u\t%lu\t%d\n", side, e->height ? e->height : 256, e->bits, e->bytes, icon ? 1 : 0);
        if (icon) DestroyIcon(icon);
    }
}

static void printManifest(const char* path) {
    ACTCTXA context;
    ZeroMemory(&context, sizeof context);
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path;
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE handle = CreateActCtxA(&context);
    if (handle == INVALID_HANDLE_VALUE) return;
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level;
    SIZE_T written = 0;
    if (QueryActCtxW(0, handle, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, &written))
        printf("level\t%d\t%lu\n", static_cast<int>(level.RunLevel), level.UiAccess);
    BYTE buffer[1024];
    if (QueryActCtxW(0, handle, nullptr, CompatibilityInformationInActivationContext, buffer, sizeof buffer, &written))
        printf("supported-os\t%lu\n", reinterpret_cast<ACTIVATION_CONTEXT_COMPATIBILITY_INFORMATION*>(buffer)->ElementCount);
    ReleaseActCtx(handle);
}

int printResources(const char* path) {
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        fprintf(stderr, "velkorin-driver: cannot load %s (error %lu)\n", path, GetLastError());
        return 2;
    }
    printVersion(path);
    printIcon(module);
    FreeLibrary(module);
    printManifest(path);
    return 0;
}

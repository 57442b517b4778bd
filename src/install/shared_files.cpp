// shared_files.cpp -- the SharedDLLs reference counts.
#include "install/shared_files.h"

#include "script/fields.h"
#include "support/heap.h"
#include "system/registry.h"

static const char sharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The count as stored: a REG_DWORD (or 4 binary bytes) is the number itself; some programs
// write it as text ("2"), which is read as a number. Any other type counts as 0.
static DWORD readSharedCount(const char* path) {
    DWORD type = 0, size = 0, count = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, &type, &size);
    if (!data) return 0;
    if ((type == REG_DWORD || type == REG_BINARY) && size >= sizeof(DWORD)) copyBytes(&count, data, sizeof(DWORD));
    else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        int number = toNumber(reinterpret_cast<char*>(data));
        count = number > 0 ? static_cast<DWORD>(number) : 0;
    }
    heapFree(data);
    return count;
}

DWORD adjustSharedCount(const char* path, bool decrement) {
    DWORD count = readSharedCount(path);
    if (!decrement) ++count;
    else if (count) --count;
    if (count) writeRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, REG_DWORD, &count, sizeof(count));
    else deleteRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, false);
    return count;
}

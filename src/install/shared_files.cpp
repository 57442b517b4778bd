// shared_files.cpp -- the SharedDLLs reference counts.
#include "install/shared_files.h"

#include "support/heap.h"
#include "system/registry.h"

static const char sharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

DWORD adjustSharedCount(const char* path, bool decrement) {
    DWORD type = 0, size = 0, count = 0;
    BYTE* data = readRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, &type, &size);
    if (data && size >= sizeof(DWORD)) copyBytes(&count, data, sizeof(DWORD));
    heapFree(data);
    if (!decrement) ++count;
    else if (count) --count;
    if (count) writeRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, REG_DWORD, &count, sizeof(count));
    else deleteRegistryValue(HKEY_LOCAL_MACHINE, sharedDllsKey, path, false);
    return count;
}

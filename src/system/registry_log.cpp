// registry_log.cpp -- install-log lines of the registry services.
#include "system/registry_log.h"

#include "install/install_log.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "system/registry_data.h"

void recordRegistryKey(DWORD root, const char* key, bool wholeTree, bool write) {
    if (!isUsableKeyPath(key)) return;  // its removal would take the key above with it
    char kind[16];
    wsprintfA(kind, "e,%u,", static_cast<unsigned>(root));
    char* line = concatTexts(kind, key, wholeTree ? ",1" : nullptr);
    if (line) recordRegistryLogLine(line, write);
    heapFree(line);
}

void recordRegistryValue(const char* rootText, const char* key, const char* valueName, bool write) {
    char* line = concatTexts("c,", rootText, ",", key, ",");
    char* full = line ? concatTexts(line, valueName) : nullptr;
    if (full) recordRegistryLogLine(full, write);
    heapFree(line);
    heapFree(full);
}

void recordRegistryLogLine(const char* line, bool write) { appendLogLine(state.logFile, line, nullptr, write, false); }

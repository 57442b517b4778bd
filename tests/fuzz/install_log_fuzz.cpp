// Fuzzes the install-log reader over arbitrary bytes, as the uninstaller loads them: the header,
// the walk over the entry lines from last to first, each line's kind and fields, the leftover
// list, and the log-path choice over the same bytes as a command line. Nothing may read outside
// the bytes given, and the walk yields exactly as many lines as there are line feeds.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "script/fields.h"
#include "uninstall/log_reader.h"
#include "uninstall/removal_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepareFuzzState();
    char* text = static_cast<char*>(heapAlloc(static_cast<DWORD>(size) + 1));
    copyBytes(text, data, static_cast<DWORD>(size));
    char* end = text + size;
    if (char* entries = readLogHeader(text, static_cast<DWORD>(size))) {
        if (entries < text || entries > end || !state.productTitle || !state.productName) __builtin_trap();
        int expected = countLogLines(entries, end), taken = 0;
        while (char* line = takeLastLine(entries, &end)) {
            ++taken;
            char kind = splitLogEntry(line);
            if (removalStepText(kind) && (kind < 'a' || kind > 'h')) __builtin_trap();
            if (listCount(&state.fieldList) != fieldCount) __builtin_trap();
            listAppend(&state.leftoverPaths, field(0));
        }
        if (taken != expected) __builtin_trap();
        int before = listCount(&state.leftoverPaths);
        prepareLeftoverPaths(&state.leftoverPaths);
        if (listCount(&state.leftoverPaths) > before) __builtin_trap();
    }
    heapFree(text);
    std::string commandLine(reinterpret_cast<const char*>(data), size);  // cut at the first zero byte
    char* logPath = nullptr;
    bool secondStage = chooseLogPath(commandLine.c_str(), "C:\\Program Files\\Demo\\Remove.exe", &logPath);
    if (!logPath || (secondStage && std::strlen(logPath) <= 4)) __builtin_trap();
    heapFree(logPath);
    releaseFuzzState();
    return 0;
}

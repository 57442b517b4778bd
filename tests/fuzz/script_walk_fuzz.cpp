// Fuzzes the record walk and the interpreter over arbitrary script bytes: the walk must never
// read past the bytes it was given, whatever the lengths and terminator say, and no record may
// read past its own length. Folder paths, a font and a registry value are present so that token
// expansion, the font fall-back and the registry default run.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script/folder_token_table.h"
#include "script/records.h"
#include "startup/package.h"
#include "system_doubles.h"

static void prepareSystem() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    doubleInstallFont("Tahoma");
    doubleSetRegistryString(2, "Software\\Demo", "Path", "D:\\Demo");
    doubleSetUserLanguage(0x0407);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepareFuzzState();
    prepareSystem();
    for (int i = 0; i < folderTokenCount; ++i) listAppend(&state.folderPaths, ("C:\\F" + std::to_string(i)).c_str());
    // An exact-size copy so that AddressSanitizer sees any read past the end.
    std::vector<uint8_t> script(data, data + size);
    walkScript(script.data(), static_cast<DWORD>(script.size()), applyRecord);
    // Whatever the script said, the state stays within its tables.
    if (state.languageId >= languageSlots) __builtin_trap();
    if (listCount(&state.variableNames) != listCount(&state.variableValues)) __builtin_trap();
    releaseFuzzState();
    return 0;
}

// Fuzzes the language text tables over arbitrary text and language records (the record framing
// of the script; other record types are skipped): every payload is an exact-size copy, so that
// AddressSanitizer reports a read past a record; afterwards the start language and every offered
// language lie within the tables, only the 13 page tables and the message, error and button
// tables exist, and every text that a lookup finds is a terminated string.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script/folder_token_table.h"
#include "script/languages.h"
#include "startup/package.h"
#include "system_doubles.h"

namespace {

void applyTableRecord(DWORD type, const BYTE* record) {
    DWORD length = readU32(record);
    std::vector<BYTE> payload(record + 4, record + 4 + length);
    if (type == recordText) applyTextRecord(payload.data(), length);
    if (type == recordLanguages) applyLanguagesRecord(payload.data(), length);
}

bool tableExists(DWORD table) {
    return table < pageRecordCount || table == tableMessages || table == tableErrors || table == tableButtons;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepareFuzzState();
    static bool ready = false;
    if (!ready) {
        ready = true;
        doubleSetUserLanguage(0x0407);
    }
    for (int i = 0; i < folderTokenCount; ++i) listAppend(&state.folderPaths, ("C:\\F" + std::to_string(i)).c_str());
    std::vector<uint8_t> script(data, data + size);
    walkScript(script.data(), static_cast<DWORD>(script.size()), applyTableRecord);

    if (state.languageId >= languageSlots) __builtin_trap();
    for (int i = 0; i < state.languageCount; ++i)
        if (offeredLanguage(i) >= languageSlots) __builtin_trap();
    for (DWORD table = 0; table < 256; ++table) {
        if ((textTable(table, 0) != nullptr) != tableExists(table)) __builtin_trap();
        if (textTable(table, languageSlots) != nullptr) __builtin_trap();
        if (!tableExists(table)) continue;
        for (int item = 0; item < 256; ++item) {
            const char* found = text(table, item);
            if (found && std::strlen(found) > size) __builtin_trap();
        }
    }
    releaseFuzzState();
    return 0;
}

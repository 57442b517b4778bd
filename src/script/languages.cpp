// languages.cpp -- offered languages, the start language and the language-indexed text tables.
#include "script/languages.h"

#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/user_language.h"

constexpr int appendAtEnd = 0x7FFFFFFF;  // pointer-array index meaning "after the last item"

StringList* textTable(DWORD table, DWORD language) {
    if (language >= languageSlots) return nullptr;
    if (table < pageRecordCount) return &state.pages[table].texts[language];
    switch (table) {
    case tableMessages: return &state.messageTexts[language];
    case tableErrors: return &state.errorTexts[language];
    case tableButtons: return &state.buttonTexts[language];
    default: return nullptr;
    }
}

const char* text(DWORD table, int item) {
    StringList* list = textTable(table, state.languageId);
    return list ? listAt(list, item) : nullptr;
}

void applyTextRecord(const BYTE* payload, DWORD length) {
    DWORD end = sizeof(TextRecordHead);
    while (end < length && payload[end]) ++end;
    if (end >= length) return;  // no text, or its terminator lies outside the record
    StringList* list = textTable(payload[2], payload[0] | (payload[1] << 8));
    if (!list) return;
    const char* written = reinterpret_cast<const char*>(payload + sizeof(TextRecordHead));
    if (payload[2] >= pageRecordCount) {
        listSetAt(list, payload[3], written);
        return;
    }
    char* expanded = expandFolderTokens(written);
    listSetAt(list, payload[3], expanded);
    heapFree(expanded);
}

void applyLanguagesRecord(const BYTE* payload, DWORD length) {
    if (!length || !state.languages) return;
    pointerArray.deleteAllPtrs(state.languages);  // a repeated record replaces the list
    state.languageCount = 0;
    WORD user = userDefaultLanguageId() & 0xFF;
    WORD chosen = 0xFFFF, first = 0xFFFF;
    for (DWORD at = 1; at + 2 <= length; at += 2) {
        WORD language = payload[at] | (payload[at + 1] << 8);
        if (language >= languageSlots) continue;  // outside the text tables: never offered
        if (pointerArray.insertPtr(state.languages, appendAtEnd, reinterpret_cast<void*>(static_cast<UINT_PTR>(language))) < 0)
            continue;
        ++state.languageCount;
        if (first == 0xFFFF) first = language;
        if (payload[0] && language == user && chosen == 0xFFFF) chosen = language;
    }
    if (chosen == 0xFFFF) chosen = first;
    if (chosen != 0xFFFF) state.languageId = chosen;
}

WORD offeredLanguage(int index) {
    return static_cast<WORD>(reinterpret_cast<UINT_PTR>(pointerArray.getPtr(state.languages, index)));
}

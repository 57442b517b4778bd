// records.cpp -- the record interpreter. Every text a record carries is copied; nothing keeps a
// pointer into the script buffer.
#include "script/records.h"

#include "script/setup_state.h"
#include "support/heap.h"

// A bounded reader over one record's payload: reads past the end yield zeros and empty texts.
struct PayloadReader {
    const BYTE* at;
    DWORD left;
};

static DWORD readLength(const BYTE* record) {
    return record[0] | (record[1] << 8) | (record[2] << 16) | (static_cast<DWORD>(record[3]) << 24);
}

static PayloadReader payloadOf(const BYTE* record) { return {record + 4, readLength(record)}; }

static const char* takeText(PayloadReader* reader) {
    static const char empty[] = "";
    DWORD n = 0;
    while (n < reader->left && reader->at[n]) ++n;
    if (n == reader->left) {  // no terminator inside the record: treat the rest as lost
        reader->at += reader->left;
        reader->left = 0;
        return empty;
    }
    const char* text = reinterpret_cast<const char*>(reader->at);
    reader->at += n + 1;
    reader->left -= n + 1;
    return text;
}

static void replaceText(char** field, const char* text) {
    heapFree(*field);
    *field = duplicateText(text);
}

static void applyVariable(PayloadReader reader) {
    const char* name = takeText(&reader);
    const char* value = takeText(&reader);
    if (listAppend(&state.variableNames, name) >= 0) listAppend(&state.variableValues, value);
}

static void applyPages(PayloadReader reader) {
    for (DWORD i = 0; i < wizardPageCount; ++i) {
        state.pages[i].enabled = i < reader.left && reader.at[i] != 0;
        state.pages[i].dialogId = state.dialogIdBase + 129 + static_cast<int>(i);
    }
}

static void applyProductNames(PayloadReader reader) {
    replaceText(&state.productName, takeText(&reader));
    replaceText(&state.productTitle, takeText(&reader));
    heapFree(state.setupCaption);
    state.setupCaption = concatTexts(state.productTitle, " Setup");
}

void applyRecord(DWORD type, const BYTE* record) {
    PayloadReader reader = payloadOf(record);
    switch (type) {
    case recordVariable: applyVariable(reader); break;
    case recordPages: applyPages(reader); break;
    case recordProduct: applyProductNames(reader); break;
    default: break;  // interpreted by later stages of the build-up, or unknown: skipped
    }
}

// registry_data.cpp -- registry record texts and value data, without system calls.
#include "system/registry_data.h"

#include "script/fields.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/paths.h"

bool isUsableKeyPath(const char* key) {
    while (*key == '\\') ++key;
    const char* last = lastCharacter(key);  // the last character, not byte
    return last && *last != '\\';
}

bool isStoredValueType(DWORD type) {
    return (type >= valueTypeString && type <= valueTypeNumber) || type == valueTypeMultiString;
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c |= 0x20;
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Hex pairs into data (room for (length + 1) / 2 bytes); the number of bytes.
static DWORD decodeHexPairs(const char* text, BYTE* data) {
    DWORD count = 0;
    for (const char* c = text;; c += 2) {
        int high = hexDigit(c[0]);
        if (high < 0) break;
        int low = hexDigit(c[1]);
        data[count++] = static_cast<BYTE>(high << 4 | (low < 0 ? 0 : low));
        if (low < 0) break;
    }
    return count;
}

BYTE* encodeRegistryData(DWORD type, const char* text, DWORD* size) {
    DWORD length = textLength(text);
    BYTE* data = static_cast<BYTE*>(heapAlloc(length + 4));  // zero-filled: terminators included
    *size = 0;
    if (!data) return nullptr;
    switch (type) {
    case valueTypeBinary:
        *size = decodeHexPairs(text, data);
        break;
    case valueTypeNumber: {
        DWORD number = static_cast<DWORD>(toNumber(text));
        copyBytes(data, &number, 4);
        *size = 4;
        break;
    }
    case valueTypeMultiString:
        // Cut at the bars between the strings, by characters: a second byte may be 0x7C (ポ in 932).
        copyBytes(data, text, length);
        for (const char* c = text; *c; c = CharNextA(c))
            if (*c == '|') data[c - text] = 0;
        *size = length + 2;
        break;
    default:
        copyBytes(data, text, length);
        *size = length + 1;
    }
    return data;
}

char* registryKeyPath(const char* key) {
    if (key && *key == '\\') ++key;
    char* path = duplicateText(key ? key : "");
    if (path) stripTrailingSlash(path);
    return path;
}

// The text after the fourth comma, or "" when there are fewer.
static const char* dataText(const char* text) {
    for (int commas = 0; *text; ++text)
        if (*text == ',' && ++commas == 4) return text + 1;
    return text;
}

int readRegistryRecord(const char* text, RegistryRecord* record) {
    *record = RegistryRecord{};
    char* expanded = expandVariables(text);
    if (!expanded) return registryRecordNoMemory;
    splitFields(expanded, false);
    record->type = static_cast<DWORD>(toNumber(field(3)));
    if (!record->type) record->type = valueTypeString;
    int outcome = registryRecordSkipped;
    if (isStoredValueType(record->type)) {
        record->root = toNumber(field(0));
        record->rootText = duplicateText(field(0));
        record->key = registryKeyPath(field(1));
        record->valueName = duplicateText(field(2));
        record->data = encodeRegistryData(record->type, dataText(expanded), &record->size);
        outcome = record->rootText && record->key && record->valueName && record->data ? registryRecordReady
                                                                                         : registryRecordNoMemory;
    }
    heapFree(expanded);
    if (outcome != registryRecordReady) freeRegistryRecord(record);
    return outcome;
}

void freeRegistryRecord(RegistryRecord* record) {
    heapFree(record->rootText);
    heapFree(record->key);
    heapFree(record->valueName);
    heapFree(record->data);
    *record = RegistryRecord{};
}

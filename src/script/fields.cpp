// fields.cpp -- the comma field splitter and the number parser.
#include "script/fields.h"

#include "script/setup_state.h"
#include "support/heap.h"

// Stores the pieces of text (cut in place at commas) in fieldList from index first on; fields the
// text does not reach become empty, pieces behind the last field are dropped.
static void storeFields(char* text, int first) {
    for (int i = first; i < fieldCount; ++i) {
        char* piece = text ? text : const_cast<char*>("");
        if (text) {
            while (*text && *text != ',') ++text;
            if (*text) *text++ = 0;
            else text = nullptr;
        }
        listSetAt(&state.fieldList, i, piece);
    }
}

// In quoted-first mode: field 0 is stored; returns where the fields after it start, or null.
static char* storeQuotedField(char* text) {
    while (*text && *text != '"') ++text;
    if (!*text) return nullptr;
    char* quoted = ++text;
    while (*text && *text != '"') ++text;
    char* after = *text ? text + 1 : text;
    *text = 0;
    listSetAt(&state.fieldList, 0, quoted);
    while (*after && *after != ',') ++after;
    return *after ? after + 1 : nullptr;
}

void splitFields(const char* text, bool quotedFirst) {
    char* copy = duplicateText(text);
    char* rest = copy;
    if (quotedFirst) {
        listSetAt(&state.fieldList, 0, "");
        rest = copy ? storeQuotedField(copy) : nullptr;
    }
    storeFields(rest, quotedFirst ? 1 : 0);
    heapFree(copy);
}

const char* field(int index) {
    const char* item = listAt(&state.fieldList, index);
    return item ? item : "";
}

char* joinFields(const BYTE* indexes, int count) {
    DWORD length = 0;
    for (int i = 0; i < count; ++i) length += textLength(field(indexes[i])) + 1;
    char* joined = static_cast<char*>(heapAlloc(length + 1));
    if (!joined) return nullptr;
    char* out = joined;
    for (int i = 0; i < count; ++i) {
        if (i) *out++ = ',';
        DWORD n = textLength(field(indexes[i]));
        copyBytes(out, field(indexes[i]), n);
        out += n;
    }
    return joined;
}

int toNumber(const char* text) {
    if (!text) return 0;
    DWORD value = 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        for (text += 2;; ++text) {
            char c = *text;
            DWORD digit = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : 16;
            if (digit > 15) break;
            value = value * 16 + digit;
        }
    } else if (text[0] == '0' && text[1] >= '0' && text[1] <= '7') {
        for (; *text >= '0' && *text <= '7'; ++text) value = value * 8 + (*text - '0');
    } else {
        bool negative = *text == '-';
        for (text += negative; *text >= '0' && *text <= '9'; ++text) value = value * 10 + (*text - '0');
        if (negative) value = 0 - value;
    }
    return static_cast<int>(value);
}

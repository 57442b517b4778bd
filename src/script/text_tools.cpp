// text_tools.cpp -- search and replace over zero-terminated texts, with an optional length limit
// and the program's case rule.
#include "script/text_tools.h"

#include "support/heap.h"
#include "support/text_compare.h"

static bool sameChar(char a, char b, bool caseSensitive) {
    return a == b || (!caseSensitive && upperCaseChar(a) == upperCaseChar(b));
}

// Characters of text that lie inside the limit.
static DWORD limitedLength(const char* text, int limit) {
    DWORD n = 0;
    while ((limit < 0 || n < static_cast<DWORD>(limit)) && text[n]) ++n;
    return n;
}

const char* findText(const char* text, const char* search, int limit, bool caseSensitive) {
    if (!text || !search || !*search) return nullptr;
    DWORD length = limitedLength(text, limit);
    DWORD searchLength = textLength(search);
    for (DWORD at = 0; at + searchLength <= length; ++at) {
        DWORD k = 0;
        while (k < searchLength && sameChar(text[at + k], search[k], caseSensitive)) ++k;
        if (k == searchLength) return text + at;
    }
    return nullptr;
}

const char* findChar(const char* text, char c, int limit, bool caseSensitive) {
    const char search[2] = {c, 0};
    return findText(text, search, limit, caseSensitive);
}

const char* findLastChar(const char* text, char c, int limit, bool caseSensitive) {
    if (!text || !c) return nullptr;
    for (DWORD n = limitedLength(text, limit); n--;)
        if (sameChar(text[n], c, caseSensitive)) return text + n;
    return nullptr;
}

const char* extractBetween(const char* text, const char* delimiter, int limit, bool caseSensitive,
                           char** between) {
    *between = nullptr;
    const char* first = findText(text, delimiter, limit, caseSensitive);
    if (!first) return nullptr;
    DWORD delimiterLength = textLength(delimiter);
    int rest = limit < 0 ? wholeText : limit - static_cast<int>(first - text + delimiterLength);
    const char* second = findText(first + delimiterLength, delimiter, rest, caseSensitive);
    if (!second) return nullptr;
    DWORD span = static_cast<DWORD>(second - first) + delimiterLength;
    char* copy = static_cast<char*>(heapAlloc(span + 1));
    if (!copy) return nullptr;
    copyBytes(copy, first, span);
    *between = copy;
    return first;
}

bool containsAny(const char* text, const StringList* list) {
    for (int i = 0; i < listCount(list); ++i)
        if (findText(text, listAt(list, i), wholeText, true)) return true;
    return false;
}

bool replaceAllIn(char** text, const char* search, const char* replacement, bool caseSensitive) {
    const char* hit = findText(*text, search, wholeText, caseSensitive);
    if (!hit) return true;
    DWORD searchLength = textLength(search), replacementLength = textLength(replacement);
    unsigned long long length = textLength(*text);
    for (const char* p = hit; p; p = findText(p + searchLength, search, wholeText, caseSensitive))
        length += replacementLength - static_cast<unsigned long long>(searchLength);
    char* result = length < 0x7FFFFFFF ? static_cast<char*>(heapAlloc(static_cast<DWORD>(length) + 1)) : nullptr;
    if (result) {
        char* out = result;
        const char* from = *text;
        for (const char* p = hit; p; p = findText(from, search, wholeText, caseSensitive)) {
            copyBytes(out, from, static_cast<DWORD>(p - from));
            out += p - from;
            copyBytes(out, replacement, replacementLength);
            out += replacementLength;
            from = p + searchLength;
        }
        copyBytes(out, from, textLength(from));
    }
    heapFree(*text);
    *text = result;
    return result != nullptr;
}

char* replaceAll(const char* text, const char* search, const char* replacement, bool caseSensitive) {
    char* result = duplicateText(text);
    return result && replaceAllIn(&result, search, replacement, caseSensitive) ? result : nullptr;
}

static char* tokenPosition;  // where the next piece of the current scan starts; null when done

char* nextToken(char* text, const char* delimiter) {
    if (text && *text) tokenPosition = text;
    char* piece = tokenPosition;
    if (!piece) return nullptr;
    char* cut = const_cast<char*>(findText(piece, delimiter, wholeText, true));
    tokenPosition = cut ? cut + textLength(delimiter) : nullptr;
    if (cut) *cut = 0;
    return piece;
}

// text_compare.cpp -- text comparisons through the system's locale and upper-casing.
#include "support/text_compare.h"

int compareTexts(const char* a, const char* b, bool caseSensitive) {
    int result = CompareStringA(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE, a, -1, b, -1);
    return result - CSTR_EQUAL;
}

static unsigned char upperChar(unsigned char c) {
    return static_cast<unsigned char>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(c)))));
}

bool sameTextIgnoringCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (;; ++a, ++b) {
        if (upperChar(static_cast<unsigned char>(*a)) != upperChar(static_cast<unsigned char>(*b))) return false;
        if (!*a) return true;
    }
}

// text_compare.cpp -- text comparisons through the system's locale and upper-casing.
#include "support/text_compare.h"

int compareTexts(const char* a, const char* b, bool caseSensitive) {
    int result = CompareStringA(LOCALE_USER_DEFAULT, caseSensitive ? 0 : NORM_IGNORECASE, a, -1, b, -1);
    return result - CSTR_EQUAL;
}

// CharUpperA's answer per character value, 0 while not asked yet (no character but 0 upper-cases
// to 0). Each entry is written whole with the same value by whichever thread asks first.
static unsigned char upperCases[256];

unsigned char upperCaseChar(char c) {
    unsigned char code = static_cast<unsigned char>(c);
    unsigned char upper = upperCases[code];
    if (!upper && code) {
        UINT_PTR asked = reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(code))));
        upperCases[code] = upper = static_cast<unsigned char>(asked);
    }
    return upper;
}

bool sameTextIgnoringCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (;; ++a, ++b) {
        if (upperCaseChar(*a) != upperCaseChar(*b)) return false;
        if (!*a) return true;
    }
}

// code_page.cpp -- UTF-8 to ANSI code pages. Each code page is a table of the characters of its
// upper half; the lower half is ASCII in every code page the builder supports.
#include "code_page.h"

#include <cstdint>
#include <cstdio>

namespace {

// Windows-1252: 0x80..0x9F hold typographic characters (0 = unassigned); 0xA0..0xFF equal
// Latin-1, that is U+00A0..U+00FF.
const uint16_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte of a character in 1252, or -1.
int byteIn1252(uint32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (windows1252High[i] && windows1252High[i] == c) return 0x80 + i;
    return -1;
}

struct CodePage {
    int number;
    int (*byteOf)(uint32_t character);
};
const CodePage codePages[] = {{1252, byteIn1252}};

const CodePage* findCodePage(int number) {
    for (const CodePage& page : codePages)
        if (page.number == number) return &page;
    return nullptr;
}

// Decodes one character at text[*at]; false for bytes that are not UTF-8.
bool decodeUtf8(const std::string& text, size_t* at, uint32_t* character) {
    unsigned char lead = static_cast<unsigned char>(text[*at]);
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || *at + extra >= text.size()) return false;
    uint32_t c = extra ? lead & (0x3F >> extra) : lead;
    for (int i = 1; i <= extra; ++i) {
        unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80) return false;
        c = c << 6 | (next & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < smallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    *at += extra + 1;
    *character = c;
    return true;
}

}  // namespace

bool codePageSupported(int codePage) { return findCodePage(codePage) != nullptr; }

bool toCodePage(const std::string& utf8, int codePage, std::string* out, std::string* what) {
    const CodePage* page = findCodePage(codePage);
    if (!page) return *what = "code page " + std::to_string(codePage) + " is not supported", false;
    out->clear();
    for (size_t at = 0; at < utf8.size();) {
        size_t start = at;
        uint32_t c;
        if (!decodeUtf8(utf8, &at, &c)) return *what = "the text is not valid UTF-8", false;
        int byte = page->byteOf(c);
        if (byte < 0) {
            char code[16];
            std::snprintf(code, sizeof(code), "U+%04X", c);
            *what = "character " + std::string(code) + " '" + utf8.substr(start, at - start) + "' is not in code page " +
                    std::to_string(codePage);
            return false;
        }
        out->push_back(static_cast<char>(byte));
    }
    return true;
}

std::string fromCodePage(const std::string& ansi, int codePage) {
    std::string out;
    (void)codePage;  // 1252 is the only one
    for (char byte : ansi) {
        unsigned char b = static_cast<unsigned char>(byte);
        uint32_t c = b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : b;
        if (b >= 0x80 && b < 0xA0 && !c) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// code_page.cpp -- UTF-8 to ANSI code pages. The characters of each code page are tables kept in
// the source (code_page_tables.cpp), so the builder writes the same bytes on every host; the
// lower half is ASCII in every code page the builder supports.
#include "code_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "code_page_tables.h"

namespace {

// The byte of a character in a single-byte code page, or -1.
int byteInTable(const uint16_t* high, uint32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    for (int i = 0; i < 128; ++i)
        if (high[i] && high[i] == c) return 0x80 + i;
    return -1;
}

int byteIn1250(uint32_t c) { return byteInTable(windows1250High, c); }
int byteIn1251(uint32_t c) { return byteInTable(windows1251High, c); }
int byteIn1252(uint32_t c) { return byteInTable(windows1252High, c); }
int byteIn1254(uint32_t c) { return byteInTable(windows1254High, c); }

// The code of a character in 932: one byte below 0x100, else lead << 8 | trail; -1 if none.
int codeIn932(uint32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    const CodePagePair* end = windows932Pairs + windows932PairCount;
    const CodePagePair* found = std::lower_bound(windows932Pairs, end, c, [](const CodePagePair& pair, uint32_t value) {
        return pair.character < value;
    });
    return found != end && found->character == c ? found->code : -1;
}

struct CodePage {
    int number;
    int (*codeOf)(uint32_t character);
};
const CodePage codePages[] = {
    {932, codeIn932}, {1250, byteIn1250}, {1251, byteIn1251}, {1252, byteIn1252}, {1254, byteIn1254}};

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
        int code = page->codeOf(c);
        if (code < 0) {
            char hex[16];
            std::snprintf(hex, sizeof(hex), "U+%04X", c);
            *what = "character " + std::string(hex) + " '" + utf8.substr(start, at - start) + "' is not in code page " +
                    std::to_string(codePage);
            return false;
        }
        if (code > 0xFF) out->push_back(static_cast<char>(code >> 8));
        out->push_back(static_cast<char>(code & 0xFF));
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

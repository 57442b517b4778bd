// toml_guard.cpp -- a small scanner of TOML's quoting (comments, the four kinds of quoted text and
// their escapes), just enough to tell where a byte above 0x7F stands.
#include "toml_guard.h"

#include <memory>

namespace {

bool isAboveAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }
bool isBlankOrBreak(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The end of a one-line text that opens at `at` (the quote) with this quote character: behind the
// closing quote, or at the line break or end of the text that leaves it open (a syntax error the
// parser reports before it reads on).
size_t skipLineText(const std::string& text, size_t at, char quote) {
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '\n') return i;
        if (quote == '"' && text[i] == '\\') {
            ++i;
            continue;
        }
        if (text[i] == quote) return i + 1;
    }
    return text.size();
}

// The end of a multi-line text that opens at `at` (three quotes), behind its closing quotes
// (three, and up to two more that belong to the text); *unsafe is set to the first byte above
// 0x7F that follows a backslash in a basic text.
size_t skipMultiLineText(const std::string& text, size_t at, char quote, size_t* unsafe) {
    for (size_t i = at + 3; i < text.size();) {
        if (quote == '"' && text[i] == '\\') {
            size_t next = i + 1;
            if (next < text.size() && !isBlankOrBreak(text[next]) && !isAboveAscii(text[next])) {
                i = next + 1;  // an escape such as \" or \\: the character behind it is the text's
                continue;
            }
            while (next < text.size() && isBlankOrBreak(text[next])) ++next;
            if (next < text.size() && isAboveAscii(text[next])) {
                *unsafe = next;
                return text.size();
            }
            i = next;
            continue;
        }
        if (text[i] == quote && text.compare(i, 3, std::string(3, quote)) == 0) {
            size_t end = i + 3;
            for (int extra = 0; extra < 2 && end < text.size() && text[end] == quote; ++extra) ++end;
            return end;
        }
        ++i;
    }
    return text.size();
}

// Where the scan stands outside quoted texts: the last character that was neither blank nor in a
// quoted text or comment, whether an equals sign has been passed on this line, and how deep the
// scan is in the arrays and inline tables of that value.
struct ScanContext {
    char before = '\n';
    bool inValue = false;
    int depth = 0;

    void pass(char c) {
        if (c == ' ' || c == '\t' || c == '\r') return;
        if (c == '\n' && depth == 0) inValue = false;
        if (c == '=') inValue = true;
        if ((c == '[' || c == '{') && inValue) ++depth;
        if ((c == ']' || c == '}') && inValue && depth > 0) --depth;
        before = c;
    }
    // Whether a quote here opens a quoted text: where TOML lets a key or value begin. Elsewhere,
    // as in 2x"... or 1."..., the parser reads the quote as part of the word before it and goes on
    // testing the characters behind it. A dot opens one only between the parts of a dotted key
    // outside any value (a dotted key inside an inline table is scanned as if unquoted).
    bool opensText() const {
        if (before == '.') return !inValue && depth == 0;
        return before == '\n' || before == '=' || before == '[' || before == '{' || before == ',';
    }
};

// A control character that TOML allows nowhere, not even in a quoted text or comment: all but the
// tab, the line feed and a carriage return before a line feed. (toml++ reads a zero byte as the
// end of a line, where this scan would not.)
bool isForbiddenControl(const std::string& text, size_t at) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '\t' || c == '\n') return false;
    if (c == '\r') return at + 1 >= text.size() || text[at + 1] != '\n';
    return c < 0x20 || c == 0x7F;
}

}  // namespace

size_t forbiddenTomlControlAt(const std::string& text) {
    for (size_t at = 0; at < text.size(); ++at)
        if (isForbiddenControl(text, at)) return at;
    return text.size();
}

size_t unsafeTomlCharacterAt(const std::string& text) {
    size_t control = forbiddenTomlControlAt(text);
    if (control != text.size()) return control;
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    ScanContext context;
    while (at < text.size()) {
        char c = text[at];
        if (c == '#') {
            size_t end = text.find('\n', at);
            at = end == std::string::npos ? text.size() : end;
        } else if ((c == '"' || c == '\'') && context.opensText()) {
            if (text.compare(at, 3, std::string(3, c)) == 0) {
                size_t unsafe = text.size();
                at = skipMultiLineText(text, at, c, &unsafe);
                if (unsafe != text.size()) return unsafe;
            } else {
                at = skipLineText(text, at, c);
            }
            context.before = c;
        } else if (isAboveAscii(c)) {
            return at;
        } else {
            context.pass(c);
            ++at;
        }
    }
    return text.size();
}

namespace {

// The text with every UTF-8 sequence (a lead byte and its continuation bytes) replaced by one
// '@', which TOML allows only inside quoted texts and comments: the parser then meets no
// character above ASCII and reads each stand-in where it would have read the character, at the
// same line and column. A byte-order mark at the start stays (the parser skips it unread).
std::string asciiStandIn(const std::string& text) {
    std::string ascii;
    ascii.reserve(text.size());
    size_t at = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        ascii = text.substr(0, 3);
        at = 3;
    }
    for (; at < text.size(); ++at) {
        unsigned char c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) ascii += static_cast<char>(c);
        else if ((c & 0xC0) != 0x80) ascii += '@';
    }
    return ascii;
}

toml::parse_result refusalAt(const std::string& text, size_t at, const std::string& path, const char* what) {
    toml::source_position where{1, 1};
    for (size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++where.line;
            where.column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++where.column;  // columns count characters, not the continuation bytes of UTF-8
        }
    }
    toml::source_region region{where, where, std::make_shared<const std::string>(path)};
    return toml::parse_result(toml::parse_error(what, std::move(region)));
}

// The first byte of the character at this line and column (1-based, columns counted in
// characters); a zero byte when there is none.
char characterAt(const std::string& text, const toml::source_position& where) {
    size_t at = 0;
    for (unsigned line = 1; line < where.line; ++line) {
        at = text.find('\n', at);
        if (at == std::string::npos) return 0;
        ++at;
    }
    for (unsigned column = 1; column < where.column && at < text.size(); ++column) {
        if (text[at] == '\n') return 0;
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    }
    return at < text.size() ? text[at] : 0;
}

const char nonAsciiRefusal[] = "characters other than ASCII are allowed only inside quoted texts and comments";

}  // namespace

// First the stand-in text: it is safe to parse whatever it holds, and it parses only when every
// character above ASCII of the text stands inside a quoted text or comment. Then the scan, which
// on such a text reads the quoting as the parser does, finds the one place inside a quoted text
// where the parser still tests a character for whitespace (behind a line-ending backslash).
toml::parse_result parseTomlText(const std::string& text, const std::string& path) {
    size_t control = forbiddenTomlControlAt(text);
    if (control != text.size())
        return refusalAt(text, control, path, "control characters other than tab and line breaks are not allowed");
    std::string ascii = asciiStandIn(text);
    if (ascii != text) {
        toml::parse_result trial = toml::parse(ascii, path);
        if (!trial) {
            // Refused at a stand-in: name the character, not the '@'.
            if (isAboveAscii(characterAt(text, trial.error().source().begin)))
                return toml::parse_result(toml::parse_error(nonAsciiRefusal, trial.error().source()));
            return trial;
        }
    }
    size_t unsafe = unsafeTomlCharacterAt(text);
    if (unsafe != text.size()) return refusalAt(text, unsafe, path, nonAsciiRefusal);
    return toml::parse(text, path);
}

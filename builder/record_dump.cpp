// record_dump.cpp -- decodes each record type of the setup script: texts with their
// language, table and item, list records as their named comma fields.
#include "record_dump.h"

#include <cstdarg>
#include <cstdio>

#include "format/package_format.h"
#include "text_catalog.h"

void Report::line(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    *text += buffer;
    *text += '\n';
}

// A text in double quotes as a reader would type it: paths keep their backslashes, a quote and
// a line feed are escaped, other control and non-ASCII bytes shown as \xNN.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char esc[8];
            std::snprintf(esc, sizeof(esc), "\\x%02X", c);
            out += esc;
        }
    }
    return out + "\"";
}

namespace {

constexpr size_t summaryBytes = 48;

const char* recordName(uint32_t type) {
    static const char* const names[] = {"variable", "pages", "license", "readme", "text", "languages",
                                        "background", "accent colour", "product", "shortcut", "registry",
                                        "INI entry", "launch", "DLL call", "association", "requirements",
                                        "background text"};
    return type >= firstRecordType && type <= lastRecordType ? names[type - firstRecordType] : "unknown";
}

const char* slotName(uint32_t slot) {
    const char* name = pageNameOfSlot(slot);
    return name ? name : "(no page)";
}

// A short hex and text view of a payload's first bytes.
std::string summary(const uint8_t* data, size_t size) {
    std::string hex, text;
    for (size_t i = 0; i < size && i < summaryBytes; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof(byte), "%02X ", data[i]);
        hex += byte;
        text += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '.';
    }
    return hex + "|" + text + "|" + (size > summaryBytes ? " ..." : "");
}

void describeVariable(Report& r, ByteSpan p) {
    std::string name, value;
    if (!p.text(&name) || !p.text(&value)) return r.line("    damaged: texts without terminator");
    r.line("    %s = %s", quoted(name).c_str(), quoted(value).c_str());
}

void describePages(Report& r, ByteSpan p) {
    std::string on;
    for (uint32_t i = 0; i < wizardPageCount && i < p.size; ++i)
        if (p.data[i]) on += std::string(on.empty() ? "" : ", ") + slotName(i);
    if (p.size < wizardPageCount) r.line("    damaged: %zu bytes, 12 expected", p.size);
    r.line("    enabled: %s", on.empty() ? "(none)" : on.c_str());
}

void describeProduct(Report& r, ByteSpan p) {
    std::string name, title, textFont, titleFont, source, program, readme;
    uint32_t page, frame, header;
    uint8_t flagsA, flagsB, hideLink;
    if (!p.text(&name) || !p.text(&title) || !p.text(&textFont) || !p.u32(&page) || !p.u32(&frame) ||
        !p.text(&titleFont) || !p.u32(&header) || !p.u8(&flagsA) || !p.text(&source) || !p.text(&program) ||
        !p.text(&readme) || !p.u8(&flagsB) || !p.u8(&hideLink))
        return r.line("    damaged: record ends early");
    r.line("    productName %s", quoted(name).c_str());
    r.line("    productTitle %s", quoted(title).c_str());
    r.line("    textFont %s, pageColor 0x%08X, frameColor 0x%08X", quoted(textFont).c_str(), page, frame);
    r.line("    titleFont %s, headerColor 0x%08X", quoted(titleFont).c_str(), header);
    r.line("    flagsA 0x%02X (welcomeHeaderFill %d, backgroundCaption %d)", flagsA,
           (flagsA & productWelcomeHeaderFill) != 0, (flagsA & productBackgroundCaption) != 0);
    r.line("    defaultPathSource %s", quoted(source).c_str());
    r.line("    finishProgram %s, finishReadme %s", quoted(program).c_str(), quoted(readme).c_str());
    r.line("    flagsB 0x%02X (compact %d, groupChoice %d, desktopChoice %d, quickLaunchChoice %d, restart %d, "
           "createUninstaller %d), hideMakerLink %u",
           flagsB, (flagsB & productCompactDialogs) != 0, (flagsB & productGroupChoice) != 0,
           (flagsB & productDesktopChoice) != 0, (flagsB & productQuickLaunchChoice) != 0,
           (flagsB & productRestart) != 0, (flagsB & productCreateUninstaller) != 0, hideLink);
}

std::string languageName(uint16_t number) {
    const LanguageInfo* info = languageByNumber(number);
    return (info ? info->name : "language") + std::string("(") + std::to_string(number) + ")";
}

void describeText(Report& r, ByteSpan p) {
    uint16_t language;
    uint8_t table, item;
    std::string text;
    if (!p.u16(&language) || !p.u8(&table) || !p.u8(&item) || !p.text(&text)) return r.line("    damaged: record ends early");
    const TextTableInfo* info = textTableByByte(table);
    std::string tableName = info ? info->name : table < pageRecordCount ? "pages.(" + std::to_string(table) + ")"
                                                                         : "table 0x" + std::to_string(table);
    r.line("    %s %s.%u %s", languageName(language).c_str(), tableName.c_str(), item, quoted(text).c_str());
}

void describeLanguages(Report& r, ByteSpan p) {
    uint8_t autoSelect;
    uint16_t number;
    std::string list;
    if (!p.u8(&autoSelect)) return r.line("    damaged: empty record");
    while (p.u16(&number)) list += (list.empty() ? "" : ", ") + languageName(number);
    r.line("    autoSelect %u, offered: %s", autoSelect, list.empty() ? "(none)" : list.c_str());
}

void describeDocument(Report& r, ByteSpan p) {
    std::string text;
    if (!p.text(&text)) return r.line("    damaged: text without terminator");
    bool rich = text.compare(0, 5, "{\\rtf") == 0;
    r.line("    %zu bytes of %s: %s", text.size(), rich ? "rich text" : "plain text", quoted(text.substr(0, 60)).c_str());
}

void describeColors(Report& r, ByteSpan p, uint32_t type) {
    uint32_t first, second;
    if (!p.u32(&first)) return r.line("    damaged: record ends early");
    if (type == recordAccentColor) return r.line("    colour 0x%08X (stored as is)", first);
    if (!p.u32(&second)) return r.line("    damaged: record ends early");
    r.line("    top 0x%06X, bottom 0x%06X (0xRRGGBB)", first, second);
}

void describeRequirements(Report& r, ByteSpan p) {
    std::string os, directX, ie, access;
    uint8_t admin = 0;
    if (!p.text(&os) || !p.text(&directX) || !p.text(&ie) || !p.text(&access) || !p.u8(&admin))
        return r.line("    damaged: record ends early");
    r.line("    os %s, directx %s, ie %s, access %s, admin %u", quoted(os).c_str(), quoted(directX).c_str(),
           quoted(ie).c_str(), quoted(access).c_str(), admin);
}

// The names of the comma fields of each list record, in field order.
const char* const* fieldNames(uint32_t type) {
    static const char* const shortcut[] = {"link", "target", "arguments", "folder", "icon", "iconIndex", "show", "hotkey", "shared", nullptr};
    static const char* const registry[] = {"root", "key", "name", "type", "data", nullptr};
    static const char* const ini[] = {"file", "section", "key", "value", "append", nullptr};
    static const char* const launch[] = {"program", "argument", "folder", "page", "wait", "once", "window", nullptr};
    static const char* const dllCall[] = {"library", "function", "argument1", "argument2", "page", "once", nullptr};
    static const char* const association[] = {"extension", "progId", "contentType", "description", "infoTip", "command", "icon", "iconIndex", nullptr};
    static const char* const backgroundText[] = {"text", "horizontal", "vertical", "x", "y", "font", "size", "width", "weight",
                                                 "italic", "underline", "color", "shadow", "shadowColor", nullptr};
    switch (type) {
    case recordShortcut: return shortcut;
    case recordRegistry: return registry;
    case recordIni: return ini;
    case recordLaunch: return launch;
    case recordDllCall: return dllCall;
    case recordAssociation: return association;
    default: return backgroundText;
    }
}

// A list record: its text split at commas (a background text's first field stands in quotes).
void describeList(Report& r, ByteSpan p, uint32_t type) {
    std::string text;
    if (!p.text(&text)) return r.line("    damaged: text without terminator");
    std::vector<std::string> fields;
    size_t at = 0;
    if (type == recordBackgroundText && text.size() > 1 && text[0] == '"') {
        size_t close = text.find('"', 1);
        fields.push_back(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        at = close == std::string::npos ? text.size() : text.find(',', close);
        at = at == std::string::npos ? text.size() : at + 1;
    }
    for (size_t comma; at <= text.size(); at = comma + 1) {
        comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        fields.push_back(text.substr(at, comma - at));
    }
    std::string out;
    const char* const* names = fieldNames(type);
    size_t known = 0;
    while (names[known]) ++known;
    for (size_t i = 0; i < fields.size(); ++i)
        out += (i ? ", " : "") + std::string(i < known ? names[i] : "?") + " " + quoted(fields[i]);
    r.line("    %s", out.c_str());
}

void describeRecord(Report& r, uint32_t type, ByteSpan payload) {
    switch (type) {
    case recordVariable: return describeVariable(r, payload);
    case recordPages: return describePages(r, payload);
    case recordLicense:
    case recordReadme: return describeDocument(r, payload);
    case recordText: return describeText(r, payload);
    case recordLanguages: return describeLanguages(r, payload);
    case recordBackground:
    case recordAccentColor: return describeColors(r, payload, type);
    case recordProduct: return describeProduct(r, payload);
    case recordRequirements: return describeRequirements(r, payload);
    case recordShortcut:
    case recordRegistry:
    case recordIni:
    case recordLaunch:
    case recordDllCall:
    case recordAssociation:
    case recordBackgroundText: return describeList(r, payload, type);
    default: return r.line("    %s", summary(payload.data, payload.size).c_str());
    }
}

}  // namespace

void describeRecords(Report& r, const Bytes& script) {
    ByteSpan walk{script.data(), script.size(), 0};
    uint32_t count = 0, type, length;
    for (;;) {
        size_t at = walk.at;
        if (!walk.u32(&type)) return r.line("  damaged: no terminator after %u records", count);
        if (type == scriptEnd) return r.line("  end of script at %zu (%u records)", at, count);
        if (!walk.u32(&length) || !walk.has(length))
            return r.line("  damaged: record at %zu (type %u) runs past the script's end", at, type);
        r.line("  record %u at %zu: type %u %s, length %u", count++, at, type, recordName(type), length);
        describeRecord(r, type, ByteSpan{script.data() + walk.at, length, 0});
        walk.at += length;
    }
}

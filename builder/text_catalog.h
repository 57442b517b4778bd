// text_catalog.h -- the languages the builder knows and the text tables it writes for each: the
// one place that numbers languages, names tables and counts their items.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct LanguageInfo {
    const char* name;   // as a project names it, e.g. "German"
    uint16_t number;    // the system's primary language number (German 7, English 9)
    int codePage;       // the ANSI code page its texts are written in
};

// The language of that name (case-sensitive), or null.
const LanguageInfo* findLanguage(const std::string& name);
// The language of that number, or null.
const LanguageInfo* languageByNumber(uint16_t number);
// "English, German, ..." for messages.
std::string knownLanguageNames();

// A wizard page that a project names: its name and its slot 0..11.
struct PageName {
    const char* name;
    uint8_t slot;
};
// The nine wizard pages, in slot order.
const std::vector<PageName>& wizardPages();
// The page name of a slot, or null for the slots without a page.
const char* pageNameOfSlot(uint32_t slot);

struct TextTableInfo {
    std::string name;   // "messages", "errors", "buttons" or "pages.<page>"
    uint8_t table;      // the table byte of the text record
    uint8_t itemCount;  // items 0..itemCount-1 are written for every language
};
// Every table a package carries, in ascending table byte (the order the records are written).
const std::vector<TextTableInfo>& textTables();
// The table with that table byte, or null.
const TextTableInfo* textTableByByte(uint8_t table);

// text_catalog.cpp -- the language table and the catalogue of text tables.
#include "text_catalog.h"

#include "format/package_format.h"

namespace {

const LanguageInfo languageTable[] = {
    {"Czech", 5, 1250},      {"Danish", 6, 1252},     {"German", 7, 1252},   {"English", 9, 1252},
    {"Spanish", 10, 1252},   {"Finnish", 11, 1252},   {"French", 12, 1252},  {"Italian", 16, 1252},
    {"Japanese", 17, 932},   {"Dutch", 19, 1252},     {"Norwegian", 20, 1252}, {"Polish", 21, 1250},
    {"Portuguese", 22, 1252}, {"Russian", 25, 1251},  {"Swedish", 29, 1252}, {"Turkish", 31, 1254},
};

}  // namespace

const LanguageInfo* findLanguage(const std::string& name) {
    for (const LanguageInfo& language : languageTable)
        if (name == language.name) return &language;
    return nullptr;
}

const LanguageInfo* languageByNumber(uint16_t number) {
    for (const LanguageInfo& language : languageTable)
        if (number == language.number) return &language;
    return nullptr;
}

std::string knownLanguageNames() {
    std::string names;
    for (const LanguageInfo& language : languageTable) names += (names.empty() ? "" : ", ") + std::string(language.name);
    return names;
}

const std::vector<PageName>& wizardPages() {
    static const std::vector<PageName> pages = {{"language", 0},   {"welcome", 1},    {"license", 2},
                                                {"readme", 3},     {"destination", 6}, {"start_menu", 8},
                                                {"ready", 9},      {"installing", 10}, {"finish", 11}};
    return pages;
}

const char* pageNameOfSlot(uint32_t slot) {
    for (const PageName& page : wizardPages())
        if (page.slot == slot) return page.name;
    return nullptr;
}

const std::vector<TextTableInfo>& textTables() {
    // Items per page: the caption (0) and the texts the page shows (see the text packs).
    static const uint8_t pageItems[wizardPageCount] = {4, 8, 4, 3, 0, 0, 7, 0, 6, 4, 15, 11};
    static const std::vector<TextTableInfo> tables = [] {
        std::vector<TextTableInfo> list;
        for (const PageName& page : wizardPages())
            list.push_back({std::string("pages.") + page.name, page.slot, pageItems[page.slot]});
        list.push_back({"messages", tableMessages, 14});
        list.push_back({"errors", tableErrors, 40});
        list.push_back({"buttons", tableButtons, 11});
        return list;
    }();
    return tables;
}

const TextTableInfo* textTableByByte(uint8_t table) {
    for (const TextTableInfo& info : textTables())
        if (info.table == table) return &info;
    return nullptr;
}

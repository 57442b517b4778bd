// system_doubles.cpp -- host doubles of readRegistryString, fontInstalled, userDefaultLanguageId
// and showStartupError over small in-memory tables.
#include "system_doubles.h"

#include <strings.h>

#include <string>
#include <vector>

#include "support/heap.h"
#include "system/registry.h"
#include "system/user_language.h"
#include "ui/fonts.h"
#include "ui/message_box.h"

namespace {
struct RegistryString {
    int root;
    std::string key, valueName, data;
};
std::vector<RegistryString> registryStrings;
std::vector<std::string> installedFonts;
WORD userLanguage = 0x0409;
std::string lastStartupError;
}  // namespace

void doubleSetRegistryString(int root, const char* key, const char* valueName, const char* data) {
    registryStrings.push_back({root, key, valueName, data});
}
void doubleInstallFont(const char* face) { installedFonts.push_back(face); }
void doubleSetUserLanguage(WORD languageId) { userLanguage = languageId; }
void doubleReset() {
    registryStrings.clear();
    installedFonts.clear();
    userLanguage = 0x0409;
}

char* readRegistryString(const char* rootName, const char* key, const char* valueName) {
    int root = rootNumberFromName(rootName);
    if (root < 0 || !key) return nullptr;
    if (*key == '\\') ++key;
    for (const RegistryString& entry : registryStrings)
        if (entry.root == root && !strcasecmp(entry.key.c_str(), key) &&
            !strcasecmp(entry.valueName.c_str(), valueName ? valueName : ""))
            return duplicateText(entry.data.c_str());
    return nullptr;
}

bool fontInstalled(const char* face) {
    for (const std::string& installed : installedFonts)
        if (face && !strcasecmp(installed.c_str(), face)) return true;
    return false;
}

WORD userDefaultLanguageId() { return userLanguage; }

void showStartupError(const char* text) { lastStartupError = text ? text : ""; }
const char* doubleLastStartupError() { return lastStartupError.c_str(); }
void doubleClearStartupError() { lastStartupError.clear(); }

// text_packs.cpp -- looks up the packs that the build embedded (embedded_texts.cpp, generated from
// builder/texts/*.toml), so that velkorin-pack needs no files beside it.
#include "text_packs.h"

#include <cstddef>

struct EmbeddedTextPack {
    const char* fileName;  // "German.toml"
    const unsigned char* data;
    size_t size;
};
extern const EmbeddedTextPack embeddedTextPacks[];
extern const size_t embeddedTextPackCount;

bool shippedTextPack(const std::string& language, std::string* name, std::string* text) {
    for (size_t i = 0; i < embeddedTextPackCount; ++i) {
        const EmbeddedTextPack& pack = embeddedTextPacks[i];
        if (language + ".toml" != pack.fileName) continue;
        *name = std::string("texts/") + pack.fileName;
        text->assign(reinterpret_cast<const char*>(pack.data), pack.size);
        return true;
    }
    return false;
}

std::vector<std::string> shippedTextPackLanguages() {
    std::vector<std::string> languages;
    for (size_t i = 0; i < embeddedTextPackCount; ++i) {
        std::string file = embeddedTextPacks[i].fileName;
        languages.push_back(file.substr(0, file.size() - 5));  // without ".toml"
    }
    return languages;
}

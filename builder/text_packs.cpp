// text_packs.cpp -- looks up a language's pack: in the installation's texts/ folder, where packs
// can be added or changed, else among the packs that the build embedded (embedded_texts.cpp,
// generated from builder/texts/*.toml), so that velkorin-pack also works when copied alone.
#include "text_packs.h"

#include <cstddef>

#include "host_files.h"
#include "install_layout.h"

struct EmbeddedTextPack {
    const char* fileName;  // "German.toml"
    const unsigned char* data;
    size_t size;
};
extern const EmbeddedTextPack embeddedTextPacks[];
extern const size_t embeddedTextPackCount;

bool shippedTextPack(const std::string& language, std::string* name, std::string* text) {
    std::string folder = installedDataFolder();
    std::string installed = folder + "texts/" + language + ".toml";
    if (!folder.empty() && pathKind(installed) == PathKind::file && readHostFile(installed, text)) {
        *name = installed;
        return true;
    }
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

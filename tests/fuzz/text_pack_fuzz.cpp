// Fuzzes the builder's text-pack reader over arbitrary pack files: the TOML parse, the tables and
// items it collects, the placeholder scan and the comparison with the English pack in a code page
// chosen by the first input byte. A pack that reads is compared without a crash, a refusal is a
// "file:line: ..." message, and every problem found is reported with the pack's name.
#include <cstdint>
#include <string>
#include <vector>

#include "code_page.h"
#include "text_pack_check.h"
#include "text_packs.h"

namespace {

const std::string packName = "texts/Fuzzed.toml";

const TextPack& englishPack() {
    static TextPack english;
    static bool ready = false;
    if (!ready) {
        ready = true;
        std::string name, text, err;
        if (!shippedTextPack("English", &name, &text) || !parseTextPack(name, text, &english, &err)) __builtin_trap();
    }
    return english;
}

bool namesThePack(const std::string& message) { return message.compare(0, packName.size() + 1, packName + ":") == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static const int codePages[] = {1252, 1250, 1251, 1254, 932};
    int codePage = codePages[data[0] % 5];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const TextPack& english = englishPack();
    TextPack pack;
    std::string err;
    if (!parseTextPack(packName, text, &pack, &err)) {
        if (!namesThePack(err)) __builtin_trap();
        return 0;
    }
    for (const PackText& item : pack.texts) {
        std::vector<std::string> found = placeholdersOf(item.utf8);
        for (const std::string& placeholder : found)
            if (placeholder.empty() || item.utf8.find(placeholder) == std::string::npos) __builtin_trap();
    }
    std::vector<std::string> problems;
    bool clean = checkTextPack(pack, english, codePage, &problems);
    if (clean != problems.empty()) __builtin_trap();
    for (const std::string& problem : problems)
        if (!namesThePack(problem)) __builtin_trap();
    std::string all;
    if (checkTextPackText(packName, text, english, codePage, &all) != clean) __builtin_trap();
    return 0;
}

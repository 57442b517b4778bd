// Fuzzes variable and folder-token expansion, replaceAll and the search helpers. The input is cut
// at zero bytes into: the text, then up to two name/value pairs of variables (which also serve as search
// and replacement texts). Folder paths are fixed texts that contain tokens themselves.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script/folder_token_table.h"
#include "script/text_tools.h"
#include "script/variables.h"

static void searchEverywhere(const char* text, const char* search, int limit) {
    for (bool caseSensitive : {false, true}) {
        const char* found = findText(text, search, limit, caseSensitive);
        if (found && (found < text || found > text + std::strlen(text))) __builtin_trap();
        (void)findChar(text, search[0], limit, caseSensitive);
        (void)findLastChar(text, search[0], limit, caseSensitive);
        char* between = nullptr;
        extractBetween(text, search, limit, caseSensitive, &between);
        heapFree(between);
        heapFree(replaceAll(text, search, "[$]", caseSensitive));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each variable pass may multiply the text's length (a one-letter name with a long value):
    // small inputs and two variables keep every run in memory.
    if (size > 512) return 0;
    prepareFuzzState();
    for (int i = 0; i < folderTokenCount; ++i)
        listAppend(&state.folderPaths, i % 2 ? "C:\\<AppData>\\x" : "%A%<Programs>");
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size && parts.size() < 6; ++i) {
        if (data[i]) parts.back() += static_cast<char>(data[i]);
        else parts.emplace_back();
    }
    const char* text = parts[0].c_str();
    for (size_t i = 1; i + 1 < parts.size(); i += 2) setVariable(parts[i].c_str(), parts[i + 1].c_str());
    heapFree(expandVariables(text));
    heapFree(expandFolderTokens(text));
    int limit = size ? static_cast<int>(data[size - 1] % 64) - 1 : wholeText;
    for (size_t i = 1; i < parts.size(); ++i) searchEverywhere(text, parts[i].c_str(), limit);
    std::string scan = parts[0];
    const char* delimiter = parts.size() > 1 ? parts[1].c_str() : ",";
    if (!scan.empty())
        for (char* piece = nextToken(&scan[0], delimiter); piece; piece = nextToken(nullptr, delimiter))
            if (piece < &scan[0] || piece > &scan[0] + scan.size()) __builtin_trap();
    releaseFuzzState();
    return 0;
}

// Fuzzes the builder's project-file reader over arbitrary project files: the TOML parse and every
// section's fields, colours, lists, languages and their text packs. The project names a folder
// that does not exist, so that no source folder, document or icon is found on the disk. A
// refusal is a "file:line: field: what" message naming the project file.
#include <cstdint>
#include <string>

#include "project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/nonexistent-velkorin-fuzz/project.toml";
    std::string text(reinterpret_cast<const char*>(data), size);
    Project project;
    std::string err;
    if (!loadProjectText(text, path, &project, &err)) {
        if (err.compare(0, path.size() + 1, path + ":") != 0) __builtin_trap();
        return 0;
    }
    if (project.languages.empty()) __builtin_trap();
    return 0;
}

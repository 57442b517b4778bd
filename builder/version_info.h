// version_info.h -- the version resource (VS_VERSIONINFO) of the setup file: written from the
// project's fields, and read back (bounded) for inspect and the tests.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "byte_buffer.h"

struct VersionFields {
    uint16_t parts[4] = {0, 0, 0, 0};  // major, minor, build, revision
    std::string versionText;           // as written ("1.2" or "1.2.3.4"); "" = no version strings
    uint16_t language = 0x0409;        // LANGID of the string table and the translation
    // Name and UTF-8 value of each string, in the order written (CompanyName, FileDescription, ...).
    std::vector<std::pair<std::string, std::string>> strings;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part 0..65535; false otherwise.
bool parseVersionNumber(const std::string& text, uint16_t parts[4]);

// The VS_VERSIONINFO bytes: fixed info (file and product version, a Windows program), one string
// table (the language, Unicode code page 1200) and the translation list.
Bytes versionResource(const VersionFields& fields);

// A version resource read back.
struct VersionReadBack {
    uint32_t fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::string table;  // the string table's key, e.g. "040904B0"
    std::vector<std::pair<std::string, std::string>> strings;  // UTF-8
    uint32_t translation = 0;  // language | code page << 16, 0 when there is none
};
// False when the bytes are not a whole VS_VERSIONINFO (every length inside its parent).
bool readVersionResource(const Bytes& data, VersionReadBack* out);

// UTF-8 to UTF-16 and back (valid UTF-8 is expected; toml++ gives nothing else).
std::u16string utf16Of(const std::string& utf8);
std::string utf8Of(const std::u16string& utf16);

// shell_link.h -- reads what a shell link (.lnk file) points to, straight from its bytes, so
// that tests do not depend on the shell object of the system under test.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct ShellLink {
    std::string target;         // the local base path of the link info
    std::string arguments;
    std::string workingFolder;
    std::string iconLocation;
    int iconIndex = 0;
    uint32_t showCommand = 0;   // as stored at offset 0x3C
    uint16_t hotKey = 0;
};

// The link's fields; nullopt when the bytes are no shell link.
std::optional<ShellLink> readShellLink(const std::vector<unsigned char>& bytes);

}  // namespace e2e

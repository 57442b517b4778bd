// shell_link.cpp -- the parts of the shell link format the tests read: header, item list
// (skipped), link info's local base path, and the string data that follows.
#include "shell_link.h"

namespace e2e {
namespace {
constexpr uint32_t hasItemList = 0x1, hasLinkInfo = 0x2, hasName = 0x4, hasRelativePath = 0x8,
                   hasWorkingFolder = 0x10, hasArguments = 0x20, hasIconLocation = 0x40, isUnicode = 0x80;

struct Reader {
    const std::vector<unsigned char>& bytes;
    size_t at = 0;
    bool ok = true;
    uint32_t u(size_t width) {
        if (at + width > bytes.size()) return ok = false, 0;
        uint32_t value = 0;
        for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
        at += width;
        return value;
    }
    // A counted string of the string-data section, in UTF-16 or the ANSI code page.
    std::string counted(bool unicode) {
        uint32_t count = u(2);
        std::string text;
        for (uint32_t i = 0; i < count && ok; ++i) {
            uint32_t c = u(unicode ? 2 : 1);
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        // Wine counts the terminator as well; the text itself ends before it.
        while (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
};

std::string zeroTerminated(const std::vector<unsigned char>& bytes, size_t at) {
    std::string text;
    while (at < bytes.size() && bytes[at]) text += static_cast<char>(bytes[at++]);
    return text;
}
}  // namespace

std::optional<ShellLink> readShellLink(const std::vector<unsigned char>& bytes) {
    Reader r{bytes};
    if (r.u(4) != 0x4C || bytes.size() < 0x4C) return std::nullopt;
    ShellLink link;
    r.at = 0x14;
    uint32_t flags = r.u(4);
    r.at = 0x38;
    link.iconIndex = static_cast<int32_t>(r.u(4));
    link.showCommand = r.u(4);
    link.hotKey = static_cast<uint16_t>(r.u(2));
    r.at = 0x4C;
    if (flags & hasItemList) r.at += r.u(2);
    if (flags & hasLinkInfo) {
        size_t info = r.at;
        uint32_t size = r.u(4);
        r.at = info + 16;
        uint32_t localBasePath = r.u(4);
        if (localBasePath) link.target = zeroTerminated(bytes, info + localBasePath);
        r.at = info + size;
    }
    bool unicode = flags & isUnicode;
    if (flags & hasName) r.counted(unicode);
    if (flags & hasRelativePath) r.counted(unicode);
    if (flags & hasWorkingFolder) link.workingFolder = r.counted(unicode);
    if (flags & hasArguments) link.arguments = r.counted(unicode);
    if (flags & hasIconLocation) link.iconLocation = r.counted(unicode);
    if (!r.ok) return std::nullopt;
    return link;
}

}  // namespace e2e

// prefix_snapshot.cpp -- file and registry snapshots of a Wine prefix.
#include "prefix_snapshot.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {
// Keys Wine itself rewrites while a prefix runs: its own configuration, the display adapter and
// monitor keys that each new desktop process (re)creates, which appear between two snapshots
// whenever Wine's explorer starts, the counter Wine's service manager raises at each start, and
// the locale's settings (code pages, the international formats, the time zone's name), which
// every process that starts under another locale writes anew: a service that Wine starts for a
// program runs under the locale the prefix's first process had. Nothing the installer does
// lives below them.
const char* const wineOwnedKeys[] = {
    "[HKEY_CURRENT_USER\\Software\\Wine",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum",
    "[HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP\\VIDEO",
    "[HKEY_CURRENT_USER\\Control Panel\\International",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\TimeZoneInformation",
};

bool isWineOwned(const std::string& key) {
    for (const char* prefix : wineOwnedKeys)
        if (key.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

std::set<std::string> driveSnapshot(const std::filesystem::path& drive) {
    std::set<std::string> entries;
    for (auto it = std::filesystem::recursive_directory_iterator(drive); it != decltype(it)(); ++it) {
        std::string relative = std::filesystem::relative(it->path(), drive).string();
        if (relative == "windows" || relative.find("/Temp") != std::string::npos) {
            it.disable_recursion_pending();
            continue;
        }
        std::string line = relative;
        if (it->is_regular_file() && it->path().extension() != ".lnk") line += " = " + contentOf(it->path());
        entries.insert(line);
    }
    return entries;
}

// One UTF-16 code unit as UTF-8 (a lone surrogate too: the lines are compared, not shown).
static void appendUtf8(std::string* out, unsigned unit) {
    if (unit < 0x80) {
        *out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        *out += static_cast<char>(0xC0 | unit >> 6);
        *out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | unit >> 12);
        *out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

std::string unescapeRegistryText(const std::string& text) {
    static const std::string controls = "abtnvfre", controlCodes = "\a\b\t\n\v\f\r\x1b";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        auto digits = [&](const char* set, size_t most, int base) {
            size_t length = 0;
            while (length < most && i + 1 + length < text.size() && std::strchr(set, text[i + 1 + length]))
                ++length;
            unsigned value = length ? static_cast<unsigned>(std::stoul(text.substr(i + 1, length), nullptr, base)) : 0;
            i += length;
            return value;
        };
        if (next == 'x') appendUtf8(&out, digits("0123456789abcdefABCDEF", 4, 16));
        else if (next >= '0' && next <= '7') --i, appendUtf8(&out, digits("01234567", 3, 8));
        else if (controls.find(next) != std::string::npos) out += controlCodes[controls.find(next)];
        else out += next;
    }
    return out;
}

std::set<std::string> registryFileLines(const std::string& text, const std::string& rootName) {
    std::set<std::string> lines;
    std::istringstream stream(text);
    std::string line, keyLine;
    bool wineOwned = false;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Long binary values go on over several lines, each but the last ending with a backslash.
        while (!line.empty() && line[0] != '[' && line.back() == '\\' && stream.peek() == ' ') {
            std::string more;
            std::getline(stream, more);
            if (!more.empty() && more.back() == '\r') more.pop_back();
            line.pop_back();
            line += more.substr(more.find_first_not_of(' '));
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            // [Path\\To\\Key] 1796771865: the path escaped, then the time of its last change.
            size_t close = 1;
            while (close < line.size() && line[close] != ']') close += line[close] == '\\' ? 2 : 1;
            std::string path = unescapeRegistryText(line.substr(1, close - 1));
            std::string name = rootName + (path.empty() ? "" : "\\" + path);
            keyLine = "[" + name + "]";
            wineOwned = isWineOwned(keyLine);
            if (wineOwned) continue;
            // Only keys with values or without subkeys have a section: the keys above are implied.
            for (size_t cut = name.find('\\', rootName.size() + 1); cut != std::string::npos;
                 cut = name.find('\\', cut + 1))
                lines.insert("[" + name.substr(0, cut) + "]");
            lines.insert(keyLine);
            continue;
        }
        if (wineOwned || keyLine.empty()) continue;
        if (line[0] == '"') {
            size_t end = 1;
            while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
            line = "\"" + unescapeRegistryText(line.substr(1, end - 1)) + line.substr(end);
        }
        lines.insert(keyLine + " " + line);
    }
    return lines;
}

std::set<std::string> registrySnapshot(WineSession& wine, const std::string& root) {
    static const std::pair<const char*, const char*> longNames[] = {
        {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"}, {"HKCR", "HKEY_CLASSES_ROOT"}};
    std::string rootName = root;
    for (const auto& [shortName, longName] : longNames)
        if (root == shortName) rootName = longName;
    std::filesystem::path file = wine.scratch() / ("saved-" + root + ".txt");
    std::filesystem::remove(file);
    ProcessResult saved = wine.driver({"reg-save", root, WineSession::windowsPathOf(file)});
    if (saved.exitCode != 0) throw std::runtime_error("saving " + root + ": " + describe(saved));
    return registryFileLines(contentOf(file), rootName);
}

std::set<std::string> linesOnlyIn(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
    return out;
}

}  // namespace e2e

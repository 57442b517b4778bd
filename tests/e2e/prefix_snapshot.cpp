// prefix_snapshot.cpp -- file and registry snapshots of a Wine prefix.
#include "prefix_snapshot.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace e2e {
namespace {
// Keys Wine itself rewrites while a prefix runs: its own configuration, the display adapter and
// monitor keys that each new desktop process (re)creates, which appear between two snapshots
// whenever Wine's explorer starts, and the counter Wine's service manager raises at each start.
// Nothing the installer does lives below them.
const char* const wineOwnedKeys[] = {
    "[HKEY_CURRENT_USER\\Software\\Wine",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles",
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum",
    "[HKEY_LOCAL_MACHINE\\Hardware\\DEVICEMAP\\VIDEO",
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

std::set<std::string> registrySnapshot(WineSession& wine, const std::string& root) {
    std::filesystem::path file = wine.scratch() / ("export-" + root + ".reg");
    wine.wine({"reg", "export", root, WineSession::windowsPathOf(file), "/y"});
    std::string bytes = contentOf(file), text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += bytes[i];  // UTF-16LE, ASCII content
    std::set<std::string> lines;
    std::istringstream stream(text);
    std::string key, line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '[') key = line;
        if (isWineOwned(key)) continue;
        lines.insert(line[0] == '[' ? line : key + " " + line);
    }
    return lines;
}

std::set<std::string> linesOnlyIn(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::set<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(out, out.end()));
    return out;
}

}  // namespace e2e

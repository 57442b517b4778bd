// prefix_snapshot.h -- what a prefix holds, as sets of lines that two moments can be compared
// by: the files of drive C: and the registry below a root.
#pragma once
#include <filesystem>
#include <set>
#include <string>

#include "wine_session.h"

namespace e2e {

// Every file and folder of drive C: but the Windows folder and the temporary folders, each file
// with its bytes. A shell link is rewritten by every run and holds the times of the folders on its
// target's path, so only its presence counts.
std::set<std::string> driveSnapshot(const std::filesystem::path& drive);
// The registry below a root ("HKLM", "HKCU", "HKCR"), one line per key ("[HKEY_...\\Key]") or
// value ("[HKEY_...\\Key] \"Name\"=DATA", DATA as Wine's registry files write it); the keys Wine
// itself changes as it likes (its configuration, the display adapter) are left out. Wine's
// server writes the whole tree to a file in one request; volatile keys, which it does not
// save, are not part of it (nothing the installer writes is volatile).
std::set<std::string> registrySnapshot(WineSession& wine, const std::string& root);
// The lines of a registry file in Wine's own format (what the server saves), its keys named
// below rootName ("HKEY_LOCAL_MACHINE").
std::set<std::string> registryFileLines(const std::string& text, const std::string& rootName);
// A name or text of such a file with its escapes (\\, \", \n, \x3042, \101, ...) undone, as UTF-8.
std::string unescapeRegistryText(const std::string& text);
// The lines of a that b lacks.
std::set<std::string> linesOnlyIn(const std::set<std::string>& a, const std::set<std::string>& b);

}  // namespace e2e

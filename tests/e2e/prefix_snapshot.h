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
// The registry below a root ("HKLM", "HKCU", "HKCR") as `reg export` writes it, one line per key
// or value; the keys Wine itself changes as it likes (its configuration, the display adapter)
// are left out.
std::set<std::string> registrySnapshot(WineSession& wine, const std::string& root);
// The lines of a that b lacks.
std::set<std::string> linesOnlyIn(const std::set<std::string>& a, const std::set<std::string>& b);

}  // namespace e2e

// removal_support.h -- what the removal tests share: a prepared prefix, the whole-prefix picture
// taken before an installation and compared after its removal, the temporary folder's names,
// and the installation of a test package.
#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "wine_session.h"

namespace e2e {

// Files of drive C: and the registry of HKLM, HKCU and HKCR (prefix_snapshot.h).
struct PrefixPicture {
    std::set<std::string> files, machine, user, classes;
};

// Makes the traces that any first run leaves (start-up creates special folders; every Windows
// has the SharedDLLs key), so that a picture taken afterwards holds only what a test changes.
void prepareForPictures(WineSession& wine);
// The prefix as it is now.
PrefixPicture takePicture(WineSession& wine);
// Lines that one picture has and the other lacks, each prefixed with "+ " (only in after) or
// "- " (only in before); empty when the prefix is as it was.
std::vector<std::string> pictureDifferences(const PrefixPicture& before, const PrefixPicture& after);
// The user's temporary folder (C:\users\USER\Temp) as a host path.
std::filesystem::path tempFolder(WineSession& wine);
// Names in the user's temporary folder (C:\users\USER\Temp), e.g. VKR1A2.tmp and delself.bat.
std::set<std::string> tempNames(WineSession& wine);
// Polls until the temporary folder holds exactly these names again (at most timeout); the names
// that are still extra at the end.
std::set<std::string> waitForTempNames(WineSession& wine, const std::set<std::string>& names,
                                       std::chrono::milliseconds timeout);
// The lines of the uninstaller window's leftover tree (control 1026, without CRs) once they hold
// `wanted`, polled for 10 s; by default once it shows an item. The window fills the tree item by
// item, so a read can catch it half filled: a caller that needs a later item names it. Returns what
// the tree showed last, or "" when it never showed an item.
std::string waitForLeftoverTree(WineSession& wine, const std::string& window, const std::string& wanted = "item\t");
// Builds the project (a copy of tests/e2e/projects/NAME in the scratch folder, plus extra files
// copied into its app folder, plus projectAddition appended to its project file) and installs it
// silently from C:\NAME\setup.exe; "" on success, else what went wrong.
std::string installProject(WineSession& wine, const std::string& name,
                           const std::vector<std::pair<std::filesystem::path, std::string>>& extraAppFiles = {},
                           const std::string& projectAddition = "");

}  // namespace e2e

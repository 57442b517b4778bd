// install_layout.cpp -- the installation's share folder, found from the builder's own path.
#include "install_layout.h"

#include "host_files.h"

std::string installedDataFolder() {
    std::string program = ownProgramPath();
    if (program.empty()) return "";
    return folderOf(program) + "../share/velkorin/";
}

std::string defaultStubPath(const std::string& builtIn) {
    std::string folder = installedDataFolder();
    if (!folder.empty() && pathKind(folder + "velkorin.exe") == PathKind::file) return folder + "velkorin.exe";
    return builtIn;
}

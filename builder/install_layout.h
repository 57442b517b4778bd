// install_layout.h -- where an installed builder finds its stub and text packs: in
// share/velkorin/ beside the bin/ folder that holds the builder (PREFIX/bin/velkorin-pack,
// PREFIX/share/velkorin/velkorin.exe, PREFIX/share/velkorin/texts/<Language>.toml).
#pragma once
#include <string>

// The folder share/velkorin/ of the installation the running builder belongs to, with a trailing
// separator; "" when the system does not tell the program's path.
std::string installedDataFolder();
// The installed stub when there is one, else builtIn (the stub of the build tree).
std::string defaultStubPath(const std::string& builtIn);

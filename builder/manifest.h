// manifest.h -- the setup file's application manifest: the common controls it binds, the
// execution level it asks of user account control, and the Windows versions it knows.
#pragma once
#include <string>

#include "project.h"

// What the manifest asks for: requireAdministrator, highestAvailable or asInvoker.
enum class ExecutionLevel { admin, highest, user };

// The level when the project names none: admin when the installation writes into machine-wide
// places (below <ProgramFiles>, a common or system folder, or HKEY_LOCAL_MACHINE, which the
// uninstaller's entry and shared-file counts are), else user. Variables the project defines are
// expanded first, so "%InstallPath%" counts where its default value points.
ExecutionLevel defaultExecutionLevel(const Project& project);

// The project's name of a level ("admin", "highest", "user") and the manifest's.
const char* levelName(ExecutionLevel level);
const char* manifestLevelName(ExecutionLevel level);

// The whole manifest, UTF-8 XML.
std::string manifestText(ExecutionLevel level);

// install_worker.h -- the thread that performs the installation: uninstaller image, temporary log,
// files, shortcuts, registry, INI files, associations, then commit (final log, uninstaller in
// place, replacements at restart) or, after a cancel or a "No", the rollback.
#pragma once
#include "support/platform.h"

// Program message posted to the wizard frame after an abort and its rollback.
constexpr UINT UM_INSTALL_ABORTED = WM_USER + 12;
// Id of the frame's Next button, posted as WM_COMMAND when the installation is complete.
constexpr WPARAM frameNextButton = 1011;

// Thread procedure; page is the installing page (null in silent mode). Returns 0.
DWORD WINAPI installWorker(void* page);
// Writes the program image without its package to path: the copy that starts as the uninstaller.
bool writeUninstallerImage(const char* path);
// Writes the Uninstall entry of state.productName (DisplayName, UninstallString, QuietUninstallString) and logs it.
void registerUninstaller(const char* uninstallerPath);

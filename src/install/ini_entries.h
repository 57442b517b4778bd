// ini_entries.h -- the INI step of the installation: values written into profile files.
#pragma once
#include "support/platform.h"

// Writes every INI record (file, section, key, value, append flag) and logs the files it
// created. False when the user chose to abort.
bool writeIniEntries(HWND page);

// self_removal.h -- the uninstaller's last act: a small batch script in the temporary folder that
// deletes the program's file as soon as the program has ended, then itself.
#pragma once
#include "support/platform.h"
#include "support/string_list.h"

// Writes tempFolderPath\delself.bat (replacing an old one) and starts it hidden without waiting.
// The script retries deleting the running program until it has ended, then removes each folder
// of folders that is empty by then (null: none), in list order, and finally deletes itself.
// Every failure is silent.
void removeSelf(const StringList* folders);

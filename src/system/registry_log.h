// registry_log.h -- the install-log lines of the registry services: keys ("e"), whole key trees
// ("e" with ",1") and values ("c"), and the one hand-over of each line to the install log.
#pragma once
#include "support/platform.h"

// Records "e,<root>,<key>" (a key level) or, with wholeTree, "e,<root>,<key>,1"; written to the
// temporary log only when write is set.
void recordRegistryKey(DWORD root, const char* key, bool wholeTree, bool write);
// Records "c,<root as written>,<key>,<value name>"; written only when write is set.
void recordRegistryValue(const char* rootText, const char* key, const char* valueName, bool write);

// The hand-over to the install log (state.logFile): every registry line passes through here.
void recordRegistryLogLine(const char* line, bool write);

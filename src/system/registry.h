// registry.h -- registry reads and writes of the program (Win32 only; the host tests use a double).
#pragma once
#include "support/platform.h"
#include "system/registry_roots.h"

// The string value valueName (empty: the key's default value) of key under the root named
// rootName; a leading backslash of the key is skipped. New heap text, or null when the root name
// is unknown or the key or value is missing or not a string.
char* readRegistryString(const char* rootName, const char* key, const char* valueName);

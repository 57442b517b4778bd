// registry.h -- registry services of the program (Win32 only; the host tests use a double of
// readRegistryString): root keys by number and name, values and keys read, written and deleted,
// and key chains created level by level for the install log. Operations that return a DWORD
// return the system error code, 0 on success, and report nothing themselves.
#pragma once
#include "support/platform.h"
#include "system/registry_roots.h"

// The string value valueName (empty: the key's default value) of key under the root named
// rootName; a leading backslash of the key is skipped. New heap text, or null when the root name
// is unknown or the key or value is missing or not a string. (The one operation the portable
// core calls; the host tests supply a double.)
char* readRegistryString(const char* rootName, const char* key, const char* valueName);

#ifdef _WIN32
// ---- roots ----
// The predefined key of a root number 0..6 (0x80000000 + n), or null for any other number.
HKEY rootKeyFromNumber(int root);
// The predefined key of a short name ("HKLM", compared case-insensitively), or null.
HKEY rootKeyFromName(const char* name);
// The short name of one of the seven predefined keys, "" for any other key.
const char* rootKeyName(HKEY root);

// ---- values ----
// Creates or opens key (a leading backslash skipped) and sets the value.
DWORD writeRegistryValue(HKEY root, const char* key, const char* valueName, DWORD type, const void* data,
                         DWORD size);
// New heap block with the value's data (one zero byte more than stored), or null when the key
// or value is missing or empty. *type receives the value type; size, when given, the data size.
BYTE* readRegistryValue(HKEY root, const char* key, const char* valueName, DWORD* type, DWORD* size = nullptr);
// Deletes the value; with deleteEmptyKey, also the key when it is left without subkeys and values.
DWORD deleteRegistryValue(HKEY root, const char* key, const char* valueName, bool deleteEmptyKey);

// ---- keys ----
// Deletes key (leading backslashes skipped) when it has no subkeys and no values, or with
// recursive with all its subkeys. A key that is not empty is kept without error; an empty key
// path (the root itself) is refused with ERROR_INVALID_PARAMETER.
DWORD deleteRegistryKey(HKEY root, const char* key, bool recursive);
// Creates every missing level of key (leading backslash skipped, trailing separator removed),
// recording each level created now, and the last level in any case, as an "e" line (written
// only when created now). *opened receives the last key, open with access, or null on failure.
DWORD createRegistryKeyChain(HKEY root, const char* key, REGSAM access, HKEY* opened);
#endif

// registry_roots.h -- the seven registry roots by number (0..6, the predefined key 0x80000000 + n)
// and by short name ("HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD").
#pragma once
#include "support/platform.h"

constexpr int registryRootCount = 7;
constexpr DWORD predefinedKeyBase = 0x80000000u;

// Root number of a short name (compared case-insensitively), or -1 for any other text.
int rootNumberFromName(const char* name);
// Short name of a root number, or null outside 0..6.
const char* rootNumberName(int root);

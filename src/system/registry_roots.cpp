// registry_roots.cpp -- mapping between registry root numbers and their short names.
#include "system/registry_roots.h"

#include "support/text_compare.h"

static const char* const rootNames[registryRootCount] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};

int rootNumberFromName(const char* name) {
    for (int root = 0; root < registryRootCount; ++root)
        if (sameTextIgnoringCase(rootNames[root], name)) return root;
    return -1;
}

const char* rootNumberName(int root) {
    return root >= 0 && root < registryRootCount ? rootNames[root] : nullptr;
}

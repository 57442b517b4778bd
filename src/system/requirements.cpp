// requirements.cpp -- the requirement tables, and the mappings from what the system reports to the small
// codes that they compare.
#include "system/requirements.h"

#include "script/fields.h"
#include "script/setup_state.h"
#include "support/text_compare.h"
#include "system/windows_version.h"

// ---- requirement tables: key of the script text and minimum code ----
// A display name is the table's prefix and the key, with a blank where letters follow a digit ("98SE" ->
// "Microsoft Windows 98 SE", "6.0SP1" -> "Internet Explorer 6.0 SP1").

struct RequirementRow {
    const char* key;
    WORD minimum;
};

struct RequirementTable {
    const char* prefix;
    const RequirementRow* rows;
    DWORD count;
};

#define TABLE(prefix, rows) \
    { prefix, rows, sizeof(rows) / sizeof(rows[0]) }

static const RequirementRow windowsRows[] = {
    {"95OSR2", windows95Osr2}, {"NT4", windowsNt4},   {"98", windows98}, {"98SE", windows98Se},
    {"ME", windowsMe},         {"2000", windows2000}, {"XP", windowsXp}, {"2003", windowsServer2003},
};
static const RequirementRow ieRows[] = {
    {"6.0SP1", 19},  {"6.0", 18},     {"5.5SP2", 17}, {"5.5SP1", 16}, {"5.5", 15},    {"5.01SP3", 14},
    {"5.01SP2", 13}, {"5.01SP1", 12}, {"5.01", 11},   {"5.0", 10},    {"4.01SP2", 9}, {"4.01SP1", 8},
    {"4.01", 7},     {"4.0", 6},      {"3.02", 5},    {"3.01", 4},    {"3.0", 3},
};
static const RequirementRow directXRows[] = {
    {"9.0", 0x900}, {"8.1", 0x801}, {"8.0", 0x800}, {"7.0", 0x700}, {"6.1", 0x601},
    {"6.0", 0x600}, {"5.0", 0x500}, {"3.0", 0x300}, {"2.0", 0x200}, {"1.0", 0x100},
};
static const RequirementRow accessRows[] = {
    {"97", 1}, {"97SR1", 2}, {"97SR2", 3}, {"2000", 4}, {"2000SR1", 5}, {"2000SR2", 6}, {"XP", 7},
};

static const RequirementTable windowsTable = TABLE("Microsoft Windows ", windowsRows);
static const RequirementTable ieTable = TABLE("Internet Explorer ", ieRows);
static const RequirementTable directXTable = TABLE("DirectX ", directXRows);
static const RequirementTable accessTable = TABLE("Microsoft Access ", accessRows);

// Only one requirement is reported per check: its name is built here.
static char missingName[48];

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

static const char* displayName(const RequirementTable& table, const char* key, const char* suffix) {
    char* out = missingName;
    for (const char* c = table.prefix; *c; ++c)
        *out++ = *c;
    for (const char* c = key; *c; ++c) {
        if (c > key && isDigit(c[-1]) && !isDigit(*c) && *c != '.') *out++ = ' ';
        *out++ = *c;
    }
    while (*suffix)
        *out++ = *suffix++;
    *out = 0;
    return missingName;
}

// The display name of the row whose key is the required text (any case) when the detected value is below its
// minimum; null when the requirement is met, empty or not in the table.
static const char* unmetName(const RequirementTable& table, const char* required, DWORD detected) {
    if (!required || !*required) return nullptr;
    for (DWORD i = 0; i < table.count; ++i) {
        const RequirementRow& row = table.rows[i];
        if (!sameTextIgnoringCase(row.key, required)) continue;
        if (detected >= row.minimum) return nullptr;
        // Server 2003 is the one name that says more than its key.
        return displayName(table, row.key,
                           &table == &windowsTable && row.minimum == windowsServer2003 ? " Server" : "");
    }
    return nullptr;
}

int requirementResultFor(bool windowsNt) {
    state.missingOsName = state.missingIeName = state.missingDirectXName = state.missingAccessName = nullptr;
    if (state.requiredOs && sameTextIgnoringCase(state.requiredOs, "NT") && !windowsNt) return requirementNtMissing;
    DWORD windows = state.windowsVersion > 0 ? static_cast<DWORD>(state.windowsVersion) : 0;
    state.missingOsName = unmetName(windowsTable, state.requiredOs, windows);
    if (state.missingOsName) return requirementOsMissing;
    if (state.requireAdmin && windowsNt && !state.userIsAdmin) return requirementAdminMissing;
    state.missingIeName = unmetName(ieTable, state.requiredIe, static_cast<DWORD>(state.ieLevel));
    if (state.missingIeName) return requirementIeMissing;
    state.missingDirectXName = unmetName(directXTable, state.requiredDirectX, state.directXLevel);
    if (state.missingDirectXName) return requirementDirectXMissing;
    state.missingAccessName = unmetName(accessTable, state.requiredAccess, static_cast<DWORD>(state.accessLevel));
    return state.missingAccessName ? requirementAccessMissing : requirementsMet;
}

// ---- Internet Explorer ----

#define ROWS(table) table, sizeof(table) / sizeof(table[0])

// Detail code of the first row whose build the value reaches; rows by falling build.
struct BuildThreshold {
    WORD build;
    BYTE detail;
};

static int detailOf(const BuildThreshold* rows, DWORD count, int build, int below) {
    for (DWORD i = 0; i < count; ++i)
        if (build >= rows[i].build) return rows[i].detail;
    return below;
}

// Browsers of version 6 and later: their third number.
static const BuildThreshold version6Builds[] = {{3790, 42}, {3718, 41}, {3663, 40}, {2800, 39}, {2600, 38}, {2479, 37}};
// Versions 4.0 to 5.5 SP2 by the builds of their releases, so that each reaches the level of its own release
// in the table (4.71.1712 = 4.0 ... 5.50.4807 = 5.5 SP2) instead of being classed by the thresholds of
// version 6.
static const BuildThreshold version4Builds[] = {{3612, 13}, {3110, 12}, {2106, 11}};
static const BuildThreshold version5Builds[] = {{3502, 28}, {3314, 26}, {3103, 24}, {2919, 19}};
static const BuildThreshold version55Builds[] = {{4807, 35}, {4522, 34}};
// The "Build" value of version 3 (4.70.1155 = 3.0, 1215 = 3.01, 1300 = 3.02).
static const BuildThreshold version3Builds[] = {{1300, 7}, {1215, 6}, {1158, 5}, {1155, 4}};

// The first count dot-separated numbers of a text, each read with toNumber; missing ones are 0.
static void readDottedNumbers(const char* text, int* numbers, int count) {
    for (int i = 0; i < count; ++i) {
        numbers[i] = *text ? toNumber(text) : 0;
        while (*text && *text != '.')
            ++text;
        if (*text) ++text;
    }
}

int ieDetailFromVersion(const char* versionText) {
    int number[3];
    readDottedNumbers(versionText ? versionText : "", number, 3);
    int major = number[0], minor = number[1], build = number[2];
    if (major == 4 && minor < 71) return ieDetailFromBuild(build);
    if (major == 4) return detailOf(ROWS(version4Builds), build, 8);
    if (major == 5 && minor < 50) return detailOf(ROWS(version5Builds), build, 14);
    if (major == 5) return detailOf(ROWS(version55Builds), build, 29);
    return detailOf(ROWS(version6Builds), build, 36);
}

int ieDetailFromBuild(int build) { return detailOf(ROWS(version3Builds), build, 2); }

int ieDetailFromIVer(int iver) { return iver >= 102 ? 2 : iver == 101 ? 3 : 1; }

// The highest detail code of each level 1..20.
static const BYTE lastDetailOfLevel[] = {1, 3, 5, 6, 7, 10, 11, 12, 13, 18, 23, 25, 27, 28, 33, 34, 35, 38, 42, 43};

int ieLevelFromDetail(int detail) {
    if (detail < 1) return 0;
    for (int level = 0; level < static_cast<int>(sizeof(lastDetailOfLevel)); ++level)
        if (detail <= lastDetailOfLevel[level]) return level + 1;
    return 0;
}

// ---- DirectX ----

DWORD directXLevelFromDirect3D(bool hasD3d8, bool hasD3d9, const char* registryVersion) {
    if (!hasD3d8) return 0x700;
    if (hasD3d9) return 0x900;
    static const char version81[] = "4.08.01";
    for (int i = 0; i < 7; ++i)
        if (!registryVersion || registryVersion[i] != version81[i]) return 0x800;
    return 0x801;
}

// ---- Microsoft Access ----

// File versions of MSACCESS.EXE, for levels 1..7. Access 2000 and its service releases are version 9 (Office
// 2000); the 8 of Access 97 would never match them.
static const WORD accessVersions[][4] = {
    {8, 0, 0, 3512}, {8, 0, 0, 4122}, {8, 0, 0, 5903},  {9, 0, 0, 2719},
    {9, 0, 0, 3822}, {9, 0, 0, 4506}, {10, 0, 2627, 1},
};

int accessLevelFromVersion(const char* versionText) {
    if (!versionText || !*versionText) return 0;
    int number[4];
    readDottedNumbers(versionText, number, 4);
    for (int level = 0; level < static_cast<int>(sizeof(accessVersions) / sizeof(accessVersions[0])); ++level) {
        int same = 0;
        while (same < 4 && number[same] == accessVersions[level][same])
            ++same;
        if (same == 4) return level + 1;
    }
    return 0;
}

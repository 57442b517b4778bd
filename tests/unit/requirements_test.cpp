// Requirement check over detected values, and the mappings from what the system reports to the levels it
// compares: every table row at and below its minimum, and the edge cases.
#include "system/requirements.h"

#include <gtest/gtest.h>

#include <string>

#include "script_test_support.h"
#include "system/windows_version.h"

namespace {

struct Row {
    const char* key;
    unsigned minimum;
    const char* name;
};

const Row windowsRows[] = {
    {"95OSR2", 2, "Microsoft Windows 95 OSR2"}, {"NT4", 3, "Microsoft Windows NT4"},
    {"98", 4, "Microsoft Windows 98"},          {"98SE", 5, "Microsoft Windows 98 SE"},
    {"ME", 6, "Microsoft Windows ME"},          {"2000", 7, "Microsoft Windows 2000"},
    {"XP", 8, "Microsoft Windows XP"},          {"2003", 9, "Microsoft Windows 2003 Server"},
};
const Row ieRows[] = {
    {"6.0SP1", 19, "Internet Explorer 6.0 SP1"},   {"6.0", 18, "Internet Explorer 6.0"},
    {"5.5SP2", 17, "Internet Explorer 5.5 SP2"},   {"5.5SP1", 16, "Internet Explorer 5.5 SP1"},
    {"5.5", 15, "Internet Explorer 5.5"},          {"5.01SP3", 14, "Internet Explorer 5.01 SP3"},
    {"5.01SP2", 13, "Internet Explorer 5.01 SP2"}, {"5.01SP1", 12, "Internet Explorer 5.01 SP1"},
    {"5.01", 11, "Internet Explorer 5.01"},        {"5.0", 10, "Internet Explorer 5.0"},
    {"4.01SP2", 9, "Internet Explorer 4.01 SP2"},  {"4.01SP1", 8, "Internet Explorer 4.01 SP1"},
    {"4.01", 7, "Internet Explorer 4.01"},         {"4.0", 6, "Internet Explorer 4.0"},
    {"3.02", 5, "Internet Explorer 3.02"},         {"3.01", 4, "Internet Explorer 3.01"},
    {"3.0", 3, "Internet Explorer 3.0"},
};
const Row directXRows[] = {
    {"9.0", 0x900, "DirectX 9.0"}, {"8.1", 0x801, "DirectX 8.1"}, {"8.0", 0x800, "DirectX 8.0"},
    {"7.0", 0x700, "DirectX 7.0"}, {"6.1", 0x601, "DirectX 6.1"}, {"6.0", 0x600, "DirectX 6.0"},
    {"5.0", 0x500, "DirectX 5.0"}, {"3.0", 0x300, "DirectX 3.0"}, {"2.0", 0x200, "DirectX 2.0"},
    {"1.0", 0x100, "DirectX 1.0"},
};
const Row accessRows[] = {
    {"97", 1, "Microsoft Access 97"},
    {"97SR1", 2, "Microsoft Access 97 SR1"},
    {"97SR2", 3, "Microsoft Access 97 SR2"},
    {"2000", 4, "Microsoft Access 2000"},
    {"2000SR1", 5, "Microsoft Access 2000 SR1"},
    {"2000SR2", 6, "Microsoft Access 2000 SR2"},
    {"XP", 7, "Microsoft Access XP"},
};

std::string nameOr(const char* name) { return name ? name : "<none>"; }

// Requirements arrive as the script's record 16 (OS, DirectX, IE, Access, admin flag); the detected values
// are set as start-up leaves them.
class RequirementsTest : public ScriptStateTest {
public:
    void require(const std::string& os, const std::string& directX, const std::string& ie, const std::string& access,
                 bool admin = false) {
        apply(recordRequirements,
              textPiece(os) + textPiece(directX) + textPiece(ie) + textPiece(access) + u8Piece(admin ? 1 : 0));
    }
    void detected(int windows, int ie, DWORD directX, int access, bool admin = true) {
        state.windowsVersion = windows;
        state.ieLevel = ie;
        state.directXLevel = directX;
        state.accessLevel = access;
        state.userIsAdmin = admin;
    }
    std::string missing() const {
        return nameOr(state.missingOsName) + "|" + nameOr(state.missingIeName) + "|" +
               nameOr(state.missingDirectXName) + "|" + nameOr(state.missingAccessName);
    }
};

TEST_F(RequirementsTest, WindowsTableIsAnOrderingOfCodes) {
    for (const Row& row : windowsRows) {
        require(row.key, "", "", "");
        for (int code = windowsUnknown; code <= windowsNewer; ++code) {
            detected(code, 0, 0, 0);
            bool nt = code == windowsNt4 || code >= windows2000;
            int result = requirementResultFor(nt);
            if (static_cast<unsigned>(code) < row.minimum) {
                EXPECT_EQ(result, requirementOsMissing) << row.key << " on code " << code;
                EXPECT_EQ(missing(), std::string(row.name) + "|<none>|<none>|<none>") << row.key << " on " << code;
            } else {
                EXPECT_EQ(result, requirementsMet) << row.key << " on code " << code;
                EXPECT_EQ(missing(), "<none>|<none>|<none>|<none>");
            }
        }
    }
}

TEST_F(RequirementsTest, OnlyNtIsAPlatformTest) {
    require("NT4", "", "", "");
    detected(windows98, 0, 0, 0);
    EXPECT_EQ(requirementResultFor(false), requirementsMet) << "98 ranks above NT 4";
    require("nt", "", "", "");
    EXPECT_EQ(requirementResultFor(false), requirementNtMissing);
    EXPECT_EQ(missing(), "<none>|<none>|<none>|<none>");
    detected(windowsUnknown, 0, 0, 0);
    EXPECT_EQ(requirementResultFor(true), requirementsMet) << "an unknown NT system is still NT";
    detected(windowsNewer, 0, 0, 0);
    EXPECT_EQ(requirementResultFor(true), requirementsMet);
}

TEST_F(RequirementsTest, SystemsAfterServer2003MeetEveryWindowsRequirement) {
    detected(windowsNewer, 0, 0, 0);
    for (const char* key : {"NT", "95OSR2", "NT4", "98", "98SE", "ME", "2000", "XP", "2003"}) {
        require(key, "", "", "");
        EXPECT_EQ(requirementResultFor(true), requirementsMet) << key;
    }
}

TEST_F(RequirementsTest, AdministratorsAreRequiredOnlyOnNt) {
    require("", "", "", "", true);
    detected(windowsXp, 0, 0, 0, false);
    EXPECT_EQ(requirementResultFor(true), requirementAdminMissing);
    EXPECT_EQ(missing(), "<none>|<none>|<none>|<none>");
    detected(windowsXp, 0, 0, 0, true);
    EXPECT_EQ(requirementResultFor(true), requirementsMet);
    for (int code : {windows95, windows95Osr2, windows98, windows98Se, windowsMe}) {
        detected(code, 0, 0, 0, false);
        EXPECT_EQ(requirementResultFor(false), requirementsMet) << code;
    }
    require("", "", "", "", false);
    detected(windowsXp, 0, 0, 0, false);
    EXPECT_EQ(requirementResultFor(true), requirementsMet) << "not required";
}

TEST_F(RequirementsTest, TestsRunInTheirOrderAndStopAtTheFirstFailure) {
    require("XP", "9.0", "6.0", "XP", true);
    detected(windows2000, 0, 0, 0, false);
    EXPECT_EQ(requirementResultFor(true), requirementOsMissing);
    EXPECT_EQ(missing(), "Microsoft Windows XP|<none>|<none>|<none>");
    detected(windowsXp, 0, 0, 0, false);
    EXPECT_EQ(requirementResultFor(true), requirementAdminMissing) << "rights come before the components";
    EXPECT_EQ(missing(), "<none>|<none>|<none>|<none>") << "names of an earlier call are cleared";
    detected(windowsXp, 0, 0, 0, true);
    EXPECT_EQ(requirementResultFor(true), requirementIeMissing);
    EXPECT_EQ(missing(), "<none>|Internet Explorer 6.0|<none>|<none>");
    detected(windowsXp, 18, 0, 0, true);
    EXPECT_EQ(requirementResultFor(true), requirementDirectXMissing);
    EXPECT_EQ(missing(), "<none>|<none>|DirectX 9.0|<none>");
    detected(windowsXp, 18, 0x900, 0, true);
    EXPECT_EQ(requirementResultFor(true), requirementAccessMissing);
    EXPECT_EQ(missing(), "<none>|<none>|<none>|Microsoft Access XP");
    detected(windowsXp, 18, 0x900, 7, true);
    EXPECT_EQ(requirementResultFor(true), requirementsMet);
}

// Each row of a component table fails one below its minimum and holds at it.
void expectComponentRows(RequirementsTest* test, const Row* rows, size_t count, int expectedResult,
                         void (*setup)(RequirementsTest*, const char*, unsigned), const char* (*nameOf)()) {
    for (size_t i = 0; i < count; ++i) {
        setup(test, rows[i].key, rows[i].minimum - 1);
        EXPECT_EQ(requirementResultFor(true), expectedResult) << rows[i].key;
        EXPECT_EQ(nameOr(nameOf()), rows[i].name) << rows[i].key;
        setup(test, rows[i].key, rows[i].minimum);
        EXPECT_EQ(requirementResultFor(true), requirementsMet) << rows[i].key;
    }
}

TEST_F(RequirementsTest, EveryComponentRowFailsBelowItsMinimum) {
    auto setIe = [](RequirementsTest* t, const char* key, unsigned level) {
        t->require("", "", key, "");
        t->detected(windowsXp, static_cast<int>(level), 0, 0);
    };
    auto setDirectX = [](RequirementsTest* t, const char* key, unsigned level) {
        t->require("", key, "", "");
        t->detected(windowsXp, 0, level, 0);
    };
    auto setAccess = [](RequirementsTest* t, const char* key, unsigned level) {
        t->require("", "", "", key);
        t->detected(windowsXp, 0, 0, static_cast<int>(level));
    };
    expectComponentRows(this, ieRows, std::size(ieRows), requirementIeMissing, setIe,
                        [] { return state.missingIeName; });
    expectComponentRows(this, directXRows, std::size(directXRows), requirementDirectXMissing, setDirectX,
                        [] { return state.missingDirectXName; });
    expectComponentRows(this, accessRows, std::size(accessRows), requirementAccessMissing, setAccess,
                        [] { return state.missingAccessName; });
}

TEST_F(RequirementsTest, DirectX3IsMetWhenOnlyThePrimarySurfaceFailed) {
    detected(windowsXp, 0, 0x301, 0);
    require("", "3.0", "", "");
    EXPECT_EQ(requirementResultFor(true), requirementsMet);
    require("", "5.0", "", "");
    EXPECT_EQ(requirementResultFor(true), requirementDirectXMissing);
    EXPECT_STREQ(state.missingDirectXName, "DirectX 5.0");
}

TEST_F(RequirementsTest, KeysMatchInAnyCase) {
    detected(windows2000, 0, 0, 0);
    require("xp", "8.1", "6.0sp1", "2000sr1");
    EXPECT_EQ(requirementResultFor(true), requirementOsMissing);
    detected(windowsXp, 0, 0, 0);
    EXPECT_EQ(requirementResultFor(true), requirementIeMissing);
    EXPECT_STREQ(state.missingIeName, "Internet Explorer 6.0 SP1");
    detected(windowsXp, 19, 0x800, 0);
    EXPECT_EQ(requirementResultFor(true), requirementDirectXMissing);
    detected(windowsXp, 19, 0x801, 4);
    EXPECT_EQ(requirementResultFor(true), requirementAccessMissing);
    EXPECT_STREQ(state.missingAccessName, "Microsoft Access 2000 SR1");
}

TEST_F(RequirementsTest, EmptyOrUnknownTextsRequireNothing) {
    detected(windowsUnknown, 0, 0, 0, false);
    require("", "", "", "", false);
    EXPECT_EQ(requirementResultFor(false), requirementsMet);
    require("Vista", "10.0", "7.0", "2003");
    EXPECT_EQ(requirementResultFor(false), requirementsMet);
    require(" XP", "9", "6", "97 SR1");
    EXPECT_EQ(requirementResultFor(false), requirementsMet) << "near misses are no keys";
    EXPECT_EQ(missing(), "<none>|<none>|<none>|<none>");
}

TEST_F(RequirementsTest, NoRequirementsRecordAtAll) {
    detected(windowsUnknown, 0, 0, 0, false);
    EXPECT_EQ(requirementResultFor(true), requirementsMet);
}

// ---- Internet Explorer: detail codes and levels ----

TEST(IeLevel, DetailCodesMapToLevels) {
    const int lastDetailOfLevel[] = {1, 3, 5, 6, 7, 10, 11, 12, 13, 18, 23, 25, 27, 28, 33, 34, 35, 38, 42, 43};
    int first = 1;
    for (int level = 1; level <= 20; ++level) {
        for (int detail = first; detail <= lastDetailOfLevel[level - 1]; ++detail)
            EXPECT_EQ(ieLevelFromDetail(detail), level) << "detail " << detail;
        first = lastDetailOfLevel[level - 1] + 1;
    }
    for (int detail : {-1, 0, 44, 100})
        EXPECT_EQ(ieLevelFromDetail(detail), 0) << detail;
}

TEST(IeLevel, Version6ThresholdsOfTheThirdNumber) {
    const std::pair<const char*, int> cases[] = {
        {"6.0.2478.0", 36},  {"6.0.2479.6", 37},    {"6.00.2599.0", 37}, {"6.00.2600.0000", 38},
        {"6.0.2799.9", 38},  {"6.0.2800.1106", 39}, {"6.0.3662.0", 39},  {"6.0.3663.0", 40},
        {"6.0.3718.0", 41},  {"6.0.3789.0", 41},    {"6.0.3790.0", 42},  {"9.11.9600.18376", 42},
        {"7.0.5730.11", 42}, {"6.0", 36},           {"6", 36},           {"", 36},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ieDetailFromVersion(c.first), c.second) << c.first;
    EXPECT_EQ(ieLevelFromDetail(ieDetailFromVersion("6.0.2800.1106")), 19) << "6.0 SP1";
    EXPECT_EQ(ieLevelFromDetail(ieDetailFromVersion("6.0.2600.0000")), 18) << "6.0";
    EXPECT_EQ(ieLevelFromDetail(ieDetailFromVersion("9.11.9600.18376")), 19) << "what Wine reports";
}

TEST(IeLevel, ReleasesBeforeVersion6ReachTheirOwnLevels) {
    const std::pair<const char*, int> releases[] = {
        {"4.71.1712.6", 6},     {"4.72.2106.8", 7},     {"4.72.3110.8", 8},     {"4.72.3612.1713", 9},
        {"5.00.2014.0216", 10}, {"5.00.2614.3500", 10}, {"5.00.2919.6307", 11}, {"5.00.2920.0000", 11},
        {"5.00.3103.1000", 12}, {"5.00.3105.0106", 12}, {"5.00.3314.2101", 13}, {"5.00.3315.1000", 13},
        {"5.00.3502.1000", 14}, {"5.00.3700.1000", 14}, {"5.50.4134.0100", 15}, {"5.50.4134.0600", 15},
        {"5.50.4522.1800", 16}, {"5.50.4807.2300", 17}, {"4.70.1300", 5},       {"4.70.1155", 3},
    };
    for (const auto& r : releases)
        EXPECT_EQ(ieLevelFromDetail(ieDetailFromVersion(r.first)), r.second) << r.first;
}

TEST(IeLevel, BuildAndIVerOfOlderBrowsers) {
    const std::pair<int, int> builds[] = {{0, 2},    {1154, 2}, {1155, 4}, {1157, 4}, {1158, 5},
                                          {1214, 5}, {1215, 6}, {1299, 6}, {1300, 7}, {5000, 7}};
    for (const auto& b : builds)
        EXPECT_EQ(ieDetailFromBuild(b.first), b.second) << b.first;
    EXPECT_EQ(ieDetailFromIVer(0), 1);
    EXPECT_EQ(ieDetailFromIVer(100), 1);
    EXPECT_EQ(ieDetailFromIVer(101), 3);
    EXPECT_EQ(ieDetailFromIVer(102), 2);
    EXPECT_EQ(ieDetailFromIVer(400), 2);
}

// ---- DirectX past DirectDraw 7, and Microsoft Access versions ----

TEST(DirectXLevel, Direct3DLibrariesAndTheRegistryVersion) {
    EXPECT_EQ(directXLevelFromDirect3D(false, false, "4.08.01.0881"), 0x700u);
    EXPECT_EQ(directXLevelFromDirect3D(false, true, "4.09.00.0904"), 0x700u) << "the probe ends at D3D8";
    EXPECT_EQ(directXLevelFromDirect3D(true, false, "4.08.01.0881"), 0x801u);
    EXPECT_EQ(directXLevelFromDirect3D(true, true, "4.08.01.0881"), 0x900u);
    EXPECT_EQ(directXLevelFromDirect3D(true, false, "4.08.00.0400"), 0x800u);
    EXPECT_EQ(directXLevelFromDirect3D(true, false, "4.08.0"), 0x800u);
    EXPECT_EQ(directXLevelFromDirect3D(true, false, nullptr), 0x800u);
    EXPECT_EQ(directXLevelFromDirect3D(true, false, "4.08.01"), 0x801u) << "seven characters suffice";
}

TEST(AccessLevel, FormattedVersionsOfEachRelease) {
    const std::pair<const char*, int> versions[] = {
        {"8.0.0.3512", 1}, {"8.0.0.4122", 2}, {"8.0.0.5903", 3},  {"9.0.0.2719", 4},
        {"9.0.0.3822", 5}, {"9.0.0.4506", 6}, {"10.0.2627.1", 7},
    };
    for (const auto& v : versions)
        EXPECT_EQ(accessLevelFromVersion(v.first), v.second) << v.first;
    for (const char* unknown : {"", "8.0.0.3513", "8.0.1.3512", "10.0.2627.0", "11.0.5614.0", "8.0.0.2719", "9.0"})
        EXPECT_EQ(accessLevelFromVersion(unknown), 0) << unknown;
    EXPECT_EQ(accessLevelFromVersion(nullptr), 0);
}

}  // namespace

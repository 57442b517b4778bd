// Detections of the installed system under Wine: Internet Explorer and Access from the registry, the DirectX
// probe, the Administrators group, and the requirement check over them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "install/file_version.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "system/requirements.h"
#include "system/windows_version.h"

namespace {

const char ieKey[] = "Software\\Microsoft\\Internet Explorer";
const char ieVersion3Key[] = "Software\\Microsoft\\Windows\\Internet Explorer";
const char accessKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\MSACCESS.EXE";

std::optional<std::string> readText(const char* key, const char* name) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
    char data[256] = {};
    DWORD size = sizeof(data) - 1, type = 0;
    LONG status = RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::string(data);
}

void setValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY opened;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr), 0);
    EXPECT_EQ(RegSetValueExA(opened, name, 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(opened);
}
void setText(const char* key, const char* name, const std::string& text) {
    setValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}
void removeValue(const char* key, const char* name) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
    RegDeleteValueA(opened, name);
    RegCloseKey(opened);
}

// Keeps the values a test changes and puts them back afterwards.
class Detection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        savedIeVersion = readText(ieKey, "Version");
        resetSetupState();
    }
    void TearDown() override {
        if (savedIeVersion) setText(ieKey, "Version", *savedIeVersion);
        removeValue(ieVersion3Key, "Build");
        removeValue(ieVersion3Key, "IVer");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, accessKey);
        unloadVersionFunctions();
        heapDestroy();
    }
    std::optional<std::string> savedIeVersion;
};

TEST_F(Detection, InternetExplorerVersionValueGivesItsLevel) {
    const std::pair<const char*, int> versions[] = {
        {"6.0.2800.1106", 19}, {"6.00.2600.0000", 18}, {"5.50.4807.2300", 17}, {"5.00.3502.1000", 14},
        {"4.72.3110.8", 8},    {"4.71.1712.6", 6},     {"6.0.3790.0", 19},
    };
    for (const auto& v : versions) {
        setText(ieKey, "Version", v.first);
        EXPECT_EQ(detectIeLevel(), v.second) << v.first;
    }
}

TEST_F(Detection, OlderBrowsersAreFoundByBuildOrIVer) {
    removeValue(ieKey, "Version");
    EXPECT_EQ(detectIeLevel(), 0) << "nothing to find";
    DWORD iver = 101;
    setValue(ieVersion3Key, "IVer", REG_DWORD, &iver, sizeof(iver));
    EXPECT_EQ(detectIeLevel(), 2);
    setText(ieVersion3Key, "IVer", "100");
    EXPECT_EQ(detectIeLevel(), 1);
    setText(ieVersion3Key, "Build", "1300");
    EXPECT_EQ(detectIeLevel(), 5) << "Build comes before IVer";
    DWORD build = 1215;
    setValue(ieVersion3Key, "Build", REG_DWORD, &build, sizeof(build));
    EXPECT_EQ(detectIeLevel(), 4);
    setText(ieKey, "Version", "6.0.2800.1106");
    EXPECT_EQ(detectIeLevel(), 19) << "Version comes first";
}

// A copy of this test program carrying only a version resource of the given four numbers: it has no
// DllGetVersion, so the resource decides.
std::string programWithVersion(const WORD* numbers) {
    char self[MAX_PATH], temp[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);
    std::string copy = std::string(temp) + "velkorin-access\\MSACCESS.EXE";
    CreateDirectoryA((std::string(temp) + "velkorin-access").c_str(), nullptr);
    if (!CopyFileA(self, copy.c_str(), FALSE)) return "";
    // VS_VERSIONINFO: length, value length, type 0, key "VS_VERSION_INFO", padding, fixed info.
    std::vector<BYTE> block(40 + sizeof(VS_FIXEDFILEINFO));
    WORD header[3] = {static_cast<WORD>(block.size()), sizeof(VS_FIXEDFILEINFO), 0};
    std::memcpy(block.data(), header, sizeof(header));
    const char key[] = "VS_VERSION_INFO";
    for (size_t i = 0; i < sizeof(key); ++i)
        block[6 + 2 * i] = static_cast<BYTE>(key[i]);
    VS_FIXEDFILEINFO info = {};
    info.dwSignature = 0xFEEF04BD;
    info.dwStrucVersion = 0x00010000;
    info.dwFileVersionMS = static_cast<DWORD>(numbers[0]) << 16 | numbers[1];
    info.dwFileVersionLS = static_cast<DWORD>(numbers[2]) << 16 | numbers[3];
    std::memcpy(block.data() + 40, &info, sizeof(info));
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    if (!update) return "";
    UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                    block.data(), static_cast<DWORD>(block.size()));
    return EndUpdateResourceA(update, FALSE) ? copy : "";
}

TEST_F(Detection, AccessLevelFollowsTheRegisteredProgramsVersion) {
    EXPECT_EQ(detectAccessLevel(), 0) << "no Access registered";
    struct Release {
        WORD version[4];
        int level;
    };
    const Release releases[] = {
        {{8, 0, 0, 3512}, 1}, {{9, 0, 0, 2719}, 4}, {{10, 0, 2627, 1}, 7}, {{10, 0, 2627, 2}, 0}};
    for (const Release& release : releases) {
        std::string program = programWithVersion(release.version);
        ASSERT_FALSE(program.empty()) << "cannot prepare the sample program";
        char text[64];
        ASSERT_TRUE(formatFileVersion(program.c_str(), text, false));
        setText(accessKey, "", program);
        EXPECT_EQ(detectAccessLevel(), release.level) << text;
        DeleteFileA(program.c_str());
    }
    setText(accessKey, "", "C:\\no\\such\\MSACCESS.EXE");
    EXPECT_EQ(detectAccessLevel(), 0) << "a registered program that is missing";
}

TEST_F(Detection, DirectXProbeReportsALevelAndUnloadsEveryLibrary) {
    // DDRAW.DLL is left out: Wine's DirectDraw pins itself in memory once it has been loaded.
    const char* probed[] = {"DINPUT.DLL", "D3D8.DLL", "D3D9.DLL"};
    for (const char* library : probed)
        ASSERT_EQ(GetModuleHandleA(library), nullptr) << library << " loaded before";
    DWORD level = detectDirectXLevel();
    for (const char* library : probed)
        EXPECT_EQ(GetModuleHandleA(library), nullptr) << library << " left loaded";
    const DWORD known[] = {0, 0x100, 0x200, 0x300, 0x301, 0x500, 0x600, 0x601, 0x700, 0x800, 0x801, 0x900};
    EXPECT_NE(std::find(std::begin(known), std::end(known), level), std::end(known)) << std::hex << level;
    EXPECT_GE(level, 0x300u) << "Wine has DirectDraw, DirectInput and the surfaces";
    EXPECT_EQ(detectDirectXLevel(), level) << "the same answer twice";
    std::cout << "[ detected ] DirectX level under Wine: 0x" << std::hex << level << std::dec << "\n";
    RecordProperty("directx_level", static_cast<int>(level));
}

TEST_F(Detection, WineRunsAsAnAdministrator) { EXPECT_TRUE(detectAdminRights()); }

TEST_F(Detection, StartUpDetectionsFillTheState) {
    state.accessLevel = 9;
    detectInstalledSystem();
    EXPECT_EQ(state.windowsVersion, detectWindowsVersion());
    EXPECT_EQ(state.ieLevel, detectIeLevel());
    EXPECT_EQ(state.directXLevel, 0u) << "DirectX is probed only for a package that requires it";
    EXPECT_EQ(state.accessLevel, 0);
    EXPECT_TRUE(state.userIsAdmin);
}

TEST_F(Detection, ADirectXRequirementProbesDirectX) {
    char required[] = "9.0";
    detectInstalledSystem();
    state.requiredDirectX = required;
    EXPECT_EQ(checkRequirements(), requirementsMet) << "Wine reports DirectX 9";
    EXPECT_EQ(state.directXLevel, detectDirectXLevel());
    state.requiredDirectX = nullptr;
}

// Wine always reports an enabled Administrators group: the user without rights is the state start-up would
// leave on such a system.
TEST_F(Detection, NtUserWithoutAdministrativeRightsIsStopped) {
    char anything[] = "";
    detectInstalledSystem();
    ASSERT_TRUE(isWindowsNT());
    state.requiredOs = anything;
    state.requireAdmin = 1;
    EXPECT_EQ(checkRequirements(), requirementsMet);
    state.userIsAdmin = false;
    EXPECT_EQ(checkRequirements(), requirementAdminMissing);
    EXPECT_EQ(state.missingOsName, nullptr);
    state.requireAdmin = 0;
    EXPECT_EQ(checkRequirements(), requirementsMet);
    state.requiredOs = nullptr;
}

}  // namespace

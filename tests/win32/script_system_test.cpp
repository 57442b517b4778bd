// The script interpreter against the real registry and the real font list.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <string>

#include "script/records.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "ui/fonts.h"

namespace {
std::string text(const std::string& t) { return t + std::string(1, '\0'); }
std::string u32(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

// A product record whose default path comes from the given registry source.
std::string productRecord(const std::string& source, const std::string& face) {
    return text("Demo") + text("Demo 1.0") + text(face + ",0x000000") + u32(0x01000000) + u32(0x01000000) +
           text(face + ",0x000000") + u32(0xFFFFFF) + std::string(1, '\0') + text(source) + text("") + text("") +
           std::string(1, '\0') + std::string(1, '\0');
}

class ScriptOnTheSystem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VelkorinTest\\Demo");
    }
    void TearDown() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VelkorinTest\\Demo");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\VelkorinTest");
        closeFreshState();
    }
    void apply(DWORD type, const std::string& payload) {
        std::string record = u32(static_cast<DWORD>(payload.size())) + payload;
        applyRecord(type, reinterpret_cast<const BYTE*>(record.data()));
    }
};

TEST_F(ScriptOnTheSystem, PreviousInstallFolderFromTheRegistryBecomesInstallPath) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\VelkorinTest\\Demo", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const char previous[] = "D:\\Apps\\Demo Earlier";
    RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), sizeof(previous));
    RegCloseKey(key);

    apply(1, text("%INSTALLPATH%") + text("C:\\Program Files\\Demo"));
    apply(9, productRecord("hklm,\\Software\\VelkorinTest\\Demo,InstallPath", "Tahoma"));
    EXPECT_STREQ(lookupVariable("%InstallPath%"), previous);
    EXPECT_STREQ(listAt(&state.variableNames, 0), "%INSTALLPATH%") << "the script's spelling is kept";
    EXPECT_EQ(listCount(&state.variableNames), 1);
}

TEST_F(ScriptOnTheSystem, MissingRegistryValueKeepsTheScriptsPath) {
    apply(1, text("%INSTALLPATH%") + text("C:\\Program Files\\Demo"));
    apply(9, productRecord("HKLM,Software\\VelkorinTest\\Demo,InstallPath", "Tahoma"));
    EXPECT_STREQ(lookupVariable("%InstallPath%"), "C:\\Program Files\\Demo");
}

int CALLBACK firstFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<std::string*>(found) = font->lfFaceName;
    return 0;
}

TEST_F(ScriptOnTheSystem, InstalledFaceIsKept) {
    std::string face;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesA(screen, nullptr, firstFace, reinterpret_cast<LPARAM>(&face));
    ReleaseDC(nullptr, screen);
    ASSERT_FALSE(face.empty()) << "the prefix lists no font at all";
    EXPECT_TRUE(fontInstalled(face.c_str())) << face;
    apply(9, productRecord("", face));
    EXPECT_EQ(std::string(state.textFontFace), face);
}

TEST_F(ScriptOnTheSystem, FontFacesFallBackWhenNotInstalled) {
    EXPECT_FALSE(fontInstalled("Velkorin No Such Face"));
    apply(9, productRecord("", "Velkorin No Such Face"));
    EXPECT_STREQ(state.textFontFace, "MS Sans Serif");
    EXPECT_STREQ(state.titleFontFace, "MS Sans Serif");
}
}  // namespace

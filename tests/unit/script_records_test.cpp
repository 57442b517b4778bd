// The record interpreter: what each record type leaves in SetupState, and records that are short,
// repeated, out of order or of unknown type.
#include "script/fields.h"
#include "script/variables.h"
#include "script_test_support.h"
#include "startup/package.h"
#include "system/registry_roots.h"

namespace {

// A type-9 record with the fields a builder writes; tests change what they look at.
struct ProductRecord {
    std::string name = "Demo", title = "Demo 2.1";
    std::string textFont = "Verdana,0x102030";
    uint32_t pageColor = 0x00FFFFFF, frameColor = 0x01000000;
    std::string titleFont = "Arial,0x505050";
    uint32_t headerColor = 0x00112233;
    uint8_t flagsA = 0;
    std::string pathSource = "HKLM,Software\\Demo,Path";
    std::string finishProgram = "", finishReadme = "";
    uint8_t flagsB = 0;
    uint8_t hideMakerLink = 0;

    std::string payload() const {
        return textPiece(name) + textPiece(title) + textPiece(textFont) + u32Piece(pageColor) +
               u32Piece(frameColor) + textPiece(titleFont) + u32Piece(headerColor) + u8Piece(flagsA) +
               textPiece(pathSource) + textPiece(finishProgram) + textPiece(finishReadme) + u8Piece(flagsB) +
               u8Piece(hideMakerLink);
    }
};

class RecordsTest : public ScriptStateTest {
protected:
    void SetUp() override {
        ScriptStateTest::SetUp();
        resolveTokens();
        doubleInstallFont("Tahoma");
        doubleInstallFont("Verdana");
        doubleInstallFont("Arial");
    }
    void applyProduct(const ProductRecord& product) { apply(recordProduct, product.payload()); }
};

// ---- type 1: variables ----

TEST_F(RecordsTest, VariableValueHasTokensExpandedButVariablesKept) {
    apply(recordVariable, textPiece("%INSTALLPATH%") + textPiece("<ProgramFiles>\\Demo\\%SUB%"));
    ASSERT_EQ(listCount(&state.variableNames), 1);
    EXPECT_EQ(at(state.variableNames, 0), "%INSTALLPATH%");
    EXPECT_EQ(at(state.variableValues, 0), "C:\\Program Files\\Demo\\%SUB%");
}

TEST_F(RecordsTest, RepeatedVariableAppendsAndLookupFindsTheFirst) {
    apply(recordVariable, textPiece("%A%") + textPiece("first"));
    apply(recordVariable, textPiece("%a%") + textPiece("second"));
    EXPECT_EQ(listCount(&state.variableNames), 2);
    EXPECT_STREQ(lookupVariable("%A%"), "first");
}

TEST_F(RecordsTest, VariableWithoutTerminatedValueIsIgnored) {
    apply(recordVariable, textPiece("%A%") + "unterminated");
    apply(recordVariable, "%B");
    EXPECT_EQ(listCount(&state.variableNames), 0);
    EXPECT_EQ(listCount(&state.variableValues), 0);
}

// ---- type 2: pages ----

TEST_F(RecordsTest, PageSwitchesSetEnabledAndDialogNumbers) {
    apply(recordPages, std::string("\1\1\0\0\0\0\1\0\1\1\1\1", 12));
    const bool expected[12] = {1, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(state.pages[i].enabled != 0, expected[i]) << i;
        EXPECT_EQ(state.pages[i].dialogId, 129 + i);
    }
    EXPECT_EQ(state.pages[12].dialogId, 0) << "the uninstaller's record is not a wizard page";
}

TEST_F(RecordsTest, PagesBeforeProductKeepTheFirstDialogSet) {
    apply(recordPages, std::string(12, '\1'));
    ProductRecord compact;
    compact.flagsB = productCompactDialogs;
    applyProduct(compact);
    EXPECT_EQ(state.dialogIdBase, 20);
    EXPECT_EQ(state.pages[0].dialogId, 129);
    EXPECT_EQ(state.pages[11].dialogId, 140);
}

TEST_F(RecordsTest, PagesAfterCompactProductUseTheSecondDialogSet) {
    ProductRecord compact;
    compact.flagsB = productCompactDialogs;
    applyProduct(compact);
    apply(recordPages, std::string(12, '\1'));
    EXPECT_EQ(state.pages[0].dialogId, 149);
    EXPECT_EQ(state.pages[11].dialogId, 160);
}

TEST_F(RecordsTest, ShortPageRecordDisablesThePagesItDoesNotReach) {
    apply(recordPages, std::string(5, '\1'));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(state.pages[i].enabled != 0, i < 5) << i;
    EXPECT_EQ(state.pages[11].dialogId, 140);
}

// ---- types 3 and 4: documents ----

TEST_F(RecordsTest, LicenceAndReadmeAreStoredUnexpandedAndReplaced) {
    apply(recordLicense, textPiece("old"));
    apply(recordLicense, textPiece("Terms for <ProgramFiles>"));
    apply(recordReadme, textPiece("Read %INSTALLPATH%"));
    EXPECT_STREQ(state.licenseText, "Terms for <ProgramFiles>");
    EXPECT_STREQ(state.readmeText, "Read %INSTALLPATH%");
    apply(recordReadme, "cut off");
    EXPECT_STREQ(state.readmeText, "Read %INSTALLPATH%") << "an unterminated text keeps the previous one";
}

// ---- types 7 and 8: colours ----

TEST_F(RecordsTest, BackgroundColoursAreByteExchanged) {
    apply(recordBackground, u32Piece(0x004068BF) + u32Piece(0x01A0B0C0) + u32Piece(0));
    EXPECT_TRUE(state.showBackground);
    EXPECT_EQ(state.gradientTopColor, 0x00BF6840u) << "red 0x40, green 0x68, blue 0xBF";
    EXPECT_EQ(state.gradientBottomColor, 0x01C0B0A0u) << "the top byte is kept";
}

TEST_F(RecordsTest, ShortBackgroundRecordShowsNoBackground) {
    apply(recordBackground, u32Piece(0x004068BF) + u16Piece(0x1234));
    EXPECT_FALSE(state.showBackground);
    EXPECT_EQ(state.gradientTopColor, 0u);
}

TEST_F(RecordsTest, GreyFromTextAndFromBytesIsTheSame) {
    apply(recordBackground, std::string("\x50\x50\x50\x00\x50\x50\x50\x00", 8));
    ProductRecord product;
    product.textFont = "Verdana,0x505050";
    applyProduct(product);
    EXPECT_EQ(state.textColor, state.gradientTopColor);
    EXPECT_EQ(state.textColor, 0x00505050u);
}

TEST_F(RecordsTest, AccentColourIsStoredAsIs) {
    EXPECT_EQ(state.accentColor, 0x00C88C00u);
    apply(recordAccentColor, u16Piece(7));
    EXPECT_EQ(state.accentColor, 0x00C88C00u) << "a short record keeps the default";
    apply(recordAccentColor, u32Piece(0x00123456));
    EXPECT_EQ(state.accentColor, 0x00123456u);
}

// ---- type 9: product ----

TEST_F(RecordsTest, ProductFieldsAndCaption) {
    ProductRecord product;
    product.pageColor = 0x02000000;
    product.flagsA = productWelcomeHeaderFill;
    product.flagsB = productGroupChoice | productQuickLaunchChoice | productRestart | productCreateUninstaller;
    product.hideMakerLink = 3;
    applyProduct(product);
    EXPECT_STREQ(state.productName, "Demo");
    EXPECT_STREQ(state.productTitle, "Demo 2.1");
    EXPECT_STREQ(state.setupCaption, "Demo 2.1 Setup");
    EXPECT_STREQ(state.textFontFace, "Verdana");
    EXPECT_EQ(state.textColor, 0x00302010u);
    EXPECT_STREQ(state.titleFontFace, "Arial");
    EXPECT_EQ(state.pageColor, 0x02000000u) << "record colours are not exchanged";
    EXPECT_EQ(state.frameColor, 0x01000000u);
    EXPECT_EQ(state.headerColor, 0x00112233u);
    EXPECT_TRUE(state.welcomeHeaderFill);
    EXPECT_FALSE(state.backgroundCaption);
    EXPECT_EQ(state.dialogIdBase, 0);
    EXPECT_TRUE(state.groupChoice);
    EXPECT_FALSE(state.desktopChoice);
    EXPECT_TRUE(state.quickLaunchChoice);
    EXPECT_TRUE(state.rebootRequired);
    EXPECT_TRUE(state.restartAtEnd);
    EXPECT_TRUE(state.createUninstaller);
    EXPECT_EQ(state.hideMakerLink, 3);
}

TEST_F(RecordsTest, OtherFlagBitsSetTheirFieldsOnly) {
    ProductRecord product;
    product.flagsA = productBackgroundCaption;
    product.flagsB = productDesktopChoice;
    applyProduct(product);
    EXPECT_FALSE(state.welcomeHeaderFill);
    EXPECT_TRUE(state.backgroundCaption);
    EXPECT_FALSE(state.groupChoice);
    EXPECT_TRUE(state.desktopChoice);
    EXPECT_FALSE(state.rebootRequired);
    EXPECT_FALSE(state.createUninstaller);
}

TEST_F(RecordsTest, EmptyFaceMeansTahomaOrMsSansSerifWhereTahomaIsMissing) {
    ProductRecord product;
    product.textFont = ",0";
    product.titleFont = "";
    applyProduct(product);
    EXPECT_STREQ(state.textFontFace, "Tahoma");
    EXPECT_STREQ(state.titleFontFace, "Tahoma");
    doubleReset();
    applyProduct(product);
    EXPECT_STREQ(state.textFontFace, "MS Sans Serif");
    EXPECT_STREQ(state.titleFontFace, "MS Sans Serif");
}

TEST_F(RecordsTest, FaceLongerThanThirtyOneCharactersCountsAsNotInstalled) {
    std::string longest(31, 'F'), tooLong(32, 'F');
    doubleInstallFont(longest.c_str());
    doubleInstallFont(tooLong.c_str());
    ProductRecord product;
    product.textFont = longest + ",0";
    product.titleFont = tooLong + ",0";
    applyProduct(product);
    EXPECT_EQ(std::string(state.textFontFace), longest);
    EXPECT_STREQ(state.titleFontFace, "MS Sans Serif");
}

TEST_F(RecordsTest, UnknownFaceFallsBackToMsSansSerif) {
    ProductRecord product;
    product.textFont = "Comic Sans MS,0xFF0000";
    applyProduct(product);
    EXPECT_STREQ(state.textFontFace, "MS Sans Serif");
    EXPECT_EQ(state.textColor, 0x000000FFu) << "the colour is read whatever the face";
}

TEST_F(RecordsTest, RegistryDefaultReplacesInstallPathKeepingItsSpelling) {
    apply(recordVariable, textPiece("%INSTALLPATH%") + textPiece("<ProgramFiles>\\Demo"));
    doubleSetRegistryString(2, "Software\\Demo", "Path", "D:\\Apps\\Demo");
    applyProduct(ProductRecord());
    ASSERT_EQ(listCount(&state.variableNames), 1);
    EXPECT_EQ(at(state.variableNames, 0), "%INSTALLPATH%");
    EXPECT_STREQ(lookupVariable("%InstallPath%"), "D:\\Apps\\Demo");
}

TEST_F(RecordsTest, RegistryDefaultRootNamesInAnyCaseAndLeadingBackslash) {
    doubleSetRegistryString(1, "Software\\Demo", "", "E:\\Demo");
    ProductRecord product;
    product.pathSource = "hkcu,\\Software\\Demo,";
    applyProduct(product);
    EXPECT_STREQ(lookupVariable("%INSTALLPATH%"), "E:\\Demo") << "added when the script did not define it";
}

TEST_F(RecordsTest, RegistryDefaultWithUnknownRootOrMissingValueKeepsTheScriptValue) {
    apply(recordVariable, textPiece("%INSTALLPATH%") + textPiece("C:\\Default"));
    doubleSetRegistryString(2, "Software\\Demo", "Path", "D:\\Other");
    ProductRecord unknownRoot;
    unknownRoot.pathSource = "HKEY_LOCAL_MACHINE,Software\\Demo,Path";
    applyProduct(unknownRoot);
    ProductRecord missingValue;
    missingValue.pathSource = "HKLM,Software\\Demo,Missing";
    applyProduct(missingValue);
    EXPECT_STREQ(lookupVariable("%INSTALLPATH%"), "C:\\Default");
    EXPECT_EQ(listCount(&state.variableNames), 1);
}

TEST_F(RecordsTest, FinishOffersAreExpandedAndFlagged) {
    ProductRecord product;
    product.finishProgram = "<ProgramFiles>\\Demo\\demo.exe";
    applyProduct(product);
    EXPECT_STREQ(state.finishProgram, "C:\\Program Files\\Demo\\demo.exe");
    EXPECT_TRUE(state.launchFinishProgram);
    EXPECT_STREQ(state.finishReadme, "");
    EXPECT_FALSE(state.openFinishReadme);
    product.finishProgram = "";
    product.finishReadme = "%INSTALLPATH%\\readme.txt";
    applyProduct(product);
    EXPECT_FALSE(state.launchFinishProgram);
    EXPECT_TRUE(state.openFinishReadme);
    EXPECT_STREQ(state.finishReadme, "%INSTALLPATH%\\readme.txt");
}

TEST_F(RecordsTest, ShortProductRecordKeepsWhatItDoesNotReach) {
    ProductRecord product;
    std::string full = product.payload();
    // Names and the text font only: cut inside the page colour.
    std::string cut = textPiece(product.name) + textPiece(product.title) + textPiece(product.textFont) + u16Piece(0);
    apply(recordProduct, cut);
    EXPECT_STREQ(state.setupCaption, "Demo 2.1 Setup");
    EXPECT_STREQ(state.textFontFace, "Verdana");
    EXPECT_EQ(state.pageColor, colorSystemButtonFace) << "the default stays";
    EXPECT_STREQ(state.titleFontFace, "MS Sans Serif");
    // Every other cut of the full record reads nothing past it (checked by the sanitizer).
    for (size_t length = 0; length < full.size(); ++length) apply(recordProduct, full.substr(0, length));
    EXPECT_EQ(state.hideMakerLink, 0);
}

// ---- type 10: shortcuts ----

TEST_F(RecordsTest, ShortcutTokensSetHasAndCreateFlags) {
    apply(recordShortcut, textPiece("<Programs>\\%SHORTCUTSGROUP%\\Demo.lnk,%INSTALLPATH%\\demo.exe"));
    EXPECT_TRUE(state.hasGroupShortcuts && state.createGroupShortcuts);
    EXPECT_FALSE(state.hasDesktopShortcuts || state.createDesktopShortcuts);
    EXPECT_FALSE(state.hasQuickLaunchShortcuts || state.createQuickLaunchShortcuts);
    apply(recordShortcut, textPiece("<commondesktop>\\Demo.lnk,x"));
    EXPECT_TRUE(state.hasDesktopShortcuts && state.createDesktopShortcuts);
    apply(recordShortcut, textPiece("<QuickLaunch>\\Demo.lnk,x"));
    EXPECT_TRUE(state.hasQuickLaunchShortcuts && state.createQuickLaunchShortcuts);
    ASSERT_EQ(listCount(&state.shortcuts), 3);
    EXPECT_EQ(at(state.shortcuts, 0), "<Programs>\\%SHORTCUTSGROUP%\\Demo.lnk,%INSTALLPATH%\\demo.exe")
        << "stored as written, expanded when the shortcut is made";
}

TEST_F(RecordsTest, DesktopTokenSetsOnlyTheDesktopFlags) {
    apply(recordShortcut, textPiece("<Desktop>\\Demo.lnk,x"));
    EXPECT_TRUE(state.hasDesktopShortcuts && state.createDesktopShortcuts);
    EXPECT_FALSE(state.hasGroupShortcuts || state.hasQuickLaunchShortcuts);
}

// ---- types 11, 12, 15, 17: expanded lists ----

TEST_F(RecordsTest, ListRecordsAreExpandedForTokensAndAppended) {
    apply(recordRegistry, textPiece("2,Software\\Demo,Path,1,%INSTALLPATH%"));
    apply(recordRegistry, textPiece("1,Software\\Demo,Desk,1,<Desktop>"));
    apply(recordIni, textPiece("<Windows>\\demo.ini,Section,Key,Value"));
    apply(recordAssociation, textPiece(".dmo,Demo.File,,Demo file,,<ProgramFiles>\\demo.exe \"%1\",,0"));
    apply(recordBackgroundText, textPiece("\"Welcome\",left,top,20,20,Comic Sans MS,35,0xF3F7F9"));
    ASSERT_EQ(listCount(&state.registryEntries), 2);
    EXPECT_EQ(at(state.registryEntries, 0), "2,Software\\Demo,Path,1,%INSTALLPATH%");
    EXPECT_EQ(at(state.registryEntries, 1), "1,Software\\Demo,Desk,1,C:\\Users\\me\\Desktop");
    EXPECT_EQ(at(state.iniEntries, 0), "C:\\Token25\\demo.ini,Section,Key,Value");
    EXPECT_EQ(at(state.fileAssociations, 0), ".dmo,Demo.File,,Demo file,,C:\\Program Files\\demo.exe \"%1\",,0");
    EXPECT_EQ(at(state.backgroundTexts, 0), "\"Welcome\",left,top,20,20,Comic Sans MS,35,0xF3F7F9");
}

// ---- types 13 and 14: launches and DLL calls ----

TEST_F(RecordsTest, LaunchWithPageTwelveKeepsVariableForRunTime) {
    apply(recordLaunch, textPiece("open,<Programs>\\%SHORTCUTSGROUP%,,12"));
    ASSERT_EQ(listCount(&state.pages[11].launchesAfter), 1);
    EXPECT_EQ(at(state.pages[11].launchesAfter, 0), "open,C:\\Start\\Programs\\%SHORTCUTSGROUP%,,,,");
    splitFields(listAt(&state.pages[11].launchesAfter, 0), false);
    EXPECT_STREQ(field(1), "C:\\Start\\Programs\\%SHORTCUTSGROUP%");
}

TEST_F(RecordsTest, LaunchPageCodesChooseTheList) {
    apply(recordLaunch, textPiece("a.exe,-x,C:\\w"));            // no page: after installing
    apply(recordLaunch, textPiece("b.exe,,,0,0,0,2"));           // before the wizard
    apply(recordLaunch, textPiece("c.exe,,,-1"));                // at removal
    apply(recordLaunch, textPiece("d.exe,,,1"));                 // after the language page
    apply(recordLaunch, textPiece("e.exe,,,13"));                // dropped
    apply(recordLaunch, textPiece("f.exe,,,-2"));                // dropped
    EXPECT_EQ(at(state.pages[10].launchesAfter, 0), "a.exe,-x,C:\\w,,,");
    EXPECT_EQ(at(state.startLaunches, 0), "b.exe,,,0,0,2") << "the page code is not stored";
    EXPECT_EQ(at(state.uninstallLaunches, 0), "c.exe,,,,,");
    EXPECT_EQ(at(state.pages[0].launchesAfter, 0), "d.exe,,,,,");
    int total = listCount(&state.startLaunches) + listCount(&state.uninstallLaunches);
    for (const PageRecord& page : state.pages) total += listCount(&page.launchesAfter);
    EXPECT_EQ(total, 4);
}

TEST_F(RecordsTest, DllCallsKeepFiveFieldsAndFollowTheirPageCode) {
    apply(recordDllCall, textPiece("<System>\\x.dll,Register,one,two,0,0"));
    apply(recordDllCall, textPiece("y.dll,Unregister,,,-1"));
    apply(recordDllCall, textPiece("z.dll,Go"));
    apply(recordDllCall, textPiece("w.dll,Go,,,99"));
    EXPECT_EQ(at(state.startDllCalls, 0), "C:\\Token22\\x.dll,Register,one,two,0");
    EXPECT_EQ(at(state.uninstallDllCalls, 0), "y.dll,Unregister,,,");
    EXPECT_EQ(at(state.pages[10].dllCallsAfter, 0), "z.dll,Go,,,");
    int total = listCount(&state.startDllCalls) + listCount(&state.uninstallDllCalls);
    for (const PageRecord& page : state.pages) total += listCount(&page.dllCallsAfter);
    EXPECT_EQ(total, 3);
    EXPECT_EQ(listCount(&state.startLaunches), 0) << "DLL calls never land in the launch lists";
}

// ---- type 16: requirements ----

TEST_F(RecordsTest, RequirementsAreCopiedAsWritten) {
    apply(recordRequirements, textPiece("nt4") + textPiece("9.0") + textPiece("") + textPiece("2000SR1") + u8Piece(1));
    EXPECT_STREQ(state.requiredOs, "nt4");
    EXPECT_STREQ(state.requiredDirectX, "9.0");
    EXPECT_STREQ(state.requiredIe, "");
    EXPECT_STREQ(state.requiredAccess, "2000SR1");
    EXPECT_EQ(state.requireAdmin, 1);
}

TEST_F(RecordsTest, ShortRequirementsRecordSetsOnlyWhatItHolds) {
    apply(recordRequirements, textPiece("XP") + textPiece("8.1"));
    EXPECT_STREQ(state.requiredOs, "XP");
    EXPECT_STREQ(state.requiredDirectX, "8.1");
    EXPECT_EQ(state.requiredIe, nullptr);
    EXPECT_EQ(state.requireAdmin, 0);
}

// ---- unknown types and whole scripts ----

TEST_F(RecordsTest, UnknownTypesChangeNothing) {
    const std::string payload = textPiece("%X%") + textPiece("y") + std::string(40, '\x7F');
    for (uint32_t type : {0u, 18u, 0x100u + recordVariable, 0x7FFFFFFFu}) apply(type, payload);
    EXPECT_EQ(listCount(&state.variableNames), 0);
    EXPECT_EQ(state.productName, nullptr);
    EXPECT_EQ(state.accentColor, 0x00C88C00u);
    EXPECT_EQ(state.languageId, 9);
}

TEST_F(RecordsTest, EveryTypeWithAnEmptyPayloadIsHarmless) {
    for (uint32_t type = 0; type <= lastRecordType + 1; ++type) apply(type, "");
    EXPECT_EQ(state.productName, nullptr);
    EXPECT_EQ(state.languageId, 9);
    EXPECT_FALSE(state.showBackground);
    EXPECT_EQ(listCount(&state.registryEntries), 0);
}

TEST_F(RecordsTest, ScriptInBuilderOrderThroughTheWalk) {
    doubleSetUserLanguage(0x0407);
    ProductRecord product;
    product.flagsB = productCompactDialogs | productGroupChoice;
    std::vector<BYTE> script = frameScript({
        {recordVariable, textPiece("%INSTALLPATH%") + textPiece("<ProgramFiles>\\Demo")},
        {recordVariable, textPiece("%SHORTCUTSGROUP%") + textPiece("Demo")},
        {recordProduct, product.payload()},
        {recordPages, std::string(12, '\1')},
        {recordLanguages, u8Piece(1) + u16Piece(9) + u16Piece(7)},
        {recordText, u16Piece(7) + u8Piece(tableButtons) + u8Piece(1) + textPiece("&Weiter >")},
        {recordShortcut, textPiece("<Programs>\\%SHORTCUTSGROUP%\\Demo.lnk,%INSTALLPATH%\\demo.exe")},
        {recordRegistry, textPiece("2,Software\\Demo,Path,1,%INSTALLPATH%")},
        {recordLaunch, textPiece("%INSTALLPATH%\\demo.exe,,,12,0,1,0")},
    });
    EXPECT_EQ(walkScript(script.data(), static_cast<DWORD>(script.size()), applyRecord), 9u);
    EXPECT_EQ(state.pages[0].dialogId, 149);
    EXPECT_EQ(state.languageId, 7);
    EXPECT_EQ(at(state.buttonTexts[7], 1), "&Weiter >");
    EXPECT_TRUE(state.hasGroupShortcuts);
    EXPECT_EQ(at(state.pages[11].launchesAfter, 0), "%INSTALLPATH%\\demo.exe,,,0,1,0");
    EXPECT_STREQ(lookupVariable("%InstallPath%"), "C:\\Program Files\\Demo");
}

TEST(RegistryRootNames, ShortNamesInAnyCaseOthersUnknown) {
    const char* names[] = {"HKCR", "hkcu", "HkLm", "HKU", "hkpd", "HKCC", "hkdd"};
    for (int root = 0; root < registryRootCount; ++root) {
        EXPECT_EQ(rootNumberFromName(names[root]), root) << names[root];
        EXPECT_EQ(rootNumberFromName(rootNumberName(root)), root);
    }
    for (const char* other : {"", "HK", "HKLM ", "HKEY_LOCAL_MACHINE", "HKCUX"}) EXPECT_EQ(rootNumberFromName(other), -1) << other;
    EXPECT_EQ(rootNumberFromName(nullptr), -1);
    EXPECT_EQ(rootNumberName(7), nullptr);
    EXPECT_EQ(rootNumberName(-1), nullptr);
}

}  // namespace

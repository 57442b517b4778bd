// Registry services on Wine's registry: root names, values of every stored type, key chains and
// the lines they record, key and value deletion, and file associations read back.
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <string>
#include <vector>

#include "install/install_log.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/registry.h"
#include "system/registry_entries.h"
#include "system/registry_log.h"

namespace {

const char testKey[] = "Software\\VelkorinTest";

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        deleteRegistryKey(HKEY_CURRENT_USER, testKey, true);
        ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, testKey, "", REG_SZ, "", 1), 0u);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        logPath = std::string(temp) + "velkorin-registry-test.log";
        state.logFile = CreateFileA(logPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(state.logFile, INVALID_HANDLE_VALUE);
        forgetLines();
    }
    void TearDown() override {
        deleteRegistryKey(HKEY_CURRENT_USER, testKey, true);
        closeLogFile(state.logFile);
        DeleteFileA(logPath.c_str());
        closeFreshState();
    }
    // Starts a fresh log: nothing recorded, nothing written.
    static void forgetLines() {
        listClear(&state.logLines);
        flushLogFile(state.logFile);
        SetFilePointer(state.logFile, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(state.logFile);
    }
    // The recorded lines, each followed by whether it reached the temporary log: "e,1,Software\A=1".
    static std::vector<std::string> lines() {
        char written[4096] = {};
        DWORD read = 0;
        flushLogFile(state.logFile);
        SetFilePointer(state.logFile, 0, nullptr, FILE_BEGIN);
        ReadFile(state.logFile, written, sizeof(written) - 1, &read, nullptr);
        std::string file(written, read);
        std::vector<std::string> all;
        for (int i = 0; i < listCount(&state.logLines); ++i) {
            std::string line = listAt(&state.logLines, i);
            bool inFile = ("\n" + file).find("\n" + line) != std::string::npos;
            line.pop_back();  // the line feed
            all.push_back(line + (inFile ? "=1" : "=0"));
        }
        SetFilePointer(state.logFile, 0, nullptr, FILE_END);
        return all;
    }
    std::string logPath;
    static std::string under(const char* name) { return std::string(testKey) + "\\" + name; }
    static bool keyExists(HKEY root, const std::string& key) {
        HKEY opened;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
        RegCloseKey(opened);
        return true;
    }
    // The value's type and bytes as stored, read with the system's own query.
    static std::string stored(HKEY root, const std::string& key, const char* name, DWORD* type = nullptr) {
        HKEY opened;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return "<no key>";
        BYTE data[512];
        DWORD size = sizeof(data), found = 0;
        LONG error = RegQueryValueExA(opened, name, nullptr, &found, data, &size);
        RegCloseKey(opened);
        if (type) *type = found;
        return error == ERROR_SUCCESS ? std::string(reinterpret_cast<char*>(data), size) : "<no value>";
    }
    static int apply(const char* text, RegistryRecord* record = nullptr) {
        RegistryRecord local;
        int outcome = applyRegistryRecord(text, record ? record : &local);
        if (!record) freeRegistryRecord(&local);
        return outcome;
    }
};

TEST_F(Registry, RootsByNumberAndName) {
    const char* names[] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKCC", "HKDD"};
    const HKEY keys[] = {HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE, HKEY_USERS,
                         HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
    for (int n = 0; n < 7; ++n) {
        EXPECT_EQ(rootKeyFromNumber(n), keys[n]) << n;
        EXPECT_EQ(rootKeyFromName(names[n]), keys[n]) << names[n];
        EXPECT_STREQ(rootKeyName(keys[n]), names[n]);
    }
    EXPECT_EQ(rootKeyFromName("hklm"), HKEY_LOCAL_MACHINE) << "names in any case";
    EXPECT_EQ(rootKeyFromName("HKEY_LOCAL_MACHINE"), nullptr);
    EXPECT_EQ(rootKeyFromNumber(7), nullptr);
    EXPECT_EQ(rootKeyFromNumber(-1), nullptr);
    EXPECT_STREQ(rootKeyName(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000007))), "");
}

TEST_F(Registry, KeyChainRecordsOnlyTheLevelsItCreated) {
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, under("A").c_str(), "", REG_SZ, "", 1), 0u);
    HKEY opened;
    ASSERT_EQ(createRegistryKeyChain(HKEY_CURRENT_USER, under("A\\B").c_str(), KEY_SET_VALUE, &opened), 0u);
    EXPECT_EQ(RegSetValueExA(opened, "Probe", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS)
        << "the last key is returned open with the access asked for";
    RegCloseKey(opened);
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,1,Software\\VelkorinTest\\A\\B=1"}));
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("A\\B"), "Probe"), std::string("1\0", 2));
}

TEST_F(Registry, KeyChainRecordsTwoNewLevelsAndAnOldLastLevelUnwritten) {
    HKEY opened;
    ASSERT_EQ(createRegistryKeyChain(HKEY_CURRENT_USER, ("\\" + under("N\\M\\")).c_str(), KEY_QUERY_VALUE, &opened),
              0u);
    RegCloseKey(opened);
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,1,Software\\VelkorinTest\\N=1",
                                                 "e,1,Software\\VelkorinTest\\N\\M=1"}));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("N\\M")));
    forgetLines();
    ASSERT_EQ(createRegistryKeyChain(HKEY_CURRENT_USER, under("N\\M").c_str(), KEY_QUERY_VALUE, &opened), 0u);
    RegCloseKey(opened);
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,1,Software\\VelkorinTest\\N\\M=0"}))
        << "an existing last level is kept in the list but not written";
}

TEST_F(Registry, KeyChainUnderAnUnknownRootFailsAndRecordsNothing) {
    HKEY opened = HKEY_CURRENT_USER;
    HKEY unknown = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000007));
    EXPECT_NE(createRegistryKeyChain(unknown, "Software\\X", KEY_QUERY_VALUE, &opened), 0u);
    EXPECT_EQ(opened, nullptr);
    EXPECT_TRUE(lines().empty());
}

TEST_F(Registry, RecordsStoreEveryTypeAsTheSystemReadsItBack) {
    DWORD type = 0;
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,Multi,7,x|y"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "Multi", &type), std::string("x\0y\0\0", 5));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,Bin,3,0aFF"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "Bin", &type), std::string("\x0A\xFF", 2));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,Odd,3,ABC"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "Odd"), std::string("\xAB\xC0", 2));
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,Count,4,0x1234"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "Count", &type), std::string("\x34\x12\0\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,Path,2,%SystemRoot%\\x"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "Path", &type), std::string("%SystemRoot%\\x\0", 15));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    ASSERT_EQ(apply("1,Software\\VelkorinTest\\Values,,,rundll32 a.dll,Entry"), registryRecordWritten);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Values"), "", &type), std::string("rundll32 a.dll,Entry\0", 21));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(Registry, OtherTypesWriteNothing) {
    EXPECT_EQ(apply("1,Software\\VelkorinTest\\Skipped,V,5,1"), registryRecordSkipped);
    EXPECT_EQ(apply("1,Software\\VelkorinTest\\Skipped,V,6,1"), registryRecordSkipped);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, under("Skipped")));
    EXPECT_TRUE(lines().empty());
}

TEST_F(Registry, RecordLogsItsKeyAndWritesTheValueLineOnlyWhenNew) {
    setVariable("%PRODUCT%", "Demo");
    RegistryRecord record;
    ASSERT_EQ(apply("0x1,Software\\VelkorinTest\\%PRODUCT%,Name,,%PRODUCT% 1.0", &record), registryRecordWritten);
    EXPECT_FALSE(record.valueExisted);
    freeRegistryRecord(&record);
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Demo"), "Name"), std::string("Demo 1.0\0", 9));
    ASSERT_EQ(apply("0x1,Software\\VelkorinTest\\%PRODUCT%,Name,,again", &record), registryRecordWritten);
    EXPECT_TRUE(record.valueExisted);
    freeRegistryRecord(&record);
    // The second run of the same record adds no line: every log line occurs once.
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,1,Software\\VelkorinTest\\Demo=1",
                                                 "c,0x1,Software\\VelkorinTest\\Demo,Name=1"}));
}

TEST_F(Registry, RecordUnderAnUnknownRootReportsTheKeyFailure) {
    RegistryRecord record;
    EXPECT_EQ(apply("7,Software\\VelkorinTest\\X,V,1,a", &record), registryKeyFailed);
    EXPECT_NE(record.error, 0u);
    EXPECT_STREQ(record.key, "Software\\VelkorinTest\\X") << "kept for the question";
    freeRegistryRecord(&record);
    EXPECT_TRUE(lines().empty());
}

TEST_F(Registry, ValuesReadBackAndReadStringWantsAString) {
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, ("\\" + under("R")).c_str(), "Text", REG_SZ, "abc", 4), 0u);
    DWORD number = 5;
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, under("R").c_str(), "Number", REG_DWORD, &number, 4), 0u);
    DWORD type = 0, size = 0;
    BYTE* data = readRegistryValue(HKEY_CURRENT_USER, under("R").c_str(), "Number", &type, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(data), 5u);
    heapFree(data);
    EXPECT_EQ(readRegistryValue(HKEY_CURRENT_USER, under("R").c_str(), "Missing", &type), nullptr);
    EXPECT_EQ(readRegistryValue(HKEY_CURRENT_USER, under("Nowhere").c_str(), "Text", &type), nullptr);
    char* text = readRegistryString("hkcu", under("R").c_str(), "Text");
    EXPECT_STREQ(text, "abc");
    heapFree(text);
    EXPECT_EQ(readRegistryString("HKCU", under("R").c_str(), "Number"), nullptr);
    EXPECT_EQ(readRegistryString("HKXX", under("R").c_str(), "Text"), nullptr);
}

TEST_F(Registry, DeletingAValueRemovesTheKeyOnlyWhenAskedAndEmpty) {
    writeRegistryValue(HKEY_CURRENT_USER, under("One").c_str(), "V", REG_SZ, "1", 2);
    writeRegistryValue(HKEY_CURRENT_USER, under("Two").c_str(), "V", REG_SZ, "1", 2);
    writeRegistryValue(HKEY_CURRENT_USER, under("Two").c_str(), "W", REG_SZ, "1", 2);
    writeRegistryValue(HKEY_CURRENT_USER, under("Kept").c_str(), "V", REG_SZ, "1", 2);
    EXPECT_EQ(deleteRegistryValue(HKEY_CURRENT_USER, under("One").c_str(), "V", true), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, under("One")));
    EXPECT_EQ(deleteRegistryValue(HKEY_CURRENT_USER, under("Two").c_str(), "V", true), 0u);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Two"))) << "W is still there";
    EXPECT_EQ(stored(HKEY_CURRENT_USER, under("Two"), "V"), "<no value>");
    EXPECT_EQ(deleteRegistryValue(HKEY_CURRENT_USER, under("Kept").c_str(), "V", false), 0u);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Kept")));
    EXPECT_EQ(deleteRegistryValue(HKEY_CURRENT_USER, under("Kept").c_str(), "V", false),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, DeletingAKeyWithAndWithoutItsSubkeys) {
    HKEY opened;
    ASSERT_EQ(createRegistryKeyChain(HKEY_CURRENT_USER, under("Empty").c_str(), KEY_QUERY_VALUE, &opened), 0u);
    RegCloseKey(opened);
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, ("\\\\" + under("Empty")).c_str(), false), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, under("Empty")));

    writeRegistryValue(HKEY_CURRENT_USER, under("Tree\\Inner\\Deepest").c_str(), "V", REG_SZ, "1", 2);
    writeRegistryValue(HKEY_CURRENT_USER, under("Tree\\Second").c_str(), "V", REG_SZ, "1", 2);
    writeRegistryValue(HKEY_CURRENT_USER, under("Valued").c_str(), "V", REG_SZ, "1", 2);
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, under("Tree").c_str(), false), 0u)
        << "a key that is not empty is kept without error";
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Tree\\Inner\\Deepest")));
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, under("Valued").c_str(), false), 0u);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Valued"))) << "values alone keep a key too";
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, under("Tree").c_str(), true), 0u);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, under("Tree")));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Valued")));
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, under("Tree").c_str(), true),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, DeletingTheRootItselfIsRefused) {
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, "\\", true), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, "", true), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, testKey));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(Registry, AKeyPathEndingInABackslashIsNeverDeletedNorLogged) {
    // Such a path names the key above the one meant: deleting it takes every sibling along.
    ASSERT_EQ(writeRegistryValue(HKEY_CURRENT_USER, under("Sibling").c_str(), "V", REG_SZ, "1", 2), 0u);
    EXPECT_EQ(deleteRegistryKey(HKEY_CURRENT_USER, (std::string(testKey) + "\\").c_str(), true),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, under("Sibling")));
    recordRegistryKey(2, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", true, true);
    recordRegistryKey(2, "", true, true);
    EXPECT_TRUE(lines().empty());
}

class Association : public Registry {
protected:
    void TearDown() override {
        for (const char* key : {".vkrtest", "Velkorin.TestFile", ".vkrbad"})
            deleteRegistryKey(HKEY_CLASSES_ROOT, key, true);
        Registry::TearDown();
    }
};

TEST_F(Association, EveryKeyAndValueReadsBack) {
    const char* fields[] = {".vkrtest",         "Velkorin.TestFile", "text/x-velkorin",       "Velkorin test file",
                            "Made by %USERNAME%", "\"C:\\App\\app.exe\" \"%1\"", "C:\\App\\app.exe"};
    ASSERT_TRUE(createAssociation(fields, 3));
    DWORD type = 0;
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, ".vkrtest", ""), std::string("Velkorin.TestFile\0", 18));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, ".vkrtest", "Content Type"), std::string("text/x-velkorin\0", 16));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Velkorin.TestFile", ""), std::string("Velkorin test file\0", 19));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Velkorin.TestFile", "InfoTip", &type),
              std::string("Made by %USERNAME%\0", 19));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Velkorin.TestFile\\shell\\open\\command", ""),
              std::string("\"C:\\App\\app.exe\" \"%1\"\0", 22));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Velkorin.TestFile\\DefaultIcon", "", &type),
              std::string("C:\\App\\app.exe,3\0", 17));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,0,.vkrtest,1=1", "e,0,Velkorin.TestFile,1=1"}));
}

TEST_F(Association, EmptyOptionalFieldsLeaveTheProgIdKeyAlone) {
    setVariable("%EXT%", ".vkrtest");
    ASSERT_TRUE(applyAssociationRecord("%EXT%,Velkorin.TestFile,,,,,,"));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, ".vkrtest", ""), std::string("Velkorin.TestFile\0", 18));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, ".vkrtest", "Content Type"), std::string("\0", 1))
        << "the content type is written even when empty";
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Velkorin.TestFile"));
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,0,.vkrtest,1=1", "e,0,Velkorin.TestFile,1=1"}));
}

TEST_F(Association, RecordTextGivesANegativeIconIndex) {
    ASSERT_TRUE(applyAssociationRecord(".vkrtest,Velkorin.TestFile,,,,,C:\\icons.dll,-2"));
    EXPECT_EQ(stored(HKEY_CLASSES_ROOT, "Velkorin.TestFile\\DefaultIcon", ""), std::string("C:\\icons.dll,-2\0", 16));
}

TEST_F(Association, AFailedIconWriteKeepsTheExtensionLine) {
    // A key name longer than the system allows: the extension's value holds it, but the key
    // under it cannot be created.
    std::string progId(300, 'P');
    const char* fields[] = {".vkrbad", progId.c_str(), "", "", "", "", "C:\\app.exe"};
    EXPECT_FALSE(createAssociation(fields, 0));
    EXPECT_EQ(lines(), (std::vector<std::string>{"e,0,.vkrbad,1=1"}));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, ".vkrbad"));
}

TEST_F(Association, KeysThatWereThereAreNotLoggedForRemovalWithTheirSubkeys) {
    // A system association: the extension with a subkey of its own, and its ProgID.
    ASSERT_EQ(writeRegistryValue(HKEY_CLASSES_ROOT, ".vkrtest\\ShellNew", "NullFile", REG_SZ, "", 1), 0u);
    ASSERT_EQ(writeRegistryValue(HKEY_CLASSES_ROOT, "Velkorin.TestFile", "", REG_SZ, "System", 7), 0u);
    const char* fields[] = {".vkrtest", "Velkorin.TestFile", "", "Ours", "", "app.exe \"%1\"", ""};
    ASSERT_TRUE(createAssociation(fields, 0));
    for (const std::string& line : lines()) {
        EXPECT_NE(line.substr(0, 13), "e,0,.vkrtest,") << line;
        EXPECT_EQ(line.find(",1="), std::string::npos) << "no whole tree: " << line;
    }
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "e,0,.vkrtest=0", "c,0,.vkrtest,=1", "c,0,.vkrtest,Content Type=1",
                           "e,0,Velkorin.TestFile=0", "c,0,Velkorin.TestFile,=0",
                           "e,0,Velkorin.TestFile\\shell=1", "e,0,Velkorin.TestFile\\shell\\open=1",
                           "e,0,Velkorin.TestFile\\shell\\open\\command=1",
                           "c,0,Velkorin.TestFile\\shell\\open\\command,=1"}));
}

TEST_F(Association, AnEmptyExtensionOrProgIdIsRefused) {
    const char* noProgId[] = {".vkrtest", "", "", "Description", "", "", ""};
    EXPECT_FALSE(createAssociation(noProgId, 0));
    const char* noExtension[] = {"", "Velkorin.TestFile", "", "", "", "", ""};
    EXPECT_FALSE(createAssociation(noExtension, 0));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, ".vkrtest"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Velkorin.TestFile"));
    EXPECT_TRUE(lines().empty());
}

}  // namespace

// Paths in a double-byte code page (932, Shift-JIS): characters whose second byte is 0x5C, the
// backslash (表 = 95 5C, ソ = 83 5C), or 0x7C, the bar (ポ = 83 7C), are one character, never a
// separator or a refused character. Under a single-byte code page the same bytes are two
// characters, as the system sees them there.
#include <gtest/gtest.h>

#include <string>

#include "install/directory_chain.h"
#include "support/heap.h"
#include "system/paths.h"
#include "system/registry_data.h"

namespace {

const std::string hyo = "\x95\x5C";    // 表
const std::string so = "\x83\x5C";     // ソ
const std::string po = "\x83\x7C";     // ポ
const std::string soft = so + "\x83\x74\x83\x67";  // ソフト

// The stand-in's code page for one test; single-byte again afterwards.
struct CodePage {
    explicit CodePage(UINT page) { standinSetCodePage(page); }
    ~CodePage() { standinSetCodePage(1252); }
};

struct Heap {
    Heap() { EXPECT_TRUE(heapCreate()); }
    ~Heap() { heapDestroy(); }
};

std::string take(char* text) {
    std::string copy = text ? text : "(null)";
    heapFree(text);
    return copy;
}

std::string stripped(std::string path) {
    stripTrailingSlash(&path[0]);
    return path.c_str();
}

TEST(DoubleBytePaths, CharacterStepsOfTheStandIn) {
    CodePage japanese(932);
    std::string text = "a" + hyo + "b";
    const char* c = text.c_str();
    EXPECT_EQ(CharNextA(c), c + 1);
    EXPECT_EQ(CharNextA(c + 1), c + 3) << "a lead byte and its second byte are one character";
    EXPECT_EQ(CharPrevA(c, c + 3), c + 1);
    EXPECT_EQ(CharPrevA(c, c + 4), c + 3);
    EXPECT_EQ(CharPrevA(c, c), c);
    std::string dangling = "a\x95";
    EXPECT_EQ(CharNextA(dangling.c_str() + 1), dangling.c_str() + 2) << "a lead byte before the end stands alone";
    CodePage cyrillic(1251);
    EXPECT_EQ(CharNextA(c + 1), c + 2);
}

TEST(DoubleBytePaths, LastCharactersAreWholeCharacters) {
    CodePage japanese(932);
    std::string path = "C:\\" + hyo;
    EXPECT_EQ(lastCharacter(path.c_str()), path.c_str() + 3);
    EXPECT_EQ(lastCharacter(""), nullptr);
    std::string bars = po + "|" + po;
    EXPECT_EQ(lastOf(bars.c_str(), '|'), bars.c_str() + 2) << "the bar of its own, not the second bytes";
    EXPECT_EQ(lastOf(po.c_str(), '|'), nullptr);
    EXPECT_EQ(lastOf(so.c_str(), '\\'), nullptr);
    CodePage western(1252);
    EXPECT_EQ(lastCharacter(path.c_str()), path.c_str() + 4);
    EXPECT_EQ(lastOf(bars.c_str(), '|'), bars.c_str() + 4);
}

TEST(DoubleBytePaths, TrailingSeparatorsAreWholeCharacters) {
    CodePage japanese(932);
    EXPECT_EQ(stripped("C:\\" + hyo), "C:\\" + hyo);
    EXPECT_EQ(stripped("C:\\" + so), "C:\\" + so);
    EXPECT_EQ(stripped("C:\\" + hyo + "\\"), "C:\\" + hyo);
    EXPECT_EQ(stripped("C:\\" + so + "/"), "C:\\" + so);
    EXPECT_EQ(stripped(""), "");
}

TEST(DoubleBytePaths, JoiningAndSplitting) {
    CodePage japanese(932);
    Heap heap;
    EXPECT_EQ(take(joinPath(("C:\\" + hyo).c_str(), "app.exe")), "C:\\" + hyo + "\\app.exe");
    EXPECT_EQ(take(joinPath(("C:\\" + so + "\\").c_str(), ("\\" + hyo).c_str())), "C:\\" + so + "\\" + hyo);
    EXPECT_EQ(fileNamePart(("C:\\Dir\\" + so).c_str()), so);
    EXPECT_EQ(fileNamePart(("C:\\" + soft + "\\" + hyo + ".txt").c_str()), hyo + ".txt");
    EXPECT_EQ(fileNamePart(hyo.c_str()), hyo) << "no separator: the whole text";
    EXPECT_EQ(take(parentPath(("C:\\" + soft + "\\" + hyo).c_str())), "C:\\" + soft);
    EXPECT_EQ(take(parentPath(("C:\\Dir\\" + so).c_str())), "C:\\Dir");
    EXPECT_EQ(take(parentPath(so.c_str())), so);
    EXPECT_EQ(take(baseNameWithoutExtension(("C:\\" + hyo + "\\" + so + ".exe").c_str())), so);
    EXPECT_EQ(lastBackslash(hyo.c_str()), nullptr);
}

TEST(DoubleBytePaths, TypedFoldersAreValid) {
    CodePage japanese(932);
    for (const std::string& good :
         {"C:\\" + hyo, "C:\\Program Files\\" + hyo + "\\" + so, "C:\\" + so + "\\" + po, "C:\\" + soft,
          "\\\\server\\" + hyo, "\\\\" + so + "\\share\\" + hyo})
        EXPECT_TRUE(isValidPath(good.c_str())) << good;
    for (const std::string& bad : {"C:\\" + hyo + "\\\\x", "C:\\" + so + "|", "C:" + hyo, "\\\\" + so, hyo})
        EXPECT_FALSE(isValidPath(bad.c_str())) << bad;
}

TEST(DoubleBytePaths, FolderLevelsStartAfterTheRoot) {
    CodePage japanese(932);
    EXPECT_EQ(pathLevelsStart(("C:\\" + hyo + "\\x").c_str()), 3u);
    std::string share = "\\\\" + so + "\\" + hyo + "\\dir";
    EXPECT_EQ(share.substr(pathLevelsStart(share.c_str())), "dir") << "server and share are whole names";
    std::string server = "\\\\" + hyo + "\\s";
    EXPECT_EQ(pathLevelsStart(server.c_str()), server.size());
}

TEST(DoubleBytePaths, RegistryKeysEndingInASecondByte) {
    CodePage japanese(932);
    Heap heap;
    std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + soft + hyo;
    EXPECT_TRUE(isUsableKeyPath(key.c_str()));
    EXPECT_EQ(take(registryKeyPath(("\\" + key).c_str())), key);
    EXPECT_EQ(take(registryKeyPath((key + "\\").c_str())), key);
    EXPECT_FALSE(isUsableKeyPath(("Software\\" + so + "\\").c_str()));
}

// A multi-string value's strings are cut at bars that are characters of their own.
TEST(DoubleBytePaths, MultiStringValuesKeepSecondBytesThatAreBars) {
    CodePage japanese(932);
    Heap heap;
    std::string text = po + "|" + hyo + "|x";
    DWORD size = 0;
    BYTE* data = encodeRegistryData(valueTypeMultiString, text.c_str(), &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), po + '\0' + hyo + '\0' + "x" + '\0' + '\0');
    heapFree(data);
}

// Where the ANSI code page has no lead bytes (1250, 1251, 1252), 0x5C after a high byte is a
// separator as always.
TEST(DoubleBytePaths, SingleByteCodePagesSplitAtEveryBackslash) {
    for (UINT page : {1250u, 1251u, 1252u}) {
        CodePage single(page);
        Heap heap;
        EXPECT_EQ(stripped("C:\\\xCF\xE0\xEF\xEA\xE0\\"), "C:\\\xCF\xE0\xEF\xEA\xE0") << page;
        EXPECT_EQ(stripped("C:\\" + hyo), "C:\\\x95") << page;
        EXPECT_EQ(fileNamePart(("C:\\" + so + "x").c_str()), std::string("x")) << page;
        EXPECT_FALSE(isValidPath(("C:\\" + hyo + "\\x").c_str())) << page << ": a doubled backslash";
        EXPECT_FALSE(isValidPath(("C:\\" + po).c_str())) << page << ": a bar";
        // The server is the lead byte alone, the share is empty: the levels start at "s".
        EXPECT_EQ(pathLevelsStart(("\\\\" + so + "\\s\\x").c_str()), 5u) << page;
    }
}

}  // namespace

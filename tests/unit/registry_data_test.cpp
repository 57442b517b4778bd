// Registry record texts and the value data they encode, on the host.
#include "system/registry_data.h"

#include "script/variables.h"
#include "script_test_support.h"

namespace {

class RegistryData : public ScriptStateTest {
protected:
    // The encoded bytes of text for a type, as a string of bytes.
    static std::string encoded(DWORD type, const char* text) {
        DWORD size = 99;
        BYTE* data = encodeRegistryData(type, text, &size);
        EXPECT_NE(data, nullptr);
        std::string bytes(reinterpret_cast<const char*>(data), size);
        heapFree(data);
        return bytes;
    }
    static std::string key(const char* text) {
        char* path = registryKeyPath(text);
        std::string result = path ? path : "<null>";
        heapFree(path);
        return result;
    }
};

TEST_F(RegistryData, BinaryReadsHexPairsUpToTheFirstOtherCharacter) {
    EXPECT_EQ(encoded(valueTypeBinary, "0aFF"), std::string("\x0A\xFF", 2));
    EXPECT_EQ(encoded(valueTypeBinary, "ABC"), std::string("\xAB\xC0", 2)) << "a dangling digit is a high nibble";
    EXPECT_EQ(encoded(valueTypeBinary, "00ff10"), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(encoded(valueTypeBinary, "12 34"), std::string("\x12", 1)) << "the blank ends the data";
    EXPECT_EQ(encoded(valueTypeBinary, "1g34"), std::string("\x10", 1)) << "a bad second digit ends the data";
    EXPECT_EQ(encoded(valueTypeBinary, "x12"), "");
    EXPECT_EQ(encoded(valueTypeBinary, ""), "");
}

TEST_F(RegistryData, MultiStringEndsEachStringAndTheList) {
    EXPECT_EQ(encoded(valueTypeMultiString, "x|y"), std::string("x\0y\0\0", 5));
    EXPECT_EQ(encoded(valueTypeMultiString, "one"), std::string("one\0\0", 5));
    EXPECT_EQ(encoded(valueTypeMultiString, "a||b|"), std::string("a\0\0b\0\0\0", 7));
    EXPECT_EQ(encoded(valueTypeMultiString, ""), std::string("\0\0", 2));
}

TEST_F(RegistryData, StringsKeepTheirZeroAndNumbersTakeFourBytes) {
    EXPECT_EQ(encoded(valueTypeString, "abc"), std::string("abc\0", 4));
    EXPECT_EQ(encoded(valueTypeExpandString, "%PATH%"), std::string("%PATH%\0", 7));
    EXPECT_EQ(encoded(valueTypeString, ""), std::string("\0", 1));
    EXPECT_EQ(encoded(valueTypeNumber, "0x1234"), std::string("\x34\x12\0\0", 4));
    EXPECT_EQ(encoded(valueTypeNumber, "-1"), std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(encoded(valueTypeNumber, "010"), std::string("\x08\0\0\0", 4)) << "octal after a zero";
}

TEST_F(RegistryData, OnlyFiveTypesAreStored) {
    for (DWORD type : {1u, 2u, 3u, 4u, 7u}) EXPECT_TRUE(isStoredValueType(type)) << type;
    for (DWORD type : {0u, 5u, 6u, 8u, 11u, 0xFFFFFFFFu}) EXPECT_FALSE(isStoredValueType(type)) << type;
}

TEST_F(RegistryData, KeyPathLosesOneLeadingBackslashAndOneTrailingSeparator) {
    EXPECT_EQ(key("\\Software\\A\\"), "Software\\A");
    EXPECT_EQ(key("Software\\A/"), "Software\\A");
    EXPECT_EQ(key("\\\\Software"), "\\Software");
    EXPECT_EQ(key("\\"), "");
    EXPECT_EQ(key(nullptr), "");
}

TEST_F(RegistryData, RecordIsExpandedSplitAndConverted) {
    setVariable("%PRODUCT%", "Demo");
    RegistryRecord record;
    ASSERT_EQ(readRegistryRecord("0x2,\\Software\\%PRODUCT%\\,Path,,C:\\%PRODUCT%, with a comma", &record),
              registryRecordReady);
    EXPECT_EQ(record.root, 2);
    EXPECT_STREQ(record.rootText, "0x2") << "the root as written";
    EXPECT_STREQ(record.key, "Software\\Demo");
    EXPECT_STREQ(record.valueName, "Path");
    EXPECT_EQ(record.type, valueTypeString) << "an empty type is a string";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record.data), record.size),
              std::string("C:\\Demo, with a comma\0", 22))
        << "the data runs to the end of the record";
    freeRegistryRecord(&record);
    EXPECT_EQ(record.key, nullptr);
}

TEST_F(RegistryData, DefaultValueAndMissingDataAreEmpty) {
    RegistryRecord record;
    ASSERT_EQ(readRegistryRecord("1,Software\\X,,0", &record), registryRecordReady);
    EXPECT_STREQ(record.valueName, "");
    EXPECT_EQ(record.type, valueTypeString) << "type 0 is a string";
    EXPECT_EQ(record.size, 1u);
    freeRegistryRecord(&record);
}

TEST_F(RegistryData, OtherTypesAreSkippedWithoutKeepingAnything) {
    RegistryRecord record;
    for (const char* text : {"1,Software\\X,V,5,1", "1,Software\\X,V,6,1", "1,Software\\X,V,11,1"}) {
        EXPECT_EQ(readRegistryRecord(text, &record), registryRecordSkipped) << text;
        EXPECT_EQ(record.data, nullptr);
        EXPECT_EQ(record.key, nullptr);
    }
}

TEST_F(RegistryData, ExhaustedHeapIsReported) {
    RegistryRecord record;
    standinFailAllocations(1);
    EXPECT_EQ(readRegistryRecord("1,Software\\X,V,3,00ff", &record), registryRecordNoMemory);
    standinFailAllocations(0);
    EXPECT_EQ(record.key, nullptr);
}

}  // namespace

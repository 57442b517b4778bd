// The heap and StringList on the system's own heap and common-controls pointer arrays.
#include <gtest/gtest.h>

#include "support/heap.h"
#include "support/pointer_array.h"
#include "support/string_list.h"

namespace {
class SystemStringList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        ASSERT_TRUE(loadPointerArrayFunctions()) << "every DPA/DSA ordinal must resolve";
        ASSERT_TRUE(listCreate(&list, 5));
    }
    void TearDown() override {
        listDestroy(&list);
        EXPECT_EQ(list.handle, nullptr);
        unloadPointerArrayFunctions();
        heapDestroy();
    }
    StringList list{};
};

TEST_F(SystemStringList, CountIsReadFromTheArrayHeader) {
    for (const char* text : {"C:", "Dir", "Sub"}) listAppend(&list, text);
    EXPECT_EQ(listCount(&list), 3);
    EXPECT_EQ(listAt(&list, 3), nullptr);
    EXPECT_EQ(listAt(&list, -1), nullptr);
    char* path = listJoinItemsAsPath(&list, 1, "file");
    EXPECT_STREQ(path, "C:\\Dir\\file");
    heapFree(path);
}

TEST_F(SystemStringList, SetAtBeyondTheEndGrowsWithNullItems) {
    ASSERT_TRUE(listSetAt(&list, 5, "five"));
    EXPECT_EQ(listCount(&list), 6);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(listAt(&list, i), nullptr) << i;
    EXPECT_STREQ(listAt(&list, 5), "five");
    EXPECT_EQ(listAppend(&list, "six"), 6);
}

TEST_F(SystemStringList, RemoveSortAndFindUseTheSystemComparison) {
    for (const char* text : {"beta", "Alpha", "gamma", "ALPHA"}) listAppend(&list, text);
    EXPECT_EQ(listFind(&list, "alpha", 0, 0), 1);
    EXPECT_EQ(listFind(&list, "alpha", 2, 0), 3);
    EXPECT_EQ(listFind(&list, "alpha", 0, findCaseSensitive), -1);
    EXPECT_TRUE(listRemoveAt(&list, 3));
    listSort(&list, sortByText);
    EXPECT_STREQ(listAt(&list, 0), "Alpha");
    EXPECT_STREQ(listAt(&list, 2), "gamma");
    listSort(&list, sortByLength | sortReverse);
    EXPECT_EQ(lstrlenA(listAt(&list, 2)), 4);
    listClear(&list);
    EXPECT_EQ(listCount(&list), 0);
}

TEST(SystemHeap, FreeIgnoresNullAndForeignPointers) {
    ASSERT_TRUE(heapCreate());
    static const char constant[] = "constant text";
    char stackText[] = "on the stack";
    heapFree(nullptr);
    heapFree(constant);
    heapFree(stackText);
    char* block = static_cast<char*>(heapAlloc(32));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(block[i], 0);
    block = static_cast<char*>(heapResize(block, 4096));
    for (int i = 32; i < 4096; ++i) ASSERT_EQ(block[i], 0) << "growth is zero-filled";
    heapFree(block);
    EXPECT_STREQ(constant, "constant text");
    heapDestroy();
}
}  // namespace

// Heap and StringList behaviour that every table of the program relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "support/heap.h"
#include "support/pointer_array.h"
#include "support/string_list.h"

namespace {
class StringListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(heapCreate());
        ASSERT_TRUE(loadPointerArrayFunctions());
        ASSERT_TRUE(listCreate(&list, 5));
    }
    void TearDown() override {
        listDestroy(&list);
        EXPECT_EQ(standinHeapBlockCount(), 0u) << "a list leaked texts";
        unloadPointerArrayFunctions();
        heapDestroy();
    }
    void fill(std::initializer_list<const char*> items) {
        for (const char* item : items) ASSERT_GE(listAppend(&list, item), 0);
    }
    StringList list{};
};

TEST_F(StringListTest, AtOutsideTheListIsNull) {
    fill({"a", "b", "c"});
    EXPECT_STREQ(listAt(&list, 2), "c");
    EXPECT_EQ(listAt(&list, 3), nullptr);
    EXPECT_EQ(listAt(&list, -1), nullptr);
}

TEST_F(StringListTest, SetAtBeyondTheEndExtendsWithNullItems) {
    ASSERT_TRUE(listSetAt(&list, 5, "five"));
    EXPECT_EQ(listCount(&list), 6);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(listAt(&list, i), nullptr) << i;
    EXPECT_STREQ(listAt(&list, 5), "five");
    ASSERT_TRUE(listSetAt(&list, 5, "again"));  // the old text is released, not leaked
    EXPECT_STREQ(listAt(&list, 5), "again");
}

TEST_F(StringListTest, TextsAreCopiedNotAdopted) {
    char buffer[] = "original";
    listAppend(&list, buffer);
    std::strcpy(buffer, "changed!");
    EXPECT_STREQ(listAt(&list, 0), "original");
}

TEST_F(StringListTest, RemoveAtMovesLaterItemsDown) {
    fill({"a", "b", "c"});
    listAppend(&list, nullptr);
    EXPECT_TRUE(listRemoveAt(&list, 1));
    EXPECT_STREQ(listAt(&list, 1), "c");
    EXPECT_FALSE(listRemoveAt(&list, 2)) << "a null item removes no text";
    EXPECT_FALSE(listRemoveAt(&list, 7));
    EXPECT_EQ(listCount(&list), 2);
}

TEST_F(StringListTest, ClearEmptiesAndFreeItemsKeepsPositions) {
    fill({"a", "b"});
    listFreeItems(&list);
    EXPECT_EQ(listCount(&list), 2);
    EXPECT_EQ(listAt(&list, 0), nullptr);
    listClear(&list);
    EXPECT_EQ(listCount(&list), 0);
    EXPECT_EQ(listAppend(&list, "x"), 0) << "the array survives a clear";
}

TEST_F(StringListTest, FindHonoursCaseFlagAndStart) {
    fill({"Alpha", "beta", "ALPHA"});
    EXPECT_EQ(listFind(&list, "alpha", 0, 0), 0);
    EXPECT_EQ(listFind(&list, "alpha", 1, 0), 2);
    EXPECT_EQ(listFind(&list, "alpha", 0, findCaseSensitive), -1);
    EXPECT_EQ(listFind(&list, "ALPHA", 0, findCaseSensitive), 2);
}

TEST_F(StringListTest, SortByTextLengthAndReverse) {
    fill({"ccc", "a", "BB"});
    listSort(&list, sortByText);
    EXPECT_STREQ(listAt(&list, 0), "a");
    EXPECT_STREQ(listAt(&list, 1), "BB");
    listSort(&list, sortByLength | sortReverse);
    EXPECT_STREQ(listAt(&list, 0), "ccc");
    EXPECT_STREQ(listAt(&list, 2), "a");
}

TEST_F(StringListTest, JoinItemsAsPathSkipsNullItems) {
    fill({"C:", "Dir", "Sub"});
    char* path = listJoinItemsAsPath(&list, 1, "file");
    EXPECT_STREQ(path, "C:\\Dir\\file");
    heapFree(path);
    listSetAt(&list, 1, nullptr);
    path = listJoinItemsAsPath(&list, 2, "f");
    EXPECT_STREQ(path, "C:\\Sub\\f");
    heapFree(path);
}

TEST_F(StringListTest, FailedCopyLeavesTheListUnchanged) {
    fill({"kept"});
    standinFailAllocations(1);
    EXPECT_EQ(listAppend(&list, "lost"), -1);
    standinFailAllocations(1);
    EXPECT_FALSE(listSetAt(&list, 0, "lost"));
    standinFailAllocations(0);
    EXPECT_EQ(listCount(&list), 1);
    EXPECT_STREQ(listAt(&list, 0), "kept");
}

TEST(Heap, FreeIgnoresNullAndForeignPointers) {
    ASSERT_TRUE(heapCreate());
    static const char constant[] = "constant";
    heapFree(nullptr);
    heapFree(constant);
    char* block = static_cast<char*>(heapAlloc(16));
    for (int i = 0; i < 16; ++i) ASSERT_EQ(block[i], 0) << "blocks are zero-filled";
    block = static_cast<char*>(heapResize(block, 64));
    for (int i = 16; i < 64; ++i) ASSERT_EQ(block[i], 0) << "growth is zero-filled";
    EXPECT_EQ(heapResize(block, 0), nullptr);
    EXPECT_EQ(standinHeapBlockCount(), 0u);
    heapDestroy();
}

TEST(Heap, TextHelpers) {
    ASSERT_TRUE(heapCreate());
    char* copy = duplicateText("abc", 4);
    EXPECT_STREQ(copy, "abc");
    for (int i = 3; i < 8; ++i) EXPECT_EQ(copy[i], 0) << "room after the terminator";
    char* joined = concatTexts("a", nullptr, "b", "", "c");
    EXPECT_STREQ(joined, "abc");
    char overlap[] = "abcdef";
    copyBytes(overlap + 2, overlap, 4);
    EXPECT_STREQ(overlap, "ababcd");
    copyBytes(overlap, overlap + 2, 4);
    EXPECT_STREQ(overlap, "abcdcd");
    heapDestroy();
}
}  // namespace

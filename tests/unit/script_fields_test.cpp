// The comma field splitter, joining fields and the number parser.
#include "script/fields.h"
#include "script_test_support.h"

namespace {

class FieldsTest : public ScriptStateTest {
protected:
    std::vector<std::string> fields() {
        std::vector<std::string> all;
        EXPECT_EQ(listCount(&state.fieldList), fieldCount);
        for (int i = 0; i < fieldCount; ++i) {
            EXPECT_NE(listAt(&state.fieldList, i), nullptr) << "field " << i << " is never null";
            all.push_back(field(i));
        }
        return all;
    }
    static std::vector<std::string> padded(std::vector<std::string> first) {
        first.resize(fieldCount);
        return first;
    }
};

TEST_F(FieldsTest, EmptyFieldsBetweenCommasAndBeyondTheText) {
    splitFields("a,,c", false);
    EXPECT_EQ(fields(), padded({"a", "", "c"}));
}

TEST_F(FieldsTest, OnlyFifteenFieldsAreKept) {
    std::string text;
    for (int i = 0; i <= 20; ++i) text += (i ? "," : "") + std::to_string(i);
    splitFields(text.c_str(), false);
    std::vector<std::string> expected;
    for (int i = 0; i < fieldCount; ++i) expected.push_back(std::to_string(i));
    EXPECT_EQ(fields(), expected);
}

TEST_F(FieldsTest, BlanksAndQuotesAreKeptInPlainMode) {
    splitFields(" a , \"b,c\" ", false);
    EXPECT_EQ(fields(), padded({" a ", " \"b", "c\" "}));
}

TEST_F(FieldsTest, EverySplitRewritesTheWholeList) {
    splitFields("1,2,3,4,5,6", false);
    splitFields("x", false);
    EXPECT_EQ(fields(), padded({"x"}));
    splitFields(nullptr, false);
    EXPECT_EQ(fields(), padded({}));
    splitFields("", false);
    EXPECT_EQ(fields(), padded({}));
}

TEST_F(FieldsTest, QuotedFirstFieldMayHoldCommas) {
    splitFields("\"Hello, world\" ignored,left,top,20", true);
    EXPECT_EQ(fields(), padded({"Hello, world", "left", "top", "20"}));
    splitFields("before \"q\",x", true);
    EXPECT_EQ(fields(), padded({"q", "x"}));
}

TEST_F(FieldsTest, QuotedFirstWithoutQuotesOrCommas) {
    splitFields("no quotes,a,b", true);
    EXPECT_EQ(fields(), padded({}));
    splitFields("\"only\"", true);
    EXPECT_EQ(fields(), padded({"only"}));
    splitFields("\"open, to the end", true);
    EXPECT_EQ(fields(), padded({"open, to the end"}));
    splitFields("\"\",,z", true);
    EXPECT_EQ(fields(), padded({"", "", "z"}));
}

TEST_F(FieldsTest, JoinFieldsInTheGivenOrder) {
    splitFields("a,b,,d", false);
    const BYTE order[] = {3, 0, 2, 14};
    char* joined = joinFields(order, 4);
    EXPECT_STREQ(joined, "d,a,,");
    heapFree(joined);
    char* none = joinFields(order, 0);
    EXPECT_STREQ(none, "");
    heapFree(none);
}

TEST(ToNumber, CasesOfTheFieldSyntax) {
    EXPECT_EQ(toNumber("0x1F"), 31);
    EXPECT_EQ(toNumber("0X1f"), 31);
    EXPECT_EQ(toNumber("017"), 15);
    EXPECT_EQ(toNumber("08"), 8);
    EXPECT_EQ(toNumber("-12"), -12);
    EXPECT_EQ(toNumber("-0x10"), 0);
    EXPECT_EQ(toNumber(" 5"), 0);
    EXPECT_EQ(toNumber("12ab"), 12);
    EXPECT_EQ(toNumber("0777"), 511);
    EXPECT_EQ(toNumber("0779"), 63) << "octal digits end at 9";
    EXPECT_EQ(toNumber("0xfg"), 15);
    EXPECT_EQ(toNumber("0x"), 0);
    EXPECT_EQ(toNumber("0"), 0);
    EXPECT_EQ(toNumber("-"), 0);
    EXPECT_EQ(toNumber("+5"), 0);
    EXPECT_EQ(toNumber(""), 0);
    EXPECT_EQ(toNumber(nullptr), 0);
}

TEST(ToNumber, OverflowWrapsInThirtyTwoBits) {
    EXPECT_EQ(toNumber("0xFFFFFFFF"), -1);
    EXPECT_EQ(toNumber("0x100000005"), 5);
    EXPECT_EQ(toNumber("4294967297"), 1);
    EXPECT_EQ(toNumber("2147483648"), INT32_MIN);
    EXPECT_EQ(toNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(toNumber("040000000001"), 1);
}

}  // namespace

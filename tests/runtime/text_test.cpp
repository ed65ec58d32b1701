#include <gtest/gtest.h>

#include "runtime/text.h"

namespace {

struct SplitCase {
    const char* name;
    std::string_view text;
    std::string_view separator;
    std::optional<int> maximum;
    std::vector<Text> pieces;
};

class SplitTextTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTextTest, Splits)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(split_text(c.text, c.separator, c.maximum), c.pieces);
}

// 0xB8 0x2C is a two-byte character whose second byte is a comma.
const SplitCase split_cases[] = {
    {"EmptyText", "", ",", std::nullopt, {}},
    {"NoSeparator", "abc", ",", std::nullopt, {"abc"}},
    {"EmptyPieceBetween", "a,,b", ",", std::nullopt, {"a", "", "b"}},
    {"NoEmptyLastPiece", "a,b,", ",", std::nullopt, {"a", "b"}},
    {"LoneSeparator", ",", ",", std::nullopt, {""}},
    {"MaximumDropsRest", "a,b,c", ",", 2, {"a", "b"}},
    {"MaximumZero", "a,b", ",", 0, {}},
    {"MaximumNegative", "a,b", ",", -3, {}},
    {"MaximumAboveCount", "a,b", ",", 9, {"a", "b"}},
    {"EmptySeparator", "a,b", "", std::nullopt, {"a,b"}},
    {"LongSeparator", "a<>b<>", "<>", std::nullopt, {"a", "b"}},
    {"SeparatorLongerThanText", "a", "abc", std::nullopt, {"a"}},
    {"CaseMatters", "aXbxc", "x", std::nullopt, {"aXb", "c"}},
    {"NoMatchOnSecondByte", "\xB8,a,b", ",", std::nullopt, {"\xB8,a", "b"}},
    {"LeadByteAtEnd", "a,\xB8", ",", std::nullopt, {"a", "\xB8"}},
    {"DefaultArguments", "x,y", ",", std::nullopt, {"x", "y"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SplitTextTest, testing::ValuesIn(split_cases),
                         [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(SplitTextTest, DefaultsSplitAtCommasWithoutLimit)
{
    EXPECT_EQ(split_text("u,f,1,2,3"), (std::vector<Text>{"u", "f", "1", "2", "3"}));
}

TEST(CompareTextTest, OrdersBytesAsUnsigned)
{
    EXPECT_EQ(compare_text("", ""), 0);
    EXPECT_EQ(compare_text("", "a"), -1);
    EXPECT_EQ(compare_text("a", ""), 1);
    EXPECT_EQ(compare_text("abc", "abc"), 0);
    EXPECT_EQ(compare_text("ab", "abc"), -1);
    EXPECT_EQ(compare_text("abd", "abc"), 1);
    // A GBK byte (0x80 and above) sorts after every ASCII byte.
    EXPECT_EQ(compare_text("\xB8\xFC", "z"), 1);
    EXPECT_EQ(compare_text("z", "\xB8\xFC"), -1);
}

TEST(JoinTextsTest, JoinsWithNothingBetween)
{
    EXPECT_EQ(join_texts({"C:\\dir", "\\SHtemp", "", "152", ".exe"}), "C:\\dir\\SHtemp152.exe");
    EXPECT_EQ(join_texts({"", ""}), "");
}

TEST(TextSizeTest, CountsBytes)
{
    EXPECT_EQ(text_size(""), 0u);
    EXPECT_EQ(text_size("a\xB8\xFC"), 3u);
}

TEST(ByteBufferTest, BlankBytes)
{
    EXPECT_EQ(blank_bytes(3), ByteBuffer(3, 0));
    EXPECT_TRUE(blank_bytes(0).empty());
    EXPECT_TRUE(blank_bytes(-5).empty());
}

TEST(ByteBufferTest, LeftBytes)
{
    const ByteBuffer buffer{1, 0, 3};
    EXPECT_EQ(left_bytes(buffer, 2), (ByteBuffer{1, 0}));
    EXPECT_EQ(left_bytes(buffer, 10), buffer);
    EXPECT_TRUE(left_bytes(buffer, 0).empty());
    EXPECT_TRUE(left_bytes(buffer, -1).empty());
    EXPECT_TRUE(left_bytes({}, 4).empty());
    EXPECT_EQ(byte_count(buffer), 3u);
    EXPECT_EQ(byte_count({}), 0u);
}

} // namespace

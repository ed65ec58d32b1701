#include <gtest/gtest.h>

#include <limits>

#include "runtime/numbers.h"

namespace {

constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();

struct TextToIntCase {
    const char* name;
    std::string_view text;
    std::int32_t value;
};

class TextToIntTest : public testing::TestWithParam<TextToIntCase> {};

TEST_P(TextToIntTest, Reads)
{
    EXPECT_EQ(text_to_int(GetParam().text), GetParam().value);
}

// GBK full-width forms: digits 0xA3 0xB0..0xB9, "+" 0xA3 0xAB, "-" 0xA3 0xAD, blank 0xA1 0xA1,
// "Ａ" 0xA3 0xC1. "更" (0xB8 0xFC) is an ordinary two-byte character.
const TextToIntCase text_to_int_cases[] = {
    {"Empty", "", 0},
    {"BlankSignDigitsLetter", " -42a", -42},
    {"Plus", "+7", 7},
    {"LetterFirst", "a7", 0},
    {"SignOnly", "-", 0},
    {"AllWhiteSpace", " \t\n\v\f\r12", 12},
    {"SignThenBlank", "- 5", 0},
    {"LeadingZeros", "000123", 123},
    {"Handle", "1234567,1", 1234567},
    {"FullWidthDigits", "\xA3\xB1\xA3\xB2\xA3\xB3", 123},
    {"FullWidthMinus", "\xA3\xAD\xA3\xB5", -5},
    {"FullWidthPlusAsciiDigits",
     "\xA3\xAB"
     "42",
     42},
    {"IdeographicBlank",
     "\xA1\xA1\xA1\xA1"
     "9",
     9},
    {"MixedDigits",
     "1\xA3\xB2"
     "3",
     123},
    {"FullWidthLetterEnds",
     "7\xA3\xC1"
     "8",
     7},
    {"OtherCharacterFirst",
     "\xB8\xFC"
     "7",
     0},
    {"OtherCharacterEnds",
     "7\xB8\xFC"
     "8",
     7},
    {"LeadByteAtEnd", "7\xA3", 7},
    {"FullWidthSolidusEnds",
     "3\xA3\xAF"
     "4",
     3},
    {"Max", "2147483647", int_max},
    {"Min", "-2147483648", int_min},
    {"JustAboveMax", "2147483648", int_max},
    {"JustBelowMin", "-2147483649", int_min},
    {"FarBeyond", "99999999999999999999999999999999", int_max},
    {"FarBelow", "-99999999999999999999999999999999", int_min},
    {"FullWidthBeyond",
     "\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9", int_max},
};

INSTANTIATE_TEST_SUITE_P(Cases, TextToIntTest, testing::ValuesIn(text_to_int_cases),
                         [](const testing::TestParamInfo<TextToIntCase>& info) { return info.param.name; });

TEST(HalfWidthTextTest, MapsOnlyFullWidthForms)
{
    EXPECT_EQ(half_width_text("\xA3\xB0\xA3\xAF\xA3\xDC\xA1\xA1\xA3\xFD"), "0/\\ }");
    // The yen sign and the macron have no ASCII form; other characters and a lone lead byte stay.
    EXPECT_EQ(half_width_text("\xA3\xA4\xA3\xFE\xB8\xFC\xA1\xA2\xA3"),
              "\xA3\xA4\xA3\xFE\xB8\xFC\xA1\xA2\xA3");
    // Pairs are read from the start: here 0xA3 is a second byte, not the start of "１".
    EXPECT_EQ(half_width_text("\xB8\xA3\xB1"), "\xB8\xA3\xB1");
}

TEST(NumberToTextTest, Integers)
{
    EXPECT_EQ(number_to_text(100), "100");
    EXPECT_EQ(number_to_text(0), "0");
    EXPECT_EQ(number_to_text(-7), "-7");
    EXPECT_EQ(number_to_text(int_max), "2147483647");
    EXPECT_EQ(number_to_text(int_min), "-2147483648");
}

struct DoubleCase {
    double value;
    std::string_view text;
};

TEST(NumberToTextTest, DoublesDropTrailingZerosAndPoint)
{
    const DoubleCase cases[] = {
        {12.5, "12.5"},       {3.0, "3"},
        {1024.0, "1024"},     {0.0, "0"},
        {-2.5, "-2.5"},       {14.6484375, "14.648438"},
        {14.65, "14.65"},     {0.1, "0.1"},
        {0.0000004, "0"},     {1e15, "1000000000000000"},
        {100.0000001, "100"}, {-0.5, "-0.5"},
    };
    for (const DoubleCase& c : cases)
        EXPECT_EQ(number_to_text(c.value), c.text) << c.value;
}

TEST(NumberToTextTest, HugeDoubleFitsWhole)
{
    const Text text = number_to_text(std::numeric_limits<double>::max());
    EXPECT_EQ(text.size(), 309u);
    EXPECT_EQ(text.substr(0, 4), "1797");
}

struct RoundCase {
    double x;
    int places;
    double rounded;
};

TEST(RoundToPlacesTest, HalfGoesUp)
{
    const RoundCase cases[] = {
        {2.5, 0, 3.0},          {-2.5, 0, -2.0},        {2.4, 0, 2.0},
        {14.6484375, 2, 14.65}, {0.125, 2, 0.13},       {1234.5, -2, 1200.0},
        {1250.0, -2, 1300.0},   {-1250.0, -2, -1200.0}, {7.0, 3, 7.0},
    };
    for (const RoundCase& c : cases)
        EXPECT_DOUBLE_EQ(round_to_places(c.x, c.places), c.rounded) << c.x << " to " << c.places;
    EXPECT_DOUBLE_EQ(round_to_places(0.5), 1.0);
}

TEST(BitAndTest, AndsLeftToRight)
{
    EXPECT_EQ(bit_and({0x0F, 0x3C}), 0x0C);
    EXPECT_EQ(bit_and({-1, 0x7F, 0x31}), 0x31);
    EXPECT_EQ(bit_and({int_min, -1}), int_min);
    EXPECT_EQ(bit_and({}), 0);
}

} // namespace

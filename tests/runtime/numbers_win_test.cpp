#include <gtest/gtest.h>

#include <windows.h>

#include "runtime/numbers.h"

namespace {

// text_to_int as the system would compute it: full-width solidi replaced, then the text mapped to
// half-width by LCMapStringA for Chinese (PRC), then read by atoi.
std::int32_t system_text_to_int(const Text& text)
{
    Text copy;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80 && at + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[at + 1]);
            if (byte == 0xA3 && trail == 0xAF)
                copy += '/';
            else if (byte == 0xA3 && trail == 0xDC)
                copy += '\\';
            else
                copy += text.substr(at, 2);
            ++at;
        } else {
            copy += text[at];
        }
    }
    const LCID chinese_prc = 0x0804;
    const int size =
        LCMapStringA(chinese_prc, LCMAP_HALFWIDTH, copy.data(), static_cast<int>(copy.size()), nullptr, 0);
    Text mapped(static_cast<std::size_t>(size), '\0');
    LCMapStringA(chinese_prc, LCMAP_HALFWIDTH, copy.data(), static_cast<int>(copy.size()), mapped.data(),
                 size);
    return leading_int(mapped);
}

TEST(TextToIntTest, PortableHalfWidthStepMatchesTheSystem)
{
    const Text table[] = {
        "42",
        " -42a",
        "+7",
        "a7",
        "\xA3\xB1\xA3\xB2\xA3\xB3",
        "\xA3\xAD\xA3\xB5",
        "\xA3\xAB"
        "42",
        "\xA1\xA1\xA1\xA1"
        "9",
        "1\xA3\xB2"
        "3",
        "7\xA3\xC1"
        "8",
        "\xB8\xFC"
        "7",
        "7\xB8\xFC"
        "8",
        "\xA1\xA1\xA3\xAD\xA3\xB0\xA3\xB1"
        "2x",
        "\t\xA1\xA1+\xA3\xB9",
        "\xA3\xA0"
        "5",
        "\xA3\xAF"
        "5",
        "\xA3\xDC"
        "5",
        "- \xA3\xB5",
        "\xA3\xAD-5",
        "\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9\xA3\xB9"
        "\xA3\xB9\xA3\xB9",
        "\xA3\xAD"
        "2147483648",
        "\xA1\xA2"
        "3",
        "\xA1\xAA"
        "3",
    };
    for (const Text& text : table)
        EXPECT_EQ(text_to_int(text), system_text_to_int(text)) << testing::PrintToString(text);
}

TEST(TextToIntTest, NoOtherTwoByteCharacterReadsAsDigitSignOrBlank)
{
    // Every two-byte GBK character, before a digit and between digits: only the characters the portable
    // step maps may change what atoi reads.
    int mismatches = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const Text character{static_cast<char>(lead), static_cast<char>(trail)};
            for (const Text& text : {character + "7", "3" + character + "4"}) {
                if (text_to_int(text) != system_text_to_int(text) && ++mismatches <= 10)
                    ADD_FAILURE() << std::hex << lead << " " << trail << " in "
                                  << testing::PrintToString(text);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

} // namespace

#include "runtime/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr unsigned char full_width_block = 0xA3;
constexpr unsigned char symbol_block = 0xA1;
constexpr unsigned char ideographic_blank_trail = 0xA1;

// atoi's white space in the C locale.
bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// ASCII form of a GBK full-width character 0xA3 trail, or 0 when it has none. The block mirrors ASCII
// 0x21..0x7E at trail - 0x80, except the yen sign (0xA4) and the macron (0xFE), which are not ASCII.
char ascii_of_full_width(unsigned char trail)
{
    if (trail < 0xA1 || trail > 0xFE || trail == 0xA4 || trail == 0xFE)
        return 0;
    return static_cast<char>(trail - 0x80);
}

} // namespace

Text half_width_text(std::string_view text)
{
    Text result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (!is_lead_byte(lead) || at + 1 == text.size()) {
            result.push_back(text[at]);
            ++at;
            continue;
        }
        const auto trail = static_cast<unsigned char>(text[at + 1]);
        char ascii = 0;
        if (lead == full_width_block)
            ascii = ascii_of_full_width(trail);
        else if (lead == symbol_block && trail == ideographic_blank_trail)
            ascii = ' ';
        if (ascii != 0) {
            result.push_back(ascii);
        } else {
            result.push_back(text[at]);
            result.push_back(text[at + 1]);
        }
        at += 2;
    }
    return result;
}

std::int32_t leading_int(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && is_space(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulate the magnitude in 64 bits and stop growing once past the 32-bit range, so no digit
    // string, however long, overflows.
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-magnitude); // -limit is exactly INT32_MIN
    return static_cast<std::int32_t>(std::min(magnitude, limit - 1));
}

std::int32_t text_to_int(std::string_view text)
{
    return leading_int(half_width_text(text));
}

Text number_to_text(std::int32_t value)
{
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return Text(digits.data(), result.ptr);
}

Text number_to_text(double value)
{
    // The largest double in fixed notation takes 309 digits before the point. The runtime's own "%.6f",
    // as the number texts are defined; std::to_chars would also drag some 180 KB of tables into the shipped
    // program. The program never leaves the "C" locale, so the point is '.'.
    std::array<char, 400> digits{};
    const int length = std::snprintf(digits.data(), digits.size(), "%.6f", value);
    if (length <= 0)
        return {};
    Text text(digits.data(), std::min<std::size_t>(static_cast<std::size_t>(length), digits.size() - 1));
    if (text.find('.') != Text::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

double round_to_places(double x, int places)
{
    if (places == 0)
        return std::floor(x + 0.5);
    const double scale = std::pow(10.0, std::fabs(static_cast<double>(places)));
    if (places > 0)
        return std::floor(x * scale + 0.5) / scale;
    return std::floor(x / scale + 0.5) * scale;
}

std::int32_t bit_and(std::initializer_list<std::int32_t> values)
{
    if (values.size() == 0)
        return 0;
    std::int32_t result = *values.begin();
    for (std::int32_t value : values)
        result &= value;
    return result;
}

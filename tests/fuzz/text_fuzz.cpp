// split_text and text_to_int on any bytes: no undefined behaviour, pieces that join back into a prefix
// of the text, and integers that agree with the same digits read wider.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/numbers.h"
#include "runtime/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First byte: separator length (0..3) and maximum (-1 for none, else 0..15).
    const std::size_t separator_size = std::min<std::size_t>(data[0] & 3, size - 1);
    const int maximum_choice = (data[0] >> 2) & 0x1F;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view separator = rest.substr(0, separator_size);
    const std::string_view text = rest.substr(separator_size);

    const auto pieces =
        maximum_choice > 15 ? split_text(text, separator) : split_text(text, separator, maximum_choice - 1);
    Text rejoined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            rejoined += separator;
        rejoined += pieces[i];
    }
    if (rejoined.size() > text.size() || text.compare(0, rejoined.size(), rejoined) != 0)
        std::abort();

    // text_to_int must agree with an independent reading of its ASCII form.
    const Text ascii = half_width_text(text);
    std::size_t at = 0;
    while (at < ascii.size() && (ascii[at] == ' ' || (ascii[at] >= '\t' && ascii[at] <= '\r')))
        ++at;
    const bool negative = at < ascii.size() && ascii[at] == '-';
    if (at < ascii.size() && (ascii[at] == '-' || ascii[at] == '+'))
        ++at;
    long double wide = 0;
    for (; at < ascii.size() && ascii[at] >= '0' && ascii[at] <= '9'; ++at)
        wide = wide * 10 + (ascii[at] - '0');
    wide = negative ? -wide : wide;
    const long double clamped = std::min<long double>(std::max<long double>(wide, INT32_MIN), INT32_MAX);
    if (static_cast<long double>(text_to_int(text)) != clamped)
        std::abort();
    return 0;
}

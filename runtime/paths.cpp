#include "runtime/paths.h"

Text directory_of(std::string_view path)
{
    // Scanning forward keeps track of character boundaries, which a backward byte search cannot.
    std::size_t last_separator = std::string_view::npos;
    for (std::size_t at = 0; at < path.size();) {
        const auto byte = static_cast<unsigned char>(path[at]);
        if (byte == '\\')
            last_separator = at;
        at += is_lead_byte(byte) && at + 1 < path.size() ? 2 : 1;
    }
    return Text(path.substr(0, last_separator));
}

#include "runtime/text.h"

#include <algorithm>
#include <cstring>

std::vector<Text> split_text(std::string_view text, std::string_view separator, std::optional<int> maximum)
{
    std::vector<Text> pieces;
    const int limit = maximum ? std::max(*maximum, 0) : -1;
    if (text.empty() || limit == 0)
        return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }

    std::size_t piece_start = 0;
    std::size_t at = 0;
    while (text.size() - at >= separator.size()) {
        if (text.compare(at, separator.size(), separator) == 0) {
            pieces.emplace_back(text.substr(piece_start, at - piece_start));
            at += separator.size();
            piece_start = at;
            if (static_cast<int>(pieces.size()) == limit)
                return pieces;
            continue;
        }
        // Step over whole characters so a separator is never matched on a second byte.
        const bool pair = is_lead_byte(static_cast<unsigned char>(text[at])) && at + 1 < text.size();
        at += pair ? 2 : 1;
    }
    if (piece_start < text.size())
        pieces.emplace_back(text.substr(piece_start));
    return pieces;
}

int compare_text(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    // memcmp compares as unsigned char, which is the order GBK texts sort in.
    if (common != 0) {
        if (const int order = std::memcmp(a.data(), b.data(), common))
            return order < 0 ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

Text join_texts(std::initializer_list<std::string_view> texts)
{
    std::size_t total = 0;
    for (std::string_view text : texts)
        total += text.size();
    Text joined;
    joined.reserve(total);
    for (std::string_view text : texts)
        joined.append(text);
    return joined;
}

std::size_t text_size(std::string_view text)
{
    return text.size();
}

ByteBuffer blank_bytes(int count)
{
    return count > 0 ? ByteBuffer(static_cast<std::size_t>(count), 0) : ByteBuffer{};
}

ByteBuffer left_bytes(const ByteBuffer& buffer, int count)
{
    if (count <= 0)
        return {};
    const std::size_t kept = std::min(buffer.size(), static_cast<std::size_t>(count));
    return ByteBuffer(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept));
}

std::size_t byte_count(const ByteBuffer& buffer)
{
    return buffer.size();
}

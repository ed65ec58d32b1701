#pragma once
// Texts and byte buffers. A text holds GBK bytes (code page 936) and never a NUL; every byte of 0x80 or
// above is the first byte of a two-byte character. Lengths and positions count bytes.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Text = std::string;
using ByteBuffer = std::vector<std::uint8_t>;

// True when `byte` opens a two-byte character.
constexpr bool is_lead_byte(unsigned char byte)
{
    return byte >= 0x80;
}

// Splits at every occurrence of `separator` that starts on a character boundary. An empty text or a
// maximum of 0 or less gives no pieces; an empty separator gives the whole text. A trailing separator
// adds no empty last piece. With a maximum, the rest after the last counted piece is dropped.
std::vector<Text> split_text(std::string_view text, std::string_view separator = ",",
                             std::optional<int> maximum = std::nullopt);

// Byte-wise comparison as unsigned values; a text sorts after every text it begins with.
int compare_text(std::string_view a, std::string_view b);

Text join_texts(std::initializer_list<std::string_view> texts);
std::size_t text_size(std::string_view text);

// `count` zero bytes; none when count is 0 or less.
ByteBuffer blank_bytes(int count);
// The first `count` bytes, or the whole buffer when it is shorter; none when count is 0 or less.
ByteBuffer left_bytes(const ByteBuffer& buffer, int count);
std::size_t byte_count(const ByteBuffer& buffer);

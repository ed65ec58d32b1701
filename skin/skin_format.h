#pragma once
// The skin file: "USKN", a 16-bit version, a 16-bit colour count, then that many colours of four bytes
// (red, green, blue, reserved). docs/skin-format.md describes it. Header-only and free of the standard
// library beyond <stdint.h>, because the freestanding skin library reads it too.

#include <stdint.h>

namespace skin_format {

inline constexpr unsigned char signature[4] = {'U', 'S', 'K', 'N'};
inline constexpr uint16_t version = 1;
inline constexpr uint32_t header_size = 8;
inline constexpr uint32_t colour_size = 4;

// Colours of version 1, in file order.
enum ColourIndex : uint16_t {
    window_text,         // text of static controls
    static_background,   // behind that text
    button_face,         // push-button face
    button_text,         // push-button caption
    button_border,       // push-button frame
    progress_bar,        // the filled part of a progress bar
    progress_background, // its empty part
    colour_count_v1
};

// A colour as the Windows COLORREF packs it: 0x00BBGGRR.
struct Skin {
    uint32_t colours[colour_count_v1];
};

inline uint16_t read16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// True and `out` filled when `data` holds a skin this version understands. Colours beyond those of
// version 1 are allowed and ignored; anything short, foreign or of another version is refused.
inline bool parse(const unsigned char* data, long length, Skin& out)
{
    if (data == nullptr || length < static_cast<long>(header_size))
        return false;
    for (int i = 0; i < 4; ++i)
        if (data[i] != signature[i])
            return false;
    if (read16(data + 4) != version)
        return false;
    const uint32_t count = read16(data + 6);
    if (count < colour_count_v1 || static_cast<unsigned long>(length) < header_size + count * colour_size)
        return false;
    for (uint32_t i = 0; i < colour_count_v1; ++i) {
        const unsigned char* c = data + header_size + i * colour_size;
        out.colours[i] = static_cast<uint32_t>(c[0]) | static_cast<uint32_t>(c[1]) << 8 |
                         static_cast<uint32_t>(c[2]) << 16;
    }
    return true;
}

} // namespace skin_format

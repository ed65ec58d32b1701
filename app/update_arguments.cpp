#include "app/update_arguments.h"

#include <array>

#include "runtime/numbers.h"

namespace {

// GBK pairs: a lead byte 0x81-0xFE, then a trail byte 0x40-0xFE other than 0x7F. A trail byte may be
// 0x5C or 0x7C, which are then no backslash or bar.
bool is_gbk_lead(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

bool is_gbk_trail(unsigned char byte)
{
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

char ascii_upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, NUL, COM1 and the like name devices in every folder, with any extension.
bool is_device_name(std::string_view component)
{
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    Text upper;
    for (const char c : stem) {
        upper += ascii_upper(c);
    }
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view name : plain) {
        if (upper == name) {
            return true;
        }
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

// Windows drops trailing dots and blanks, so a component of only those is "." or "..", or nothing.
bool is_dots_and_blanks(std::string_view component)
{
    return component.find_first_not_of(". ") == std::string_view::npos;
}

bool is_sound_component(std::string_view component)
{
    return !component.empty() && !is_dots_and_blanks(component) && !is_device_name(component);
}

} // namespace

bool is_contained_file_name(std::string_view name)
{
    if (name.empty()) {
        return false;
    }
    std::size_t component_start = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte >= 0x80) {
            // A lone or malformed lead byte is read differently by different conversions; such a name
            // cannot be trusted to mean what was checked here.
            if (!is_gbk_lead(byte) || i + 1 == name.size() ||
                !is_gbk_trail(static_cast<unsigned char>(name[i + 1]))) {
                return false;
            }
            ++i;
            continue;
        }
        // ':' makes a drive-relative path or an alternate data stream; the rest are never in a file name.
        if (byte < 0x20 ||
            std::string_view(":*?\"<>|").find(static_cast<char>(byte)) != std::string_view::npos) {
            return false;
        }
        if (byte == '\\' || byte == '/') {
            // A leading separator is the drive's root or a network share.
            if (!is_sound_component(name.substr(component_start, i - component_start))) {
                return false;
            }
            component_start = i + 1;
        }
    }
    return is_sound_component(name.substr(component_start));
}

std::optional<UpdateArguments> parse_update_arguments(const std::vector<Text>& arguments)
{
    if (arguments.size() != 1) {
        return std::nullopt;
    }
    // Nothing escapes a comma, so every comma separates; pieces after the fifth are tolerated.
    const std::vector<Text> pieces = split_text(arguments.front(), ",");
    if (pieces.size() < 4) {
        return std::nullopt;
    }
    // The target is deleted and replaced: a name that leaves the updater's folder would let a caller
    // replace any file the user may write.
    if (!is_contained_file_name(pieces[1])) {
        return std::nullopt;
    }
    UpdateArguments result;
    result.download_url = pieces[0];
    result.target_file_name = pieces[1];
    result.app_window = text_to_int(pieces[2]);
    result.fourth_value = text_to_int(pieces[3]);
    if (pieces.size() > 4) {
        result.fifth_value = text_to_int(pieces[4]);
    }
    return result;
}

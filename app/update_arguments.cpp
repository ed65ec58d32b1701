#include "app/update_arguments.h"

#include "runtime/numbers.h"

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

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "runtime/text.h"

// What the application that wants to be replaced tells the updater on its command line.
struct UpdateArguments {
    Text download_url;
    Text target_file_name;
    std::int32_t app_window = 0;
    // Converted and kept for callers that send them; nothing reads them.
    std::int32_t fourth_value = 0;
    std::int32_t fifth_value = 0;
};

// True when `name` (GBK) names a file in the updater's folder or below it: relative, without "." or ".."
// components, drive letters, alternate data streams, device names or bytes no file name holds.
bool is_contained_file_name(std::string_view name);

// `arguments` is the command line without the program path. Empty result: the caller breaks the contract
// (not exactly one argument, fewer than four comma-separated pieces, or a target name that is not
// contained in the updater's folder) and gets the notice.
std::optional<UpdateArguments> parse_update_arguments(const std::vector<Text>& arguments);

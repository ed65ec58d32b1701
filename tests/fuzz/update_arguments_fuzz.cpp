// Any command line at all: reading it and parsing the record must neither crash nor read out of bounds,
// and an accepted record must hold the first two pieces of its single argument unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/update_arguments.h"
#include "runtime/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view command_line(reinterpret_cast<const char*>(data), size);
    const std::vector<Text> arguments = read_command_line(command_line);
    const std::optional<UpdateArguments> parsed = parse_update_arguments(arguments);
    if (parsed) {
        if (arguments.size() != 1) {
            std::abort();
        }
        const std::string_view argument = arguments.front();
        const Text prefix = parsed->download_url + "," + parsed->target_file_name + ",";
        if (!argument.starts_with(prefix)) {
            std::abort();
        }
    }
    return 0;
}

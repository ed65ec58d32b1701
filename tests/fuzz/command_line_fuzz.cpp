// Any command line: reading it never fails, and every argument is made of the line's own bytes with
// no lead byte left without its second byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::size_t total = 0;
    for (const Text& argument : read_command_line(line)) {
        total += argument.size();
        for (std::size_t at = 0; at < argument.size(); ++at) {
            if (is_lead_byte(static_cast<unsigned char>(argument[at])) && ++at == argument.size())
                std::abort();
        }
    }
    if (total > size)
        std::abort();
    return 0;
}

// Any target name: the containment check must neither crash nor read out of bounds, and a name it
// accepts must be relative, free of ':' and of "." and ".." components, read the way Windows reads GBK.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/update_arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    if (!is_contained_file_name(name)) {
        return 0;
    }
    std::size_t component_start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && static_cast<unsigned char>(name[i]) >= 0x80) {
            ++i; // the second byte of a two-byte character
            continue;
        }
        if (i < name.size() && name[i] == ':') {
            std::abort();
        }
        if (i == name.size() || name[i] == '\\' || name[i] == '/') {
            const std::string_view component = name.substr(component_start, i - component_start);
            if (component.empty() || component == "." || component == "..") {
                std::abort();
            }
            component_start = i + 1;
        }
    }
    return 0;
}

// The loader core on arbitrary bytes, mapped into plain buffers with made-up modules: whatever the
// image claims, nothing is read or written outside the image or the block.
#include "skin/in_memory_library.h"
#include "tests/skin/fake_platform.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the format and whether the preferred address is taken (relocation path).
    const PeFormat format = data[0] & 1 ? PeFormat::pe32_plus : PeFormat::pe32;
    FakePlatform platform;
    platform.max_block = 16 << 20;
    platform.loadable["USER32.dll"] = 0x7300;
    InMemoryLibrary library(platform, format);
    platform.every_preferred_taken = (data[0] & 2) != 0;
    if (library.load({data + 1, size - 1})) {
        for (const char* name : {"SkinAttach", "SkinDetach", "a", ""})
            library.find_export(name);
        library.entry_point();
        library.unload();
    }
    return 0;
}

// The loader on Windows: the embedded skin library mapped from memory and called, and entry points
// that refuse to start.
#include "resources/skin/skin_resources.h"
#include "skin/call_address.h"
#include "skin/in_memory_library.h"
#include "skin/loader_platform_win.h"
#include "tests/skin/crafted_image.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

DWORD state_at(Address address)
{
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info);
    return info.State;
}

// An address range that is free right now, for images that must land at a known place.
Address free_address()
{
    void* probe = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
    VirtualFree(probe, 0, MEM_RELEASE);
    return reinterpret_cast<Address>(probe);
}

TEST(LoaderWin, MapsTheEmbeddedSkinLibraryAndCallsItsExports)
{
    InMemoryLibrary library(windows_loader_platform(), native_pe_format);
    ASSERT_TRUE(library.load({SkinLibraryImage, SkinLibraryImage_size}));
    EXPECT_EQ(state_at(library.image_base()), static_cast<DWORD>(MEM_COMMIT));
    const Address attach = library.find_export("SkinAttach");
    const Address detach = library.find_export("SkinDetach");
    ASSERT_NE(attach, 0u);
    ASSERT_NE(detach, 0u);
    EXPECT_EQ(library.find_export("skinattach"), 0u);
    EXPECT_FALSE(library.load({SkinLibraryImage, SkinLibraryImage_size}));

    const unsigned char not_a_skin[] = "this is no skin file at all";
    EXPECT_EQ(static_cast<std::uint32_t>(
                  call_address(attach, reinterpret_cast<std::uintptr_t>(not_a_skin), sizeof not_a_skin)),
              0u);
    EXPECT_EQ(static_cast<std::uint32_t>(call_address(detach)), 0u) << "nothing was attached";

    const Address base = library.image_base();
    library.unload();
    EXPECT_EQ(state_at(base), static_cast<DWORD>(MEM_FREE));
}

TEST(LoaderWin, EntryPointReturningZeroIsDetachedAndTheBlockReleased)
{
    for (std::uint32_t result : {0u, 1u}) {
        std::uint32_t log[8] = {};
        const Address at = free_address();
        const std::vector<std::uint8_t> image =
            recording_entry_image(native_pe_format, at, reinterpret_cast<std::uintptr_t>(log), result)
                .build();
        InMemoryLibrary library(windows_loader_platform(), native_pe_format);
        EXPECT_EQ(library.load(image), result != 0);
        if (result == 0) {
            ASSERT_EQ(log[0], 2u);
            EXPECT_EQ(log[1], 1u) << "DLL_PROCESS_ATTACH";
            EXPECT_EQ(log[2], 0u) << "DLL_PROCESS_DETACH";
            EXPECT_EQ(state_at(at), static_cast<DWORD>(MEM_FREE));
        } else {
            ASSERT_EQ(library.image_base(), at);
            ASSERT_EQ(log[0], 1u);
            library.unload();
            ASSERT_EQ(log[0], 2u);
            EXPECT_EQ(log[2], 0u);
            EXPECT_EQ(state_at(at), static_cast<DWORD>(MEM_FREE));
        }
    }
}

std::uintptr_t WINAPI no_arguments()
{
    return 7;
}
std::uintptr_t WINAPI two_arguments(std::uintptr_t a, std::uintptr_t b)
{
    return a * 10 + b;
}
std::uintptr_t WINAPI ten_arguments(std::uintptr_t a1, std::uintptr_t a2, std::uintptr_t a3,
                                    std::uintptr_t a4, std::uintptr_t a5, std::uintptr_t a6,
                                    std::uintptr_t a7, std::uintptr_t a8, std::uintptr_t a9,
                                    std::uintptr_t a10)
{
    return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10;
}

TEST(CallAddress, PassesArgumentsInOrderWhateverTheCalleeTakes)
{
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(call_address(reinterpret_cast<std::uintptr_t>(&no_arguments), 1, 2, 3), 7u);
        EXPECT_EQ(call_address(reinterpret_cast<std::uintptr_t>(&two_arguments), 4, 2, 99, 99), 42u);
        EXPECT_EQ(
            call_address(reinterpret_cast<std::uintptr_t>(&ten_arguments), 1, 1, 1, 1, 1, 1, 1, 1, 1, 1),
            55u);
        EXPECT_EQ(
            call_address(reinterpret_cast<std::uintptr_t>(&ten_arguments), 0, 0, 0, 0, 0, 0, 0, 0, 0, 1),
            10u);
    }
}

} // namespace

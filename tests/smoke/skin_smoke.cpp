// The x86 product's skin path once: the embedded PE32 library mapped from memory, attached to a real
// window and detached, and stdcall calls through call_address. (An entry point that refuses to start is
// covered by the win64 tier.)
#include "resources/skin/skin_resources.h"
#include "skin/call_address.h"
#include "skin/loader_platform_win.h"
#include "skin/skin_format.h"
#include "skin/skin_library.h"
#include "tests/skin/crafted_image.h"
#include "tests/skin/test_window_win.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t __stdcall no_arguments()
{
    return 7;
}
std::uint32_t __stdcall two_arguments(std::uint32_t a, std::uint32_t b)
{
    return a * 10 + b;
}
std::uint32_t __stdcall ten_arguments(std::uint32_t a1, std::uint32_t a2, std::uint32_t a3, std::uint32_t a4,
                                      std::uint32_t a5, std::uint32_t a6, std::uint32_t a7, std::uint32_t a8,
                                      std::uint32_t a9, std::uint32_t a10)
{
    return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10;
}

// Never inlined: each inlined copy would have its own slot in the caller's frame.
[[gnu::noinline]] std::uintptr_t stack_level()
{
    volatile char here = 0;
    return reinterpret_cast<std::uintptr_t>(&here);
}

// The stack level right after a call through call_address, always from the same code: if call_address
// left the stack where the callee's own clean-up put it, the level would depend on the callee.
[[gnu::noinline]] std::uintptr_t level_after_call(std::uintptr_t address, const std::uintptr_t (&words)[10],
                                                  std::uintptr_t& result)
{
    result = call_address(address, words[0], words[1], words[2], words[3], words[4], words[5], words[6],
                          words[7], words[8], words[9]);
    return stack_level();
}

TEST(SkinSmoke, CallAddressCallsStdcallWithZeroTwoAndTenArguments)
{
    struct Case {
        std::uintptr_t address;
        std::uintptr_t words[10];
        std::uintptr_t expected;
    };
    const Case cases[] = {
        {reinterpret_cast<std::uintptr_t>(&no_arguments), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 7},
        {reinterpret_cast<std::uintptr_t>(&two_arguments), {4, 2, 9, 9, 9, 9, 9, 9, 9, 9}, 42},
        {reinterpret_cast<std::uintptr_t>(&ten_arguments), {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 55},
        {reinterpret_cast<std::uintptr_t>(&ten_arguments), {0, 0, 0, 0, 0, 0, 0, 0, 0, 3}, 30},
    };
    std::uintptr_t result = 0;
    const std::uintptr_t level = level_after_call(cases[0].address, cases[0].words, result);
    // Repeated, so a stack left 40 or 32 bytes off would show in the level and in the results.
    for (int round = 0; round < 4; ++round) {
        for (const Case& c : cases) {
            EXPECT_EQ(level_after_call(c.address, c.words, result), level);
            EXPECT_EQ(result, c.expected);
        }
    }
}

TEST(SkinSmoke, EmbeddedLibraryLoadsAttachesAndDetaches)
{
    static_assert(native_pe_format == PeFormat::pe32);
    load_skin_library();
    ASSERT_NE(skin_library.image_base(), 0u);
    ASSERT_NE(skin_library.find_export("SkinAttach"), 0u);
    ASSERT_NE(skin_library.find_export("SkinDetach"), 0u);

    test_window::Form form;
    const test_window::Picture before = test_window::capture(form.window);
    const LONG_PTR button_procedure = test_window::procedure_of(form.button);
    attach_skin({SkinBlob, SkinBlob_size});
    form.settle();
    skin_format::Skin skin{};
    ASSERT_TRUE(skin_format::parse(SkinBlob, static_cast<long>(SkinBlob_size), skin));
    const test_window::Picture skinned = test_window::capture(form.window);
    EXPECT_EQ(skinned.at(form.window, form.button, 4, 4), skin.colours[skin_format::button_face]);
    EXPECT_EQ(skinned.at(form.window, form.bar, 60, 10), skin.colours[skin_format::progress_bar]);
    detach_skin();
    detach_skin();
    form.settle();
    EXPECT_EQ(test_window::procedure_of(form.button), button_procedure);
    EXPECT_TRUE(test_window::capture(form.window) == before);
}

} // namespace

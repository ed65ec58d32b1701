#include <gtest/gtest.h>

#include <windows.h>

#include "runtime/late_binding.h"

namespace {

TEST(LateBindingTest, IsWindowAnswersLikeIsWindow)
{
    HWND window = CreateWindowExA(0, "STATIC", "rt", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(late_is_window(window), 0);
    DestroyWindow(window);
    EXPECT_EQ(late_is_window(window), 0);
    EXPECT_EQ(late_is_window(nullptr), 0);
}

TEST(LateBindingTest, FirstCallBindsAndLaterCallsLookNothingUp)
{
    LateBoundFunction slot{"user32", "IsWindow"};
    void* bound = bind_late_function(slot);
    EXPECT_EQ(bound, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32"), "IsWindow")));
    EXPECT_EQ(slot.address.load(), bound);
    // Names that would fail a lookup prove the second call takes the address from the slot.
    slot.module_name = "rt_no_such_module";
    slot.function_name = "Nothing";
    EXPECT_EQ(bind_late_function(slot), bound);
}

TEST(LateBindingTest, LoadsAMissingModuleAndFreesItAtTheEnd)
{
    // A system library this test program does not import, so the binder has to load it.
    const char* module = "msimg32";
    ASSERT_EQ(GetModuleHandleA(module), nullptr);
    LateBoundFunction slot{module, "AlphaBlend"};
    EXPECT_NE(bind_late_function(slot), nullptr);
    EXPECT_NE(GetModuleHandleA(module), nullptr);
    free_late_bound_modules();
    EXPECT_EQ(GetModuleHandleA(module), nullptr);
}

} // namespace

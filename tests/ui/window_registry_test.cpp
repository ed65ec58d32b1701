#include "ui/button_unit.h"
#include "ui/window_registry.h"

#include <gtest/gtest.h>

namespace {

// Handles are only compared, never used, so made-up values serve.
HWND fake_window(std::uintptr_t value)
{
    return reinterpret_cast<HWND>(value);
}

TEST(WindowRegistryTest, MapsEachWindowToOneUnit)
{
    WindowRegistry registry;
    ButtonUnit first;
    ButtonUnit second;

    EXPECT_FALSE(registry.add(nullptr, &first));
    EXPECT_EQ(registry.find(nullptr), nullptr);

    EXPECT_TRUE(registry.add(fake_window(0x10), &first));
    EXPECT_TRUE(registry.add(fake_window(0x10), &first)); // the same pair again is no change
    EXPECT_FALSE(registry.add(fake_window(0x10), &second));
    EXPECT_TRUE(registry.add(fake_window(0x20), &second));
    EXPECT_EQ(registry.find(fake_window(0x10)), &first);
    EXPECT_EQ(registry.find(fake_window(0x20)), &second);
    EXPECT_EQ(registry.find(fake_window(0x30)), nullptr);

    registry.remove(fake_window(0x10));
    EXPECT_EQ(registry.find(fake_window(0x10)), nullptr);
    EXPECT_EQ(registry.find(fake_window(0x20)), &second);
    registry.remove(fake_window(0x30)); // unknown: nothing happens

    registry.clear();
    EXPECT_EQ(registry.find(fake_window(0x20)), nullptr);
}

} // namespace

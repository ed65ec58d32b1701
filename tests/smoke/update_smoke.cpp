// The real 32-bit product, once: a full update under 32-bit Wine. No application runs meanwhile (window
// handle 0): every process start takes a minute or more under emulation, and closing an application is
// covered by the win64 tier.

#include "tests/e2e/update_scene.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(UpdateSmoke, FullUpdateWithTheI686Build)
{
    e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2_x86.exe");
    e2e::UpdateScene scene("UpdateSmoke");
    const std::string url =
        "http://127.0.0.1:" + std::to_string(e2e::server_port("nginx")) + "/demo_v2_x86.exe";
    scene.start_updater(scene.argument_for(url));
    ASSERT_TRUE(scene.wait_for_window(900s)) << "the updater's window never showed";
    ASSERT_EQ(scene.wait_for_exit(900s), 0u);
    EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_2_bytes());
    EXPECT_FALSE(e2e::file_exists(scene.path("SHtemp152.exe")));
}

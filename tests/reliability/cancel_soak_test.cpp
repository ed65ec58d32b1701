// Updates cancelled at a random instant, by the button or the close box, from the window's creation to
// the end of the replacement. Whatever the instant, the program is whole (old or new), the download
// never lingers half written, and the updater ends with code 0 soon after the cancel.
//
// RELIABILITY_RUNS (default 20, long form 100) and RELIABILITY_SEED (default: from the clock) replay a run.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tests/reliability/reliability_scene.h"

using namespace std::chrono_literals;
using namespace reliability;

namespace {

struct Source {
    const char* name;
    std::string url;
    std::string new_bytes;
    // The longest useful delay before the cancel: about the time the whole update takes.
    int max_delay_ms;
};

TEST(CancellationSoak, TheProgramIsAlwaysWholeAndTheUpdaterEnds)
{
    e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2.exe");
    const std::string version_1 = e2e::version_1_bytes();
    const std::string version_2 = e2e::version_2_bytes();
    const Source sources[] = {
        // nginx at 64 KiB/s: about 11 s for the new version.
        {"nginx-slow", nginx_url("/slow/demo_v2.exe"), version_2, 13000},
        // Full speed: the cancel often lands while the application closes or the file is replaced.
        {"nginx-fast", nginx_url("/demo_v2.exe"), version_2, 2500},
        // 40 pieces of 1000 bytes, one every 100 ms.
        {"fault-slow", fault_url("/slow/40"), body_of(40000), 5000},
    };

    const long runs = environment_number("RELIABILITY_RUNS", long_form() ? 100 : 20);
    const auto seed = static_cast<std::uint32_t>(
        environment_number("RELIABILITY_SEED", static_cast<long>(GetTickCount() & 0x7fffffff)));
    std::printf("cancellation soak: %ld runs, RELIABILITY_SEED=%u\n", runs, seed);
    std::mt19937 random(seed);

    long kept_old = 0, installed_new = 0, by_button = 0, ended_first = 0, restarts = 0, lost = 0;
    for (long run = 0; run < runs; ++run) {
        const Source& source = sources[std::uniform_int_distribution<int>(0, 2)(random)];
        const bool button = std::uniform_int_distribution<int>(0, 1)(random) == 1;
        const int delay_ms = std::uniform_int_distribution<int>(0, source.max_delay_ms)(random);
        const std::string label = "run " + std::to_string(run) + ": " + source.name + ", " +
                                  (button ? "button" : "close box") + " after " + std::to_string(delay_ms) +
                                  " ms";
        SCOPED_TRACE(label);
        std::printf("%s\n", label.c_str());
        std::fflush(stdout);

        // The scene reads the application's window number as soon as its file appears, and now and then
        // reads it before the application has written it: that run starts afresh.
        std::optional<e2e::UpdateScene> fresh;
        for (int attempt = 0; attempt < 3; ++attempt) {
            fresh.emplace("Soak");
            if (fresh->start_application())
                break;
            ++restarts;
            fresh.reset();
        }
        ASSERT_TRUE(fresh) << "the application never started";
        e2e::UpdateScene& scene = *fresh;
        scene.start_updater(scene.argument_for(source.url));
        ASSERT_TRUE(scene.wait_for_window()) << "the updater's window never showed";
        Sleep(static_cast<DWORD>(delay_ms));

        // Whether the download had opened its file (and so must be deleted) is seen from the size: the
        // worker first creates the file empty, and an empty file left by a cancel before the download
        // opened it is allowed.
        // An update that ended before the cancel counts as well: it must have left the new version.
        ended_first += !scene.updater_running();
        if (button)
            scene.click_button();
        else
            scene.close_window();
        const auto exit_code = scene.wait_for_exit(15s);
        EXPECT_EQ(exit_code, std::optional<DWORD>(0)) << "no exit with code 0 within 15 s of the cancel";

        const std::string target = e2e::read_file(scene.target_path());
        const bool is_old = target == version_1;
        const bool is_new = target == source.new_bytes;
        EXPECT_TRUE(is_old || is_new) << "the target is " << target.size() << " bytes, neither version";
        const std::string temporary = scene.path(temporary_name);
        if (e2e::file_exists(temporary)) {
            EXPECT_EQ(e2e::read_file(temporary).size(), 0u) << "a partial download was left behind";
        }
        if (is_new) {
            EXPECT_FALSE(e2e::file_exists(temporary));
        }
        if (!is_old && !is_new)
            ++lost;
        is_new ? ++installed_new : ++kept_old;
        by_button += button;
        if (HasFatalFailure())
            break;
    }
    std::printf(
        "cancellation soak: %ld runs, %ld kept the old version, %ld installed the new one, %ld lost\n", runs,
        kept_old, installed_new, lost);
    record_result("soak_runs=" + std::to_string(runs));
    record_result("soak_seed=" + std::to_string(seed));
    record_result("soak_button=" + std::to_string(by_button));
    record_result("soak_application_restarts=" + std::to_string(restarts));
    record_result("soak_ended_before_cancel=" + std::to_string(ended_first));
    record_result("soak_kept_old=" + std::to_string(kept_old));
    record_result("soak_installed_new=" + std::to_string(installed_new));
    record_result("soak_failures=" + std::to_string(::testing::Test::HasFailure() ? 1 : 0));
    record_result("soak_lost=" + std::to_string(lost));
}

} // namespace

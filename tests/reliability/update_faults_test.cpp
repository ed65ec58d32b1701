// Whole updates under faults of the network, the disk and the command line. Each must end with a clear
// message from the program's texts, exit code 0, and the old program in place unless the download was
// complete and correct. (tests/e2e covers 404, 500, the redirect to a 404, the empty, short and dropped
// bodies; these are the rest.)

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/reliability/reliability_scene.h"

using namespace std::chrono_literals;
using namespace reliability;

namespace {

const wchar_t* const cannot_open_address = L"更新失败！不能打开该下载地址！请稍后再试！";
const wchar_t* const cannot_open_output = L"抱歉！无法打开自动更新程序！";
const wchar_t* const read_error = L"读文件出错!";
const wchar_t* const delete_failed =
    L"抱歉！软件自动更新失败！原因：无法删除原程序，升级过程中不要使用要升级的那款软件！";
const wchar_t* const move_failed = L"抱歉！软件自动更新失败！建议在官网下载！";
const wchar_t* const open_program_notice = L"请打开你要更新的那款软件，有新版本的话软件会提示你更新！";

std::string test_name()
{
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

void expect_untouched(const e2e::UpdateScene& scene)
{
    EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_1_bytes());
    EXPECT_EQ(scene.starts(), std::vector<std::string>{"version 1"});
}

// After a failure message the window stays; closing it ends the updater with code 0.
void close_and_expect_exit(e2e::UpdateScene& scene)
{
    scene.close_window();
    EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
}

struct FailureCase {
    const char* name;
    std::string url;
    const wchar_t* text;
};

TEST(NetworkFaults, EachIsReportedAndNothingIsInstalled)
{
    const FailureCase cases[] = {
        // Port 1 of the loopback address: nothing listens there, so the connection is refused.
        {"refused", "http://127.0.0.1:1/app.exe", cannot_open_address},
        {"unresolvable name", "http://updates.nowhere.invalid/app.exe", cannot_open_address},
        {"503", fault_url("/status/503"), cannot_open_address},
        {"head then reset", fault_url("/cut"), read_error},
        // Announces 4 GiB + 1000 bytes and ends after 10240.
        {"length above 4 GiB", fault_url("/huge"), read_error},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        e2e::UpdateScene scene(test_name());
        ASSERT_TRUE(scene.start_application());
        scene.start_updater(scene.argument_for(failure.url));
        ASSERT_TRUE(scene.wait_for_window());
        auto box = scene.dismiss_message_box(60s);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, failure.text);
        close_and_expect_exit(scene);
        EXPECT_TRUE(scene.application_running());
        expect_untouched(scene);
        std::printf("fault %s: reported\n", failure.name);
        record_result(std::string("fault=") + failure.name);
    }
}

// A chunked or gzip-encoded answer is a complete download: the bytes as received replace the program.
TEST(NetworkFaults, ChunkedAndGzipBodiesAreInstalledAsReceived)
{
    const struct {
        const char* name;
        std::string path;
        std::string bytes;
    } cases[] = {
        {"chunked", "/chunked", body_of(30000)},
        {"gzip", "/gzip", e2e::read_file(e2e::server_state_dir() + "\\gzip_body.bin")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        e2e::UpdateScene scene(test_name());
        ASSERT_TRUE(scene.start_application());
        scene.start_updater(scene.argument_for(fault_url(c.path)));
        EXPECT_EQ(scene.wait_for_exit(60s), std::optional<DWORD>(0));
        EXPECT_EQ(e2e::read_file(scene.target_path()), c.bytes);
        EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
        record_result(std::string("fault=") + c.name);
    }
}

// The server sends a quarter of the body and goes silent; the user can still cancel.
TEST(NetworkFaults, CancelDuringAStallEndsTheUpdater)
{
    e2e::UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application());
    // WinINet fills a whole block before it returns, so the first 5000 bytes show no progress: the
    // request reaching the server says the stall has begun.
    const std::string request = e2e::server_state_dir() + "\\requests\\90.txt";
    DeleteFileA(request.c_str());
    scene.start_updater(scene.argument_for(fault_url("/stall/90")));
    ASSERT_TRUE(scene.wait_for_window());
    for (int i = 0; i < 1500 && !e2e::file_exists(request); ++i)
        Sleep(20);
    ASSERT_TRUE(e2e::file_exists(request));
    // The long form waits past a minute of silence; a message about it, if any, comes first.
    Sleep(long_form() ? 65000 : 2000);
    if (scene.message_box_shown()) {
        auto box = scene.dismiss_message_box();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, read_error);
    }
    EXPECT_TRUE(scene.updater_running());
    scene.click_button();
    EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
    EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
    expect_untouched(scene);
    record_result("fault=stall");
}

// A folder on a tmpfs of 2 MiB that the fixture mounted (tests/reliability/small_disk.sh): the
// updater and the application take about 1 MiB, the 4 MiB download cannot fit.
TEST(DiskFaults, DiskThatFillsDuringTheDownload)
{
    e2e::UpdateScene scene("SmallDisk");
    if (!e2e::file_exists(scene.folder() + "\\..\\SmallDisk.mounted"))
        GTEST_SKIP() << "no small disk mounted (needs root)";
    const std::string big = std::string(4 * 1024 * 1024, 'b');
    e2e::write_file(e2e::server_state_dir() + "\\www\\big.bin", big);
    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for(nginx_url("/big.bin")));
    ASSERT_TRUE(scene.wait_for_window());
    auto box = scene.dismiss_message_box(60s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, cannot_open_output);
    close_and_expect_exit(scene);
    EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)))
        << "the partial download must go to free the disk";
    expect_untouched(scene);
    record_result("fault=disk full");
}

// The download completes but the old program cannot be deleted: it stays, with the new one beside it.
TEST(DiskFaults, TargetThatCannotBeDeletedKeepsTheOldProgram)
{
    e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2.exe");
    for (const bool read_only : {true, false}) {
        SCOPED_TRACE(read_only ? "read-only" : "held open");
        e2e::UpdateScene scene(test_name());
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (read_only) {
            ASSERT_TRUE(SetFileAttributesA(scene.target_path().c_str(), FILE_ATTRIBUTE_READONLY));
        } else {
            // Another process's handle without delete sharing looks the same to the updater.
            holder = CreateFileA(scene.target_path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        // No application runs: the window number 0 asks nobody to close.
        scene.start_updater("\"" + nginx_url("/demo_v2.exe") + ",app.exe,0,0\"");
        ASSERT_TRUE(scene.wait_for_window());
        auto box = scene.dismiss_message_box(60s);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, delete_failed);
        EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        SetFileAttributesA(scene.target_path().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_1_bytes());
        EXPECT_EQ(e2e::read_file(scene.path(temporary_name)), e2e::version_2_bytes());
        record_result(std::string("fault=") + (read_only ? "read-only target" : "target held open"));
    }
}

// Another process (a virus scanner, say) holds the finished download without sharing its deletion: it
// cannot be moved, and the old program must not have been deleted first.
TEST(DiskFaults, DownloadHeldByAnotherProcessKeepsTheOldProgram)
{
    e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2.exe");
    e2e::UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for(nginx_url("/slow/demo_v2.exe")));
    ASSERT_TRUE(scene.wait_for_window());
    const std::string temporary = scene.path(temporary_name);
    for (int i = 0; i < 1500 && !e2e::file_exists(temporary); ++i)
        Sleep(20);
    HANDLE holder = CreateFileA(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    auto box = scene.dismiss_message_box(60s);
    CloseHandle(holder);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, move_failed);
    EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
    EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_1_bytes()) << "the old program was lost";
    EXPECT_EQ(e2e::read_file(temporary), e2e::version_2_bytes());
    record_result("fault=download held without delete sharing");
}

TEST(DiskFaults, TemporaryNameThatIsAFolder)
{
    e2e::UpdateScene scene(test_name());
    const std::string folder = scene.path(temporary_name);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    e2e::write_file(folder + "\\keep.txt", "kept");
    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for(fault_url("/body/20000/app.exe")));
    ASSERT_TRUE(scene.wait_for_window());
    auto box = scene.dismiss_message_box(60s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, cannot_open_output);
    close_and_expect_exit(scene);
    EXPECT_EQ(e2e::read_file(folder + "\\keep.txt"), "kept");
    expect_untouched(scene);
    record_result("fault=temporary name is a folder");
}

// Command lines that are no record, or name a target outside the updater's folder: the notice, no
// window, nothing touched anywhere.
TEST(HostileInput, RefusedCommandLinesTouchNothing)
{
    const std::string cases[] = {
        "\"http://127.0.0.1:1/a.exe,app.exe,1,0",          // unbalanced quote: the record is still whole
        "http://127.0.0.1:1/a.exe,\"app.exe,1,0",          // a quote inside a field
        "\"http://127.0.0.1:1/a.exe,app\xB8,1,0\"",        // a lone GBK lead byte at the name's end
        "\"http://127.0.0.1:1/a.exe,a\x01pp.exe,1,0\"",    // a control byte
        "\"http://127.0.0.1:1/a.exe,..\\victim.exe,1,0\"", // leaves the folder
        "\"http://127.0.0.1:1/a.exe,sub\\..\\..\\victim.exe,1,0\"",
        "\"http://127.0.0.1:1/a.exe,Z:\\tmp\\victim.exe,1,0\"", // absolute
        "\"http://127.0.0.1:1/a.exe,Z:victim.exe,1,0\"",        // drive-relative
        "\"http://127.0.0.1:1/a.exe,app.exe:stream,1,0\"",      // alternate data stream
        "\"http://127.0.0.1:1/a.exe,\\victim.exe,1,0\"",        // the drive's root
        std::string(32000, 'x'),                                // huge, and no record
    };
    int index = 0;
    for (const std::string& argument : cases) {
        SCOPED_TRACE(std::to_string(index++) + ": " + argument.substr(0, 60));
        e2e::UpdateScene scene(test_name(), "app.exe", "\\inner");
        const std::string victim = scene.folder() + "\\..\\victim.exe";
        e2e::write_file(victim, "victim");
        scene.start_updater(argument);
        const bool unbalanced_but_whole = index == 1;
        if (unbalanced_but_whole) {
            // An unclosed quote runs to the end: a valid record that fails to download.
            ASSERT_TRUE(scene.wait_for_window());
            auto box = scene.dismiss_message_box(60s);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, cannot_open_address);
            close_and_expect_exit(scene);
        } else {
            auto box = scene.dismiss_message_box();
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, open_program_notice);
            EXPECT_FALSE(scene.wait_for_window(0ms));
            EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
        }
        EXPECT_EQ(e2e::read_file(victim), "victim");
        EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_1_bytes());
        // The worker creates the temporary file empty before it connects; a download that never opened
        // it leaves it so, and never partly written.
        if (unbalanced_but_whole && e2e::file_exists(scene.path(temporary_name)))
            EXPECT_EQ(e2e::read_file(scene.path(temporary_name)), "");
        else
            EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
        record_result("input=" + std::to_string(index));
    }
}

// A 32 KiB address is a record; the download fails and nothing is installed.
TEST(HostileInput, HugeAddressFailsCleanly)
{
    e2e::UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for("http://127.0.0.1:1/" + std::string(32000, 'a')));
    ASSERT_TRUE(scene.wait_for_window());
    auto box = scene.dismiss_message_box(60s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, cannot_open_address);
    close_and_expect_exit(scene);
    expect_untouched(scene);
    record_result("input=huge address");
}

// The window given is another program's: it is asked to close, but the target's own process keeps the
// file, so the replacement is refused and the old program stays.
TEST(HostileInput, WindowOfAnotherProcessDoesNotLoseTheProgram)
{
    e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2.exe");
    e2e::UpdateScene other(test_name() + "Other");
    const HWND other_window = other.start_application();
    ASSERT_TRUE(other_window);
    e2e::UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application());
    scene.start_updater("\"" + nginx_url("/demo_v2.exe") + ",app.exe," +
                        std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(other_window))) +
                        ",0\"");
    ASSERT_TRUE(scene.wait_for_window());
    auto box = scene.dismiss_message_box(60s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, delete_failed);
    EXPECT_EQ(scene.wait_for_exit(15s), std::optional<DWORD>(0));
    EXPECT_TRUE(scene.application_running());
    expect_untouched(scene);
    record_result("input=window of another process");
}

} // namespace

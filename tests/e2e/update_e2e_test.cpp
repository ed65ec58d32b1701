// Whole updates, driven as an application and its user would: updater.exe started with a command line
// beside a running application, against nginx and the fault server on 127.0.0.1.

#include "tests/e2e/update_scene.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using e2e::UpdateScene;

namespace {

// With the system's unseeded generator the worker's first draw is always 152.
constexpr const char* temporary_name = "SHtemp152.exe";

std::string nginx_url(const std::string& name)
{
    return "http://127.0.0.1:" + std::to_string(e2e::server_port("nginx")) + "/" + name;
}

std::string fault_url(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(e2e::server_port("fault")) + path;
}

class UpdateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { e2e::publish(UPDATER_DEMO_APP_V2, "demo_v2.exe"); }

    static std::string test_name() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

    // The old program is in place, byte for byte, and still the one running.
    static void expect_untouched(const UpdateScene& scene)
    {
        EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_1_bytes());
        EXPECT_EQ(scene.starts(), std::vector<std::string>{"version 1"});
    }
};

TEST_F(UpdateTest, FullUpdateReplacesTheProgramAndStartsTheNewVersion)
{
    UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for(nginx_url("demo_v2.exe")));

    ASSERT_TRUE(scene.wait_for_window()) << "the updater's window never showed";
    EXPECT_EQ(scene.button_text(), L"取消更新");
    ASSERT_EQ(scene.wait_for_exit(60s), 0u);

    EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_2_bytes());
    EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
    EXPECT_FALSE(scene.application_running()) << "version 1 was asked to close and should have";
    for (int i = 0; i < 250 && scene.starts().size() < 2; ++i)
        Sleep(20);
    EXPECT_EQ(scene.starts(), (std::vector<std::string>{"version 1", "version 2"}));
}

TEST_F(UpdateTest, BadCommandLinesGetTheNoticeAndNeverAWindow)
{
    const std::string cases[] = {
        "",                     // no argument
        "\"a,b,c\"",            // three pieces
        "\"a,b,c,\"",           // a trailing comma adds no piece
        "a,b c,d,e",            // an unquoted blank makes two arguments
        "\"a,b,c,d\" extra",    // two arguments
    };
    for (const std::string& argument : cases) {
        SCOPED_TRACE(argument);
        UpdateScene scene(test_name());
        scene.start_updater(argument);
        auto box = scene.dismiss_message_box();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, L"提示");
        EXPECT_EQ(box->text, L"请打开你要更新的那款软件，有新版本的话软件会提示你更新！");
        EXPECT_FALSE(scene.wait_for_window(0ms));
        EXPECT_EQ(scene.wait_for_exit(15s), 0u);
        EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
    }
}

// Cancelling by the button and by the close box, during a download that is still running.
TEST_F(UpdateTest, CancelDuringDownloadKeepsTheOldProgramAndRemovesTheDownload)
{
    for (bool by_button : {true, false}) {
        SCOPED_TRACE(by_button ? "button" : "close box");
        UpdateScene scene(test_name() + (by_button ? "Button" : "Close"));
        ASSERT_TRUE(scene.start_application());
        scene.start_updater(scene.argument_for(fault_url("/slow/600")));
        ASSERT_TRUE(scene.wait_for_window());
        ASSERT_TRUE(scene.wait_for_status([](const std::wstring& text) { return text.find(L"已下载:") != std::wstring::npos; }));
        ASSERT_TRUE(e2e::file_exists(scene.path(temporary_name)));

        if (by_button)
            scene.click_button();
        else
            scene.close_window();
        EXPECT_EQ(scene.wait_for_exit(15s), 0u);
        EXPECT_FALSE(e2e::file_exists(scene.path(temporary_name)));
        EXPECT_TRUE(scene.application_running()) << "a cancelled update must not close the application";
        expect_untouched(scene);
    }
}

struct FailureCase {
    const char* path;
    const wchar_t* caption;
    const wchar_t* text;
    // Whether the temporary file had been opened: closing the window then deletes it.
    bool temporary_deleted_on_close;
};

TEST_F(UpdateTest, FailedDownloadsAreReportedAndNothingIsInstalled)
{
    const FailureCase cases[] = {
        {"/status/404", L"更新失败", L"更新失败！不能打开该下载地址！请稍后再试！", false},
        {"/status/500", L"更新失败", L"更新失败！不能打开该下载地址！请稍后再试！", false},
        {"/moved", L"更新失败", L"更新失败！不能打开该下载地址！请稍后再试！", false},
        {"/empty", L"更新失败", L"更新失败！不能打开该下载地址！请稍后再试！", true},
        {"/short", L"信息", L"读文件出错!", true},
        {"/drop", L"信息", L"读文件出错!", true},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.path);
        UpdateScene scene(test_name());
        ASSERT_TRUE(scene.start_application());
        scene.start_updater(scene.argument_for(fault_url(failure.path)));
        ASSERT_TRUE(scene.wait_for_window());
        auto box = scene.dismiss_message_box();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, failure.caption);
        EXPECT_EQ(box->text, failure.text);

        // The window stays for the user, still offering to cancel.
        Sleep(200);
        EXPECT_TRUE(scene.updater_running());
        EXPECT_EQ(scene.button_text(), L"取消更新");
        scene.close_window();
        EXPECT_EQ(scene.wait_for_exit(15s), 0u);
        EXPECT_EQ(e2e::file_exists(scene.path(temporary_name)), !failure.temporary_deleted_on_close);
        EXPECT_TRUE(scene.application_running());
        expect_untouched(scene);
    }
}

TEST_F(UpdateTest, ApplicationThatDoesNotCloseKeepsItsProgram)
{
    UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application("--refuse-close"));
    scene.start_updater(scene.argument_for(nginx_url("demo_v2.exe")));
    ASSERT_TRUE(scene.wait_for_window());
    auto box = scene.dismiss_message_box(40s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"提示");
    EXPECT_EQ(box->text, L"抱歉！软件自动更新失败！原因：无法删除原程序，升级过程中不要使用要升级的那款软件！");
    EXPECT_EQ(scene.wait_for_exit(15s), 0u);
    EXPECT_TRUE(scene.application_running()) << "the application must never be killed";
    expect_untouched(scene);
    // The complete download stays beside the updater.
    EXPECT_EQ(e2e::read_file(scene.path(temporary_name)), e2e::version_2_bytes());
}

TEST_F(UpdateTest, ApplicationThatTakesItsTimeToCloseIsWaitedFor)
{
    UpdateScene scene(test_name());
    ASSERT_TRUE(scene.start_application("--close-delay 2000"));
    scene.start_updater(scene.argument_for(nginx_url("demo_v2.exe")));
    ASSERT_EQ(scene.wait_for_exit(60s), 0u);
    EXPECT_FALSE(scene.message_box_shown());
    EXPECT_EQ(e2e::read_file(scene.target_path()), e2e::version_2_bytes());
}

// In "...\My Apps" an unquoted command line would start "...\My.exe"; the decoy must never run.
TEST_F(UpdateTest, TargetPathWithBlanksStartsTheRightProgram)
{
    UpdateScene scene(test_name(), "app.exe", "\\My Apps");
    const std::string parent = scene.folder().substr(0, scene.folder().find_last_of('\\'));
    CopyFileA(scene.target_path().c_str(), (parent + "\\My.exe").c_str(), FALSE);
    DeleteFileA((parent + "\\started.log").c_str());

    ASSERT_TRUE(scene.start_application());
    scene.start_updater(scene.argument_for(nginx_url("demo_v2.exe")));
    ASSERT_EQ(scene.wait_for_exit(60s), 0u);
    for (int i = 0; i < 250 && scene.starts().size() < 2; ++i)
        Sleep(20);
    EXPECT_EQ(scene.starts(), (std::vector<std::string>{"version 1", "version 2"}));
    EXPECT_FALSE(e2e::file_exists(parent + "\\started.log")) << "the decoy My.exe was started";
}

} // namespace

// The WinINet engine against real servers on 127.0.0.1: nginx for ordinary and ranged downloads, and the
// project's fault server for bad answers. CTest starts both (tests/servers) and hands over their ports
// in a file; the paths are Wine's Z: view of the build tree.
#include "app/download.h"

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
// clang-format on

#include <atomic>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "resources/texts.h"

namespace {

const std::string state_dir = DOWNLOAD_SERVER_STATE;

std::map<std::string, int> read_ports()
{
    std::map<std::string, int> ports;
    std::ifstream file(state_dir + "/ports.txt");
    std::string line;
    while (std::getline(file, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            ports[line.substr(0, equals)] = std::stoi(line.substr(equals + 1));
        }
    }
    return ports;
}

std::string nginx_url(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(read_ports().at("nginx")) + path;
}

std::string fault_url(const std::string& path)
{
    return "http://127.0.0.1:" + std::to_string(read_ports().at("fault")) + path;
}

ByteBuffer read_bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return ByteBuffer(std::istreambuf_iterator<char>(file), {});
}

void write_text_file(const std::string& path, std::string_view content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

ByteBuffer body_of(std::size_t size, std::size_t from = 0)
{
    ByteBuffer body;
    for (std::size_t i = from; i < size; ++i) {
        body.push_back(static_cast<std::uint8_t>(i % 251));
    }
    return body;
}

struct ProgressCall {
    std::int32_t total, downloaded, elapsed, received;
};

std::mutex progress_lock;
std::vector<ProgressCall> progress_calls;

void record_progress(std::int32_t total, std::int32_t downloaded, std::int32_t elapsed, std::int32_t received)
{
    const std::lock_guard lock(progress_lock);
    progress_calls.push_back({total, downloaded, elapsed, received});
}

std::vector<ProgressCall> recorded_progress()
{
    const std::lock_guard lock(progress_lock);
    return progress_calls;
}

struct SeenBox {
    std::string caption;
    std::string content;
};

// Finds the message boxes this process shows, keeps their caption and text, and presses OK on them, so a
// failing download never leaves the test waiting for a user.
class MessageBoxWatcher {
  public:
    MessageBoxWatcher()
        : thread_([this] {
              while (!done_.load()) {
                  EnumWindows(&MessageBoxWatcher::visit, reinterpret_cast<LPARAM>(this));
                  Sleep(20);
              }
          })
    {
    }
    ~MessageBoxWatcher()
    {
        done_.store(true);
        thread_.join();
    }

    std::vector<SeenBox> boxes()
    {
        const std::lock_guard lock(lock_);
        return boxes_;
    }

  private:
    static BOOL CALLBACK visit(HWND window, LPARAM self)
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char class_name[32] = {};
        GetClassNameA(window, class_name, sizeof(class_name));
        if (process != GetCurrentProcessId() || std::string_view(class_name) != "#32770" ||
            !IsWindowVisible(window)) {
            return TRUE;
        }
        auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
        char caption[256] = {};
        char content[1024] = {};
        GetWindowTextA(window, caption, sizeof(caption));
        GetDlgItemTextA(window, 0xFFFF, content, sizeof(content));
        {
            const std::lock_guard lock(watcher->lock_);
            if (watcher->handled_.insert(window).second) {
                watcher->boxes_.push_back({caption, content});
            }
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    std::atomic<bool> done_{false};
    std::mutex lock_;
    std::vector<SeenBox> boxes_;
    std::set<HWND> handled_;
    std::thread thread_;
};

// 信息, the message service's default caption.
constexpr std::string_view information_caption = "\xD0\xC5\xCF\xA2";

class DownloadWin : public testing::Test {
  protected:
    void SetUp() override
    {
        reset_download_stop();
        {
            const std::lock_guard lock(progress_lock);
            progress_calls.clear();
        }
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        CreateDirectoryA((state_dir + "/out").c_str(), nullptr);
        output = state_dir + "/out/" + name + ".exe";
        DeleteFileA(output.c_str());
    }
    void TearDown() override { reset_download_stop(); }

    std::int32_t download(const std::string& url, std::int32_t start_offset = 0, bool resume = false)
    {
        return download_to_file(url, output, record_progress, start_offset, resume);
    }

    // The engine closed its file: nothing else holds it, so it can be deleted (it is shared without delete).
    bool output_closed() { return DeleteFileA(output.c_str()) != 0; }

    std::string output;
    MessageBoxWatcher watcher;
};

TEST_F(DownloadWin, OrdinaryDownloadWritesTheBodyAndReportsEveryBlock)
{
    ASSERT_EQ(download(nginx_url("/payload.bin")), 0);
    EXPECT_EQ(read_bytes(output), body_of(100000));
    const std::vector<ProgressCall> calls = recorded_progress();
    ASSERT_FALSE(calls.empty());
    std::int32_t previous = 0;
    for (const ProgressCall& call : calls) {
        EXPECT_EQ(call.total, 100000);
        EXPECT_GT(call.downloaded, previous);
        EXPECT_LE(call.downloaded - previous, 10240);
        EXPECT_EQ(call.received, call.downloaded);
        EXPECT_GT(call.elapsed, 0);
        previous = call.downloaded;
    }
    EXPECT_EQ(previous, 100000);
    EXPECT_NE(download_file.load(), 0u);
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_TRUE(output_closed());
}

TEST_F(DownloadWin, RangedDownloadAppendsTheRest)
{
    const ByteBuffer head = body_of(1000);
    write_text_file(output, std::string_view(reinterpret_cast<const char*>(head.data()), head.size()));
    ASSERT_EQ(download(nginx_url("/payload.bin"), 1000, true), 0);
    EXPECT_EQ(read_bytes(output), body_of(100000));
    const std::vector<ProgressCall> calls = recorded_progress();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().total, 99000); // the length of the part sent
    EXPECT_EQ(calls.front().downloaded - calls.front().received, 1000);
    EXPECT_EQ(calls.back().downloaded, 100000);
    EXPECT_EQ(calls.back().received, 99000);
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(DownloadWin, SendsTheFixedHeaderBlock)
{
    ASSERT_EQ(download(fault_url("/body/3000/headers-fresh")), 0);
    EXPECT_EQ(read_bytes(output), body_of(3000));
    const ByteBuffer raw = read_bytes(state_dir + "/requests/headers-fresh.txt");
    const std::string head(raw.begin(), raw.end());
    EXPECT_TRUE(head.starts_with("GET /body/3000/headers-fresh HTTP/1.1\r\n")) << head;
    for (const char* line :
         {"\r\nAccept: */*\r\n", "\r\nAccept-Language: zh-cn\r\n", "\r\nAccept-Encoding: gzip, deflate\r\n",
          "\r\nUser-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)\r\n",
          "\r\nPragma: no-cache\r\n"}) {
        EXPECT_NE(head.find(line), std::string::npos) << line << " missing from\n" << head;
    }
    EXPECT_EQ(head.find("Range"), std::string::npos) << head;
}

TEST_F(DownloadWin, ResumeAsksForTheRangeAndAppends)
{
    write_text_file(output, std::string(1000, 'x'));
    ASSERT_EQ(download(fault_url("/body/5000/headers-resume"), 1000, true), 0);
    const ByteBuffer raw = read_bytes(state_dir + "/requests/headers-resume.txt");
    const std::string head(raw.begin(), raw.end());
    // Wine puts a blank after the colon; the header is the same either way.
    EXPECT_TRUE(head.find("\r\nRange:bytes=1000-\r\n") != std::string::npos ||
                head.find("\r\nRange: bytes=1000-\r\n") != std::string::npos)
        << head;
    ByteBuffer expected(1000, 'x');
    const ByteBuffer rest = body_of(5000, 1000);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(read_bytes(output), expected);
}

TEST_F(DownloadWin, ChunkedAnswerWithoutLengthCompletesWithZeroTotal)
{
    ASSERT_EQ(download(fault_url("/chunked/x")), 0);
    EXPECT_EQ(read_bytes(output), body_of(30000));
    for (const ProgressCall& call : recorded_progress()) {
        EXPECT_EQ(call.total, 0);
    }
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(DownloadWin, CompressedAnswerIsWrittenAsReceived)
{
    ASSERT_EQ(download(fault_url("/gzip/x")), 0);
    const ByteBuffer written = read_bytes(output);
    EXPECT_EQ(written, read_bytes(state_dir + "/gzip_body.bin"));
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written[0], 0x1F); // still gzip: nothing decoded it
    EXPECT_EQ(written[1], 0x8B);
}

TEST_F(DownloadWin, TrickledBodyArrivesWhole)
{
    ASSERT_EQ(download(fault_url("/slow/5")), 0);
    EXPECT_EQ(read_bytes(output), body_of(5000));
}

struct FailureCase {
    const char* name;
    const char* path; // on the fault server; empty: see url
    std::string_view content;
    std::string_view caption;
};

class DownloadFailure : public DownloadWin, public testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailure, ShowsItsBoxAndReturnsMinusOne)
{
    const FailureCase& c = GetParam();
    ASSERT_EQ(download(fault_url(c.path)), -1);
    const std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].content, c.content);
    EXPECT_EQ(boxes[0].caption, c.caption);
    EXPECT_TRUE(output_closed() || GetFileAttributesA(output.c_str()) == INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(
    BadAnswers, DownloadFailure,
    testing::Values(
        FailureCase{"NotFound", "/status/404", texts::cannot_open_address, texts::update_failed_caption},
        FailureCase{"ServerError", "/status/500", texts::cannot_open_address, texts::update_failed_caption},
        FailureCase{"Unavailable", "/status/503", texts::cannot_open_address, texts::update_failed_caption},
        FailureCase{"MovedToNotFound", "/moved/x", texts::cannot_open_address, texts::update_failed_caption},
        FailureCase{"EmptyBody", "/empty/x", texts::cannot_open_address, texts::update_failed_caption},
        FailureCase{"ShortBody", "/short/x", texts::read_error, information_caption},
        FailureCase{"DroppedConnection", "/drop/x", texts::read_error, information_caption},
        FailureCase{"Beyond4GiBAnnounced", "/huge/x", texts::read_error, information_caption}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(DownloadWin, RefusedAnswerLeavesAnExistingFileAlone)
{
    write_text_file(output, "old program");
    ASSERT_EQ(download(fault_url("/status/404")), -1);
    const ByteBuffer kept = read_bytes(output);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old program");
}

TEST_F(DownloadWin, UnreachableAddressShowsTheAddressBox)
{
    // Port 1 on the loopback: nothing listens there, the connection is refused.
    ASSERT_EQ(download("http://127.0.0.1:1/nothing-listens"), -1);
    const std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].content, texts::cannot_open_address);
    EXPECT_EQ(boxes[0].caption, texts::update_failed_caption);
}

TEST_F(DownloadWin, UnwritableOutputShowsTheOutputBox)
{
    output = state_dir + "/no-such-directory/new.exe";
    ASSERT_EQ(download(nginx_url("/small.bin")), -1);
    const std::vector<SeenBox> boxes = watcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].content, texts::cannot_open_output);
    EXPECT_EQ(boxes[0].caption, texts::update_failed_caption);
    EXPECT_EQ(download_file.load(), 0u);
}

std::atomic<bool> first_block_seen{false};

void note_first_block(std::int32_t, std::int32_t, std::int32_t, std::int32_t)
{
    first_block_seen.store(true);
}

TEST_F(DownloadWin, StopDuringTheBodyEndsQuietly)
{
    first_block_seen.store(false);
    std::int32_t result = 1;
    // 300 pieces of 100 ms: unstopped, this would take half a minute and then succeed.
    std::thread downloader(
        [&] { result = download_to_file(fault_url("/slow/300"), output, note_first_block, 0, false); });
    while (!first_block_seen.load()) {
        Sleep(10);
    }
    request_download_stop();
    downloader.join();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_TRUE(output_closed());
}

TEST_F(DownloadWin, StopWhileTheServerKeepsSilentEndsQuietly)
{
    std::int32_t result = 1;
    std::thread downloader([&] { result = download(fault_url("/silent/x")); });
    // Give the request time to be sent; the server never answers it and hangs up after a few seconds.
    // Windows breaks the blocked open when its handle is closed; Wine only when the server hangs up.
    // Either way the stop must win over the failure that follows: no box.
    Sleep(500);
    request_download_stop();
    downloader.join();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(DownloadWin, StopBeforeTheStartTouchesNothing)
{
    write_text_file(output, "old program");
    request_download_stop();
    ASSERT_EQ(download(nginx_url("/small.bin")), -1);
    const ByteBuffer kept = read_bytes(output);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old program");
    EXPECT_TRUE(watcher.boxes().empty());
    reset_download_stop();
    EXPECT_EQ(download(nginx_url("/small.bin")), 0);
    EXPECT_EQ(read_bytes(output), body_of(3000));
}

} // namespace

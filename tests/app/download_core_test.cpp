#include "app/download_core.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

struct ProgressCall {
    std::int32_t total, downloaded, elapsed, received;
    bool operator==(const ProgressCall&) const = default;
};

std::vector<ProgressCall> progress_calls;

void record_progress(std::int32_t total, std::int32_t downloaded, std::int32_t elapsed, std::int32_t received)
{
    progress_calls.push_back({total, downloaded, elapsed, received});
}

// A scripted network, clock and file. Every read hands out the next scripted block; the script says where
// things fail.
class FakeSystem : public DownloadSystem {
  public:
    // Script.
    std::uint32_t flags = 0;
    bool internet_opens = true;
    bool url_opens = true;
    std::optional<std::uint32_t> status = 200;
    std::optional<std::uint32_t> length_number;
    std::optional<Text> length_text;
    std::deque<std::size_t> blocks;        // sizes of the blocks the server delivers, then the end
    int failing_read = -1;                 // index of the read that fails
    int failing_write = -1;                // index of the write that fails
    int stop_before_read = -1;             // a stop request arrives while this read blocks
    std::deque<std::uint32_t> ticks{1000}; // readings of the tick counter; the last one repeats
    bool output_exists = false;
    bool output_opens = true;

    // Record.
    Text agent_name;
    std::uint32_t access_type = 99;
    Text url;
    Text headers;
    std::uint32_t request_flags = 0;
    int open_mode = 0;
    int opens = 0;
    int seeks = 0;
    int closes = 0;
    bool url_opened = false;
    std::vector<std::size_t> read_sizes;
    ByteBuffer written;
    bool stop = false;

    std::uint32_t tick_count() override
    {
        const std::uint32_t tick = ticks.front();
        if (ticks.size() > 1) {
            ticks.pop_front();
        }
        return tick;
    }
    bool stop_requested() override { return stop; }
    std::uint32_t connected_state_flags() override { return flags; }
    bool open_internet(const Text& agent, std::uint32_t access) override
    {
        agent_name = agent;
        access_type = access;
        return internet_opens;
    }
    bool open_url(const Text& address, const Text& header_text, std::uint32_t request) override
    {
        url_opened = true;
        url = address;
        headers = header_text;
        request_flags = request;
        return url_opens;
    }
    std::optional<std::uint32_t> status_code() override { return status; }
    std::optional<std::uint32_t> content_length_number() override { return length_number; }
    std::optional<Text> content_length_text() override { return length_text; }
    bool read(std::span<std::uint8_t> buffer, std::size_t& bytes_read) override
    {
        const int index = static_cast<int>(read_sizes.size());
        read_sizes.push_back(buffer.size());
        bytes_read = 0;
        if (index == stop_before_read) {
            stop = true;
            return false;
        }
        if (index == failing_read) {
            return false;
        }
        if (blocks.empty()) {
            return true;
        }
        bytes_read = blocks.front();
        blocks.pop_front();
        // Recognisable content: each byte is its position in the body, modulo 251.
        for (std::size_t i = 0; i < bytes_read; ++i) {
            buffer[i] = static_cast<std::uint8_t>((served_ + i) % 251);
        }
        served_ += bytes_read;
        return true;
    }
    bool file_exists(const Text&) override { return output_exists; }
    bool open_output(const Text&, int mode) override
    {
        ++opens;
        open_mode = mode;
        return output_opens;
    }
    void seek_output_to_end() override { ++seeks; }
    bool write_output(std::span<const std::uint8_t> bytes) override
    {
        if (writes_++ == failing_write) {
            return false;
        }
        written.insert(written.end(), bytes.begin(), bytes.end());
        return true;
    }
    void close_output() override { ++closes; }

  private:
    std::size_t served_ = 0;
    int writes_ = 0;
};

ByteBuffer expected_body(std::size_t size)
{
    ByteBuffer body(size);
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<std::uint8_t>(i % 251);
    }
    return body;
}

class DownloadCore : public testing::Test {
  protected:
    void SetUp() override { progress_calls.clear(); }

    DownloadOutcome run(const DownloadRequest& request = {"http://127.0.0.1/new.exe", "C:\\SHtemp152.exe", 0,
                                                          false})
    {
        return run_download(system, request, record_progress);
    }

    FakeSystem system;
};

TEST_F(DownloadCore, FreshDownloadWritesEveryBlockAndReportsEach)
{
    system.ticks = {987, 5000, 5125, 5300, 5300};
    system.length_text = "25000";
    system.length_number = 25000;
    system.blocks = {10240, 10240, 4520};

    ASSERT_EQ(run(), DownloadOutcome::complete);

    EXPECT_EQ(system.agent_name, "Agent987");
    EXPECT_EQ(system.access_type, 4u);
    EXPECT_EQ(system.url, "http://127.0.0.1/new.exe");
    EXPECT_EQ(system.headers, download_header_block);
    EXPECT_EQ(system.headers.size(), 156u);
    EXPECT_EQ(system.request_flags, 0x84000100u);
    EXPECT_EQ(system.open_mode, 4);
    EXPECT_EQ(system.seeks, 0);
    EXPECT_EQ(system.closes, 1);
    EXPECT_EQ(system.written, expected_body(25000));
    // Every read offers the whole buffer, whatever the previous block was.
    EXPECT_EQ(system.read_sizes, (std::vector<std::size_t>{10240, 10240, 10240, 10240}));
    EXPECT_EQ(progress_calls,
              (std::vector<ProgressCall>{
                  {25000, 10240, 125, 10240}, {25000, 20480, 300, 20480}, {25000, 25000, 300, 25000}}));
}

TEST_F(DownloadCore, AskedForNoCacheAndTheExactHeaderBlock)
{
    EXPECT_EQ(download_header_block,
              "Accept: */*\r\nAccept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: "
              "Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)");
    EXPECT_EQ(download_headers(false, 1000), download_header_block);
    EXPECT_EQ(download_headers(true, 1000), Text(download_header_block) + "\r\nRange:bytes=1000-");
    EXPECT_EQ(download_headers(true, -5), Text(download_header_block) + "\r\nRange:bytes=-5-");
}

TEST(DownloadParts, AgentNameIsTheSignedTickCount)
{
    EXPECT_EQ(download_agent_name(987), "Agent987");
    EXPECT_EQ(download_agent_name(0), "Agent0");
    EXPECT_EQ(download_agent_name(0x80000000u), "Agent-2147483648");
    EXPECT_EQ(download_agent_name(0xFFFFFFFFu), "Agent-1");
}

TEST(DownloadParts, ProxyFlagChoosesThePreconfiguredAccess)
{
    EXPECT_EQ(download_access_type(0), 4u);
    EXPECT_EQ(download_access_type(0x1), 4u);
    EXPECT_EQ(download_access_type(0x4), 0u);
    EXPECT_EQ(download_access_type(0x4 | 0x2 | 0x10), 0u);
}

TEST(DownloadParts, ElapsedSurvivesTheTickWrapAndIsNeverZero)
{
    EXPECT_EQ(download_elapsed_ms(1000, 1000), 10);
    EXPECT_EQ(download_elapsed_ms(1000, 1001), 1);
    EXPECT_EQ(download_elapsed_ms(1000, 1250), 250);
    EXPECT_EQ(download_elapsed_ms(0xFFFFFFF0u, 0x10u), 32);
    EXPECT_EQ(download_elapsed_ms(0xFFFFFFFFu, 0xFFFFFFFFu), 10);
}

TEST(DownloadParts, ContentLengthIsReadIn64Bits)
{
    EXPECT_EQ(parse_content_length("0"), 0u);
    EXPECT_EQ(parse_content_length("25000"), 25000u);
    EXPECT_EQ(parse_content_length(" 5000000000 "), 5000000000u);
    EXPECT_EQ(parse_content_length("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(parse_content_length("18446744073709551616"), std::nullopt);
    EXPECT_EQ(parse_content_length(""), std::nullopt);
    EXPECT_EQ(parse_content_length("-1"), std::nullopt);
    EXPECT_EQ(parse_content_length("12ab"), std::nullopt);
}

TEST_F(DownloadCore, ProxyConnectionUsesPreconfiguredAccess)
{
    system.flags = 0x4;
    system.blocks = {1};
    ASSERT_EQ(run(), DownloadOutcome::complete);
    EXPECT_EQ(system.access_type, 0u);
}

TEST_F(DownloadCore, FirstBlockWithinTheStartMillisecondReportsTenMilliseconds)
{
    system.ticks = {7, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x00000004u};
    system.blocks = {100, 100};
    ASSERT_EQ(run(), DownloadOutcome::complete);
    ASSERT_EQ(progress_calls.size(), 2u);
    EXPECT_EQ(progress_calls[0].elapsed, 10);
    EXPECT_EQ(progress_calls[1].elapsed, 5); // across the wrap of the counter
}

TEST_F(DownloadCore, ResumeAppendsAndCountsFromTheOffset)
{
    system.output_exists = true;
    system.status = 206;
    system.blocks = {10240, 10};
    ASSERT_EQ(run({"u", "f", 1000, true}), DownloadOutcome::complete);
    EXPECT_TRUE(system.headers.ends_with("1.1.4322)\r\nRange:bytes=1000-"));
    EXPECT_EQ(system.open_mode, 5);
    EXPECT_EQ(system.seeks, 1);
    ASSERT_EQ(progress_calls.size(), 2u);
    EXPECT_EQ(progress_calls[0].downloaded, 11240);
    EXPECT_EQ(progress_calls[0].received, 10240);
    EXPECT_EQ(progress_calls[1].downloaded, 11250);
    EXPECT_EQ(progress_calls[1].received, 10250);
}

TEST_F(DownloadCore, ResumeOfAMissingFileCreatesItButStillCountsFromTheOffset)
{
    system.status = 206;
    system.blocks = {10};
    ASSERT_EQ(run({"u", "f", 1000, true}), DownloadOutcome::complete);
    EXPECT_EQ(system.open_mode, 4);
    EXPECT_EQ(system.seeks, 1);
    ASSERT_EQ(progress_calls.size(), 1u);
    EXPECT_EQ(progress_calls[0].downloaded, 1010);
    EXPECT_EQ(progress_calls[0].received, 10);
}

TEST_F(DownloadCore, OffsetWithoutResumeOnlyShiftsTheReceivedCount)
{
    system.blocks = {10};
    ASSERT_EQ(run({"u", "f", 1000, false}), DownloadOutcome::complete);
    EXPECT_EQ(system.open_mode, 4);
    EXPECT_EQ(system.seeks, 0);
    EXPECT_EQ(system.headers, download_header_block);
    ASSERT_EQ(progress_calls.size(), 1u);
    EXPECT_EQ(progress_calls[0], (ProgressCall{0, 10, 10, -990}));
}

TEST_F(DownloadCore, NoContentLengthReportsZeroTotalAndCompletes)
{
    system.blocks = {10240, 3};
    ASSERT_EQ(run(), DownloadOutcome::complete);
    ASSERT_EQ(progress_calls.size(), 2u);
    EXPECT_EQ(progress_calls[0].total, 0);
    EXPECT_EQ(progress_calls[1].total, 0);
}

TEST_F(DownloadCore, NumericContentLengthIsTheFallbackForTheTotal)
{
    system.length_number = 3;
    system.blocks = {3};
    ASSERT_EQ(run(), DownloadOutcome::complete);
    EXPECT_EQ(progress_calls.at(0).total, 3);
}

TEST_F(DownloadCore, CountsBeyond4GiBAreCarriedIn64Bits)
{
    // 4 GiB + 1000 announced; the body ends after 3 blocks, far short: refused, although the low 32 bits
    // of the announced length (1000) were passed in the first block.
    system.length_text = "4294968296";
    system.length_number = 0;
    system.blocks = {10240, 10240, 10240};
    EXPECT_EQ(run(), DownloadOutcome::read_error);
    EXPECT_EQ(progress_calls.at(0).total, 1000); // the low 32 bits
    EXPECT_EQ(system.closes, 1);
}

TEST_F(DownloadCore, StatusOutside2xxIsRefusedBeforeTheFileIsTouched)
{
    for (const std::uint32_t status : {301u, 304u, 404u, 416u, 500u, 503u, 100u}) {
        FakeSystem fake;
        fake.status = status;
        fake.blocks = {100};
        EXPECT_EQ(run_download(fake, {"u", "f", 0, false}, record_progress),
                  DownloadOutcome::cannot_open_address)
            << status;
        EXPECT_EQ(fake.opens, 0) << status;
        EXPECT_TRUE(fake.read_sizes.empty()) << status;
    }
    EXPECT_TRUE(progress_calls.empty());
}

struct StatusCase {
    std::uint32_t status;
    bool resume;
    std::int32_t start_offset;
    DownloadOutcome outcome;
};

class DownloadStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(DownloadStatus, DecidesWhetherTheBodyIsTaken)
{
    const StatusCase& c = GetParam();
    FakeSystem fake;
    fake.status = c.status;
    fake.blocks = {100};
    EXPECT_EQ(run_download(fake, {"u", "f", c.start_offset, c.resume}, nullptr), c.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadStatus,
    testing::Values(StatusCase{200, false, 0, DownloadOutcome::complete},
                    StatusCase{203, false, 0, DownloadOutcome::complete},
                    StatusCase{206, false, 0, DownloadOutcome::complete},
                    // A resumed file takes only the part it asked for: a whole file behind it corrupts it.
                    StatusCase{206, true, 1000, DownloadOutcome::complete},
                    StatusCase{200, true, 1000, DownloadOutcome::cannot_open_address},
                    StatusCase{416, true, 1000, DownloadOutcome::cannot_open_address},
                    // Resuming from 0 asks for the whole file, so a whole file is fine.
                    StatusCase{200, true, 0, DownloadOutcome::complete},
                    StatusCase{206, true, 0, DownloadOutcome::complete}));

TEST_F(DownloadCore, AddressWithoutHttpStatusIsJudgedByItsBody)
{
    system.status = std::nullopt;
    system.blocks = {5};
    EXPECT_EQ(run(), DownloadOutcome::complete);
}

TEST_F(DownloadCore, NoInternetHandleStopsBeforeTheAddress)
{
    system.internet_opens = false;
    EXPECT_EQ(run(), DownloadOutcome::no_internet);
    EXPECT_FALSE(system.url_opened);
    EXPECT_EQ(system.opens, 0);
}

TEST_F(DownloadCore, UnopenableAddressLeavesTheFileUntouched)
{
    system.url_opens = false;
    EXPECT_EQ(run(), DownloadOutcome::cannot_open_address);
    EXPECT_EQ(system.opens, 0);
}

TEST_F(DownloadCore, UnopenableOutputStopsBeforeReading)
{
    system.output_opens = false;
    system.blocks = {5};
    EXPECT_EQ(run(), DownloadOutcome::cannot_open_output);
    EXPECT_TRUE(system.read_sizes.empty());
    EXPECT_EQ(system.closes, 0);
}

TEST_F(DownloadCore, FailedReadKeepsWhatWasWrittenAndClosesTheFile)
{
    system.blocks = {10240, 10240};
    system.failing_read = 1;
    EXPECT_EQ(run(), DownloadOutcome::read_error);
    EXPECT_EQ(system.written, expected_body(10240));
    EXPECT_EQ(system.closes, 1);
    EXPECT_EQ(progress_calls.size(), 1u);
}

TEST_F(DownloadCore, FailedWriteClosesTheFileAndStops)
{
    system.blocks = {10240, 10240, 10240};
    system.failing_write = 1;
    EXPECT_EQ(run(), DownloadOutcome::cannot_open_output);
    EXPECT_EQ(system.closes, 1);
    EXPECT_EQ(system.read_sizes.size(), 2u);
    EXPECT_EQ(progress_calls.size(), 1u);
}

TEST_F(DownloadCore, EmptyBodyIsNothingToInstall)
{
    system.length_text = "0";
    EXPECT_EQ(run(), DownloadOutcome::cannot_open_address);
    EXPECT_EQ(system.opens, 1);
    EXPECT_EQ(system.closes, 1);
    EXPECT_TRUE(progress_calls.empty());
}

TEST_F(DownloadCore, BodyShorterThanAnnouncedIsAReadError)
{
    system.length_text = "30000";
    system.blocks = {10240, 9760};
    EXPECT_EQ(run(), DownloadOutcome::read_error);
    EXPECT_EQ(system.written.size(), 20000u);
    EXPECT_EQ(system.closes, 1);
}

TEST_F(DownloadCore, StopBetweenBlocksClosesTheFileQuietly)
{
    system.blocks = {10240, 10240, 10240};
    static FakeSystem* current = nullptr;
    current = &system;
    const ProgressCallback stop_after_first = [](std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
        current->stop = true;
    };
    EXPECT_EQ(run_download(system, {"u", "f", 0, false}, stop_after_first), DownloadOutcome::stopped);
    EXPECT_EQ(system.read_sizes.size(), 1u);
    EXPECT_EQ(system.closes, 1);
}

TEST_F(DownloadCore, StopThatBreaksABlockedReadIsNoReadError)
{
    system.blocks = {10240, 10240};
    system.stop_before_read = 1;
    EXPECT_EQ(run(), DownloadOutcome::stopped);
    EXPECT_EQ(system.closes, 1);
}

TEST_F(DownloadCore, StopBeforeTheStartOpensNothing)
{
    system.stop = true;
    EXPECT_EQ(run(), DownloadOutcome::stopped);
    EXPECT_TRUE(system.agent_name.empty());
    EXPECT_EQ(system.opens, 0);
}

// The boxes' texts written out as GBK bytes, so the test does not take them from the code under test.
constexpr std::string_view internet_error = "Internet\xC1\xAC\xBD\xD3\xB4\xED\xCE\xF3!";
constexpr std::string_view cannot_open_address =
    "\xB8\xFC\xD0\xC2\xCA\xA7\xB0\xDC\xA3\xA1\xB2\xBB\xC4\xDC\xB4\xF2\xBF\xAA\xB8\xC3\xCF\xC2\xD4\xD8\xB5\xD8"
    "\xD6"
    "\xB7\xA3\xA1\xC7\xEB\xC9\xD4\xBA\xF3\xD4\xD9\xCA\xD4\xA3\xA1";
constexpr std::string_view cannot_open_output = "\xB1\xA7\xC7\xB8\xA3\xA1\xCE\xDE\xB7\xA8\xB4\xF2\xBF\xAA\xD7"
                                                "\xD4\xB6\xAF\xB8\xFC\xD0\xC2\xB3\xCC\xD0\xF2\xA3\xA1";
constexpr std::string_view read_error = "\xB6\xC1\xCE\xC4\xBC\xFE\xB3\xF6\xB4\xED!";
constexpr std::string_view update_failed = "\xB8\xFC\xD0\xC2\xCA\xA7\xB0\xDC";

struct MessageCase {
    DownloadOutcome outcome;
    std::string_view content;
    std::string_view caption; // empty: the message service's default, "信息"
    std::uint32_t flags;
};

TEST(DownloadFailureMessage, EachFailureHasItsBox)
{
    const MessageCase cases[] = {
        {DownloadOutcome::no_internet, internet_error, "", 0},
        {DownloadOutcome::cannot_open_address, cannot_open_address, update_failed, 0x40},
        {DownloadOutcome::cannot_open_output, cannot_open_output, update_failed, 0x40},
        {DownloadOutcome::read_error, read_error, "", 0},
    };
    for (const MessageCase& c : cases) {
        const std::optional<DownloadMessage> message = download_failure_message(c.outcome);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->content, c.content);
        EXPECT_EQ(message->caption, c.caption);
        EXPECT_EQ(message->flags, c.flags);
    }
    EXPECT_FALSE(download_failure_message(DownloadOutcome::complete).has_value());
    // The user asked for the stop; telling them of it would only be noise.
    EXPECT_FALSE(download_failure_message(DownloadOutcome::stopped).has_value());
}

} // namespace

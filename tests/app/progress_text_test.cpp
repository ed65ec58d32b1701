#include "app/progress_text.h"

#include <gtest/gtest.h>

#include "runtime/text.h"

namespace {

// The caption's fixed pieces written out as GBK bytes, so the test does not take them from the code under
// test: 文件大小: 已下载: 下载速度:
constexpr const char* size_label = "\xCE\xC4\xBC\xFE\xB4\xF3\xD0\xA1:";
constexpr const char* downloaded_label = "\xD2\xD1\xCF\xC2\xD4\xD8:";
constexpr const char* speed_label = "\xCF\xC2\xD4\xD8\xCB\xD9\xB6\xC8:";

Text caption(std::string_view size, std::string_view downloaded, std::string_view speed)
{
    return join_texts(
        {size_label, size, "KB", downloaded_label, downloaded, "KB", speed_label, speed, "KB/s"});
}

struct Row {
    std::int32_t total;
    std::int32_t downloaded;
    std::int32_t elapsed;
    std::int32_t received;
    const char* size;
    const char* downloaded_kb;
    const char* speed;
    std::int32_t position;
};

class ProgressRow : public testing::TestWithParam<Row> {};

TEST_P(ProgressRow, GivesCaptionAndBar)
{
    const Row& r = GetParam();
    const ProgressView view = progress_view(r.total, r.downloaded, r.elapsed, r.received);
    EXPECT_EQ(view.caption, caption(r.size, r.downloaded_kb, r.speed));
    EXPECT_EQ(view.position, r.position);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ProgressRow,
                         testing::Values(Row{1048576, 10240, 125, 10240, "1024", "10", "80", 0},
                                         Row{1048576, 15000, 300, 15000, "1024", "14.65", "48.83", 1},
                                         Row{2048, 1024, 1000, 1024, "2", "1", "1", 50},
                                         Row{1000, 999, 7, 999, "0.98", "0.98", "139.37", 99},
                                         Row{0, 20480, 10, 20480, "0", "20", "2000", 0}));

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ProgressRow,
    testing::Values(
        // Complete, and one decimal shown as one decimal.
        Row{12800, 12800, 1000, 12800, "12.5", "12.5", "12.5", 100},
        // 99.9 percent is truncated, not rounded.
        Row{1000, 999, 1000, 999, "0.98", "0.98", "0.98", 99},
        // More bytes than announced: passed to the bar unchanged.
        Row{1024, 1536, 1000, 1536, "1", "1.5", "1.5", 150},
        // A resumed download: the speed counts only the bytes received in this call.
        Row{10240, 11264, 1000, 1024, "10", "11", "1", 110},
        // A tiny announced total with a large count: the bar saturates instead of overflowing.
        Row{1, 2147483647, 1000, 2147483647, "0", "2097152", "2097152", 2147483647},
        // Counts past 2 GiB arrive as their low 32 bits, negative; the bar must not overflow either.
        Row{1, -2147483647 - 1, 1000, 0, "0", "-2097152", "0", -2147483647 - 1}));

TEST(ProgressView, ZeroElapsedIsTreatedAsTheEnginesTenMilliseconds)
{
    EXPECT_EQ(progress_view(0, 1024, 0, 1024).caption, progress_view(0, 1024, 10, 1024).caption);
}

} // namespace

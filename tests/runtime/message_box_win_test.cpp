#include <gtest/gtest.h>

#include <cstdio>

#include "resources/texts.h"
#include "runtime/message_box.h"
#include "tests/runtime/windows_test_support.h"

namespace {

TEST(MessageBoxTest, ContentAloneShowsInformationCaptionOkAndNoIcon)
{
    BoxWatcher watcher(texts::default_caption);
    EXPECT_EQ(message_box(texts::read_error), 0);
    const SeenBox box = watcher.seen();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, texts::read_error);
    EXPECT_TRUE(box.has_ok);
    EXPECT_FALSE(box.has_cancel);
    EXPECT_FALSE(box.has_icon);
}

TEST(MessageBoxTest, ShowsCaptionAndFlagsAndGivesResultMinusOne)
{
    struct Case {
        UINT flags;
        int button;
        int result;
    };
    const Case cases[] = {
        {MB_OKCANCEL, IDCANCEL, 1},
        {MB_YESNO | MB_ICONINFORMATION, IDNO, 6},
        {MB_YESNO, IDYES, 5},
        {MB_RETRYCANCEL, IDRETRY, 3},
    };
    for (const Case& c : cases) {
        BoxWatcher watcher(texts::notice_caption, c.button);
        EXPECT_EQ(message_box(texts::open_program_notice, c.flags, texts::notice_caption), c.result)
            << c.flags;
        const SeenBox box = watcher.seen();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.text, texts::open_program_notice);
        EXPECT_EQ(box.has_icon, (c.flags & MB_ICONINFORMATION) != 0) << c.flags;
    }
}

TEST(MessageBoxTest, ContentNeedNotEndInNul)
{
    const std::string_view part = std::string_view("12345").substr(0, 3);
    BoxWatcher watcher("rt caption part");
    message_box(part, 0, std::string_view("rt caption part and more").substr(0, 15));
    const SeenBox box = watcher.seen();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, "123");
}

struct ReportCase {
    const char* name;
    Text arguments;
    std::string_view caption;
    Text text;
};

std::string formatted(std::string_view format, const char* first, const char* second = "")
{
    char text[1024] = {};
    std::snprintf(text, sizeof(text), format.data(), first, second);
    return text;
}

class FatalReportTest : public testing::TestWithParam<ReportCase> {};

// Each report ends its process, so it runs in the helper program; the box must show the exact text and
// the process must still end with exit code 0.
TEST_P(FatalReportTest, ShowsBoxAndEndsWithExitCodeZero)
{
    const ReportCase& c = GetParam();
    BoxWatcher watcher(c.caption);
    const ChildEnd end = run_child("\"" + helper_program() + "\" " + c.arguments);
    const SeenBox box = watcher.seen();
    ASSERT_TRUE(end.ended);
    EXPECT_EQ(end.exit_code, 0u);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, c.text);
    EXPECT_TRUE(box.has_icon);
    EXPECT_TRUE(box.has_ok);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, FatalReportTest,
    testing::Values(
        ReportCase{"InternalError6", "internal_error 6", texts::error_caption,
                   "program internal error number is 6. \r\n" + Text(texts::internal_error_descriptions[6])},
        ReportCase{"InternalError11", "internal_error 11", texts::error_caption,
                   "program internal error number is 11. \r\n" +
                       Text(texts::internal_error_descriptions[11])},
        ReportCase{"UnknownInternalError", "internal_error 42", texts::error_caption,
                   "program internal error number is 42. \r\n"},
        ReportCase{"OutOfMemory", "out_of_memory", texts::error_caption, Text(texts::out_of_memory)},
        ReportCase{"StringTooLong", "length_error", texts::error_caption, Text(texts::out_of_memory)},
        ReportCase{"IndexOutOfRange", "out_of_range", texts::error_caption,
                   "program internal error number is 1. \r\n" + Text(texts::internal_error_descriptions[1])},
        ReportCase{"MissingModule", "missing_module", texts::dll_error_caption,
                   formatted(texts::module_not_found_format, "rt_no_such_module")},
        ReportCase{"MissingFunction", "missing_function", texts::dll_error_caption,
                   formatted(texts::function_not_found_format, "user32", "RtNoSuchFunction")}),
    [](const testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

} // namespace

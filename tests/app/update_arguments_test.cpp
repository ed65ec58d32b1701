#include "app/update_arguments.h"

#include <gtest/gtest.h>

#include "runtime/command_line.h"

namespace {

std::optional<UpdateArguments> parse_command_line(std::string_view command_line)
{
    return parse_update_arguments(read_command_line(command_line));
}

struct AcceptedCase {
    const char* command_line;
    const char* download_url;
    const char* target_file_name;
    std::int32_t app_window;
    std::int32_t fourth_value;
    std::int32_t fifth_value;
};

class AcceptedCommandLine : public testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedCommandLine, FillsTheRecord)
{
    const AcceptedCase& c = GetParam();
    const std::optional<UpdateArguments> arguments = parse_command_line(c.command_line);
    ASSERT_TRUE(arguments.has_value()) << c.command_line;
    EXPECT_EQ(arguments->download_url, c.download_url);
    EXPECT_EQ(arguments->target_file_name, c.target_file_name);
    EXPECT_EQ(arguments->app_window, c.app_window);
    EXPECT_EQ(arguments->fourth_value, c.fourth_value);
    EXPECT_EQ(arguments->fifth_value, c.fifth_value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptedCommandLine,
    testing::Values(AcceptedCase{"upd.exe http://host/new.exe,app.exe,1234,0", "http://host/new.exe",
                                 "app.exe", 1234, 0, 0},
                    // Two trailing commas after three pieces: the fourth piece is empty.
                    AcceptedCase{"upd.exe a,b,c,,", "a", "b", 0, 0, 0},
                    AcceptedCase{"upd.exe ,app.exe,5,6", "", "app.exe", 5, 6, 0},
                    // The sixth piece is ignored.
                    AcceptedCase{"upd.exe u,f,1,2,3,4", "u", "f", 1, 2, 3},
                    AcceptedCase{"\"C:\\Program Files\\upd.exe\" \"http://h/a b.exe,my app.exe,77,-1,9\"",
                                 "http://h/a b.exe", "my app.exe", 77, -1, 9},
                    // Full-width digits read as their ASCII forms.
                    AcceptedCase{"upd.exe u,f,\xA3\xB1\xA3\xB2\xA3\xB3\xA3\xB4,0", "u", "f", 1234, 0, 0},
                    AcceptedCase{"upd.exe u,f,12ab,0", "u", "f", 12, 0, 0},
                    AcceptedCase{"upd.exe u,f,abc,x", "u", "f", 0, 0, 0},
                    // GBK text in the file name stays as it is.
                    AcceptedCase{"upd.exe u,\xB8\xFC\xD0\xC2.exe,1,2", "u", "\xB8\xFC\xD0\xC2.exe", 1, 2,
                                 0}));

class RefusedCommandLine : public testing::TestWithParam<const char*> {};

TEST_P(RefusedCommandLine, GivesNoRecord)
{
    EXPECT_FALSE(parse_command_line(GetParam()).has_value()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedCommandLine,
                         testing::Values("upd.exe", "\"C:\\upd.exe\"   ", "upd.exe a,b,c",
                                         // A trailing comma adds no piece.
                                         "upd.exe a,b,c,",
                                         // An unquoted blank or tab makes two arguments.
                                         "upd.exe u,my app.exe,1,2", "upd.exe u,my\tapp.exe,1,2",
                                         "upd.exe \"\"", "upd.exe ,,,"));

TEST(ParseUpdateArguments, AcceptsExactlyOneArgument)
{
    EXPECT_TRUE(parse_update_arguments({"a,b,1,2"}).has_value());
    EXPECT_FALSE(parse_update_arguments({}).has_value());
    EXPECT_FALSE(parse_update_arguments({"a,b,1,2", "a,b,1,2"}).has_value());
}

} // namespace

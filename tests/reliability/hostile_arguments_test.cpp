// Command lines an attacker or a broken caller may send: the target must stay inside the updater's
// folder, and nothing the parse reads may crash it.
#include <gtest/gtest.h>

#include "app/update_arguments.h"
#include "runtime/command_line.h"

namespace {

std::optional<UpdateArguments> parse_command_line(std::string_view command_line)
{
    return parse_update_arguments(read_command_line(command_line));
}

class RefusedTargetName : public testing::TestWithParam<const char*> {};

TEST_P(RefusedTargetName, IsRefusedAndTheWholeCommandLineWithIt)
{
    const std::string name = GetParam();
    EXPECT_FALSE(is_contained_file_name(name));
    EXPECT_FALSE(parse_update_arguments({"http://h/new.exe," + name + ",1,0"}).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, RefusedTargetName,
    testing::Values("", "..\\app.exe", "../app.exe", "sub\\..\\..\\app.exe", "..", ".", "...", ". .\\app.exe",
                    "\\Windows\\notepad.exe", "/etc/passwd", "\\\\server\\share\\app.exe",
                    "C:\\Windows\\notepad.exe", "C:app.exe", "app.exe:stream", "app.exe::$DATA", "sub\\",
                    "sub\\\\app.exe", "CON", "nul.exe", "com1", "LPT9.txt", "aux .exe", "sub\\prn.exe",
                    "a*.exe", "a?.exe", "a|b.exe", "a<b.exe", "a\".exe", "a\tb.exe", "a\x01.exe", "a\x1b.exe",
                    // Lone or malformed GBK lead bytes: the last byte, before an ASCII byte, 0x80, 0xFF.
                    "app\xB8", "\xB8..\\app.exe", "a\x80.exe", "a\xFF.exe", "a\xB8\x7F.exe"));

class AcceptedTargetName : public testing::TestWithParam<const char*> {};

TEST_P(AcceptedTargetName, IsKept)
{
    const std::string name = GetParam();
    EXPECT_TRUE(is_contained_file_name(name));
    const auto arguments = parse_update_arguments({"http://h/new.exe," + name + ",1,0"});
    ASSERT_TRUE(arguments.has_value());
    EXPECT_EQ(arguments->target_file_name, name);
}

INSTANTIATE_TEST_SUITE_P(Contained, AcceptedTargetName,
                         testing::Values("app.exe", "my app.exe", "bin\\app.exe", "bin/app.exe", "a..b.exe",
                                         "..app.exe", "console.exe", "com10.exe", "lpt.exe", ".hidden",
                                         // 更新.exe; 表 ends in 0x5C and 丨 in 0x7C as their second byte.
                                         "\xB8\xFC\xD0\xC2.exe", "\xB1\xED.exe", "\xD8\xAD.exe",
                                         "\xB1\xED\\app.exe"));

// Command lines as Windows hands them over, built from the worst a caller can send.
TEST(HostileCommandLine, NeverCrashesAndRefusesWhatIsNotARecord)
{
    const std::string huge_field(32 * 1024, 'x');
    const struct {
        std::string command_line;
        bool accepted;
    } cases[] = {
        {"", false},
        {"upd.exe", false},
        {"upd.exe \"", false},
        {"upd.exe \"u,app.exe,1,0", true},    // an unclosed quote runs to the end
        {"upd.exe \"u,app.exe\",1,0", false}, // the closing quote ends the argument
        {"upd.exe u\",app.exe,1,0", false},
        {"upd.exe " + huge_field, false},
        {"upd.exe " + huge_field + ",app.exe,1,0", true},
        {"upd.exe u," + huge_field + ",1,0", true},
        {"upd.exe u,app.exe," + huge_field + "," + huge_field, true},
        {"upd.exe u,app\xB8,1,0", false},
        {"upd.exe \xB8", false},
        {"upd.exe u,a\x01pp.exe,1,0", false},
        {"upd.exe u,..\\..\\Windows\\explorer.exe,1,0", false},
        {"upd.exe u,C:\\Windows\\explorer.exe,1,0", false},
        {"upd.exe u,app.exe:evil,1,0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command_line.substr(0, 60));
        EXPECT_EQ(parse_command_line(c.command_line).has_value(), c.accepted);
    }
}

} // namespace

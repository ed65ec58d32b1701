#include <gtest/gtest.h>

#include "runtime/command_line.h"

namespace {

struct CommandLineCase {
    const char* name;
    std::string_view line;
    std::vector<Text> arguments;
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ReadsArguments)
{
    EXPECT_EQ(read_command_line(GetParam().line), GetParam().arguments);
}

using namespace std::string_view_literals;

// Two-byte characters: "更" is 0xB8 0xFC; 0x81 0x20 and 0x81 0x22 are characters whose second byte
// is a blank or a quote.
const CommandLineCase command_line_cases[] = {
    {"Empty", "", {}},
    {"PathOnly", "upd.exe", {}},
    {"PathWithTrailingBlanks", "upd.exe   ", {}},
    {"QuotedPathOnly", "\"C:\\a b\\upd.exe\"", {}},
    {"QuotedPathAndBlank", "\"C:\\a b\\upd.exe\" ", {}},
    {"UnclosedQuotedPath", "\"C:\\a b\\upd.exe url,x", {}},
    {"QuotedPathThenWord", "\"upd.exe\"word", {"word"}},
    {"QuotedPathTakesOneBlank", "\"upd.exe\"  word", {"word"}},
    {"TabDoesNotEndUnquotedPath", "upd.exe\targ", {}},
    {"TypicalArgument", "\"C:\\upd.exe\" http://h/a.exe,app.exe,1234,0", {"http://h/a.exe,app.exe,1234,0"}},
    {"SeveralSeparators", "upd.exe a \t\r\n b", {"a", "b"}},
    {"ControlBytesSeparate",
     "upd.exe a\x01\x1f"
     "b",
     {"a", "b"}},
    {"QuotedArgumentKeepsBlanks", "upd.exe \"a b\" c", {"a b", "c"}},
    {"QuotedArgumentToEnd", "upd.exe \"a b", {"a b"}},
    {"QuoteInsideUnquotedOpensQuoted", "upd.exe ab\"c d\"e", {"ab", "c d", "e"}},
    {"TwoQuotesGiveEmptyArgument", "upd.exe \"\" x", {"", "x"}},
    {"BackslashIsOrdinary", "upd.exe a\\\"b c\"", {"a\\", "b c"}},
    {"LeadingTwoByteCharacter",
     "upd.exe \xB8\xFC"
     "x",
     {"\xB8\xFC"
      "x"}},
    {"SecondByteBlankDoesNotEnd", "upd.exe a\x81 b", {"a\x81 b"}},
    {"SecondByteQuoteDoesNotEnd", "upd.exe a\x81\"b", {"a\x81\"b"}},
    {"SecondByteQuoteInsideQuoted", "upd.exe \"a\x81\"b\" c", {"a\x81\"b", "c"}},
    {"LastLeadByteDropped", "upd.exe ab\xB8", {"ab"}},
    {"LastLeadByteAloneIsEmpty", "upd.exe a \xB8", {"a", ""}},
    {"LastLeadByteInQuoted", "upd.exe \"ab\xB8", {"ab"}},
    {"NulEndsTheLine", "upd.exe a\0b"sv, {"a"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest, testing::ValuesIn(command_line_cases),
                         [](const testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

} // namespace

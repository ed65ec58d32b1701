#include <windows.h>

#include "runtime/command_line.h"

std::vector<Text> read_command_line()
{
    const char* line = GetCommandLineA();
    return read_command_line(line != nullptr ? std::string_view(line) : std::string_view());
}

#pragma once
// The program's arguments, read from its command line.

#include <string_view>
#include <vector>

#include "runtime/text.h"

// The arguments after the program path. The path is dropped: a quoted path runs to the next quote and
// takes one blank after it along; an unquoted one runs to the first blank. Arguments are separated by
// bytes 0x01..0x20; a quote opens a quoted argument that runs to the next quote or the end. Two-byte
// characters are read whole, so their second byte never ends an argument; a lead byte at the very end
// is dropped. A backslash is an ordinary byte. The command line ends at its first NUL, if any.
std::vector<Text> read_command_line(std::string_view command_line);

#ifdef _WIN32
// The same rules applied to GetCommandLineA.
std::vector<Text> read_command_line();
#endif

#include "runtime/command_line.h"

namespace {

bool is_separator(unsigned char byte)
{
    return byte >= 0x01 && byte <= 0x20;
}

// Where the arguments start, or npos when the command line is only the program path.
std::size_t after_program_path(std::string_view line)
{
    if (!line.empty() && line.front() == '"') {
        const std::size_t closing = line.find('"', 1);
        if (closing == std::string_view::npos)
            return std::string_view::npos;
        std::size_t at = closing + 1;
        if (at < line.size() && line[at] == ' ')
            ++at;
        return at;
    }
    // Only a blank ends an unquoted path; a tab does not.
    const std::size_t blank = line.find(' ');
    return blank == std::string_view::npos ? blank : blank + 1;
}

} // namespace

std::vector<Text> read_command_line(std::string_view command_line)
{
    const std::string_view line = command_line.substr(0, command_line.find('\0'));
    std::vector<Text> arguments;
    std::size_t at = after_program_path(line);
    if (at == std::string_view::npos)
        return arguments;

    while (at < line.size()) {
        const auto first = static_cast<unsigned char>(line[at]);
        if (is_separator(first)) {
            ++at;
            continue;
        }
        const bool quoted = first == '"';
        if (quoted)
            ++at;
        Text argument;
        bool truncated = false;
        while (at < line.size()) {
            const auto byte = static_cast<unsigned char>(line[at]);
            if (byte == '"') {
                if (quoted)
                    ++at; // the closing quote is dropped; an opening one starts the next argument
                break;
            }
            if (!quoted && is_separator(byte))
                break;
            if (is_lead_byte(byte)) {
                if (at + 1 == line.size()) {
                    truncated = true;
                    break;
                }
                argument.append(line.substr(at, 2));
                at += 2;
                continue;
            }
            argument.push_back(line[at]);
            ++at;
        }
        arguments.push_back(std::move(argument));
        if (truncated)
            break;
    }
    return arguments;
}

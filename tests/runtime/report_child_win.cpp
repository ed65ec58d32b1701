// Helper program for the runtime's Windows tests: runs one service that ends the process, or reports
// what it inherited from the program that started it.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>

#include "runtime/files.h"
#include "runtime/late_binding.h"
#include "runtime/message_box.h"
#include "runtime/numbers.h"
#include "ui/program_end.h"

namespace {

LateBoundFunction missing_module{"rt_no_such_module", "Nothing"};
LateBoundFunction missing_function{"user32", "RtNoSuchFunction"};

// Writes, one per line: run_directory, the current directory, the show command and flags this
// program was started with, and whether the handle value given on the command line is open here.
int report(const char* out_path, const char* handle_text)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    char directory[MAX_PATH * 4] = {};
    GetCurrentDirectoryA(sizeof(directory), directory);
    const auto handle = reinterpret_cast<HANDLE>(std::strtoull(handle_text, nullptr, 10));
    DWORD flags = 0;
    const bool handle_open = GetHandleInformation(handle, &flags) != FALSE;
    const Text text = join_texts({run_directory(), "\n", directory, "\n", number_to_text(startup.wShowWindow),
                                  "\n", number_to_text(static_cast<std::int32_t>(startup.dwFlags)), "\n",
                                  handle_open ? "1" : "0", "\n"});
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return write_whole_file(out_path, {bytes, text.size()}) ? 0 : 3;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "internal_error" && argc > 2)
        internal_error(std::atoi(argv[2]));
    if (mode == "out_of_memory") {
        install_out_of_memory_report();
        void* volatile block = ::operator new (std::size_t{1} << 62);
        return block != nullptr ? 4 : 5;
    }
    // The program's replacements for the standard library's throwing routines (linked in here as in
    // the updater): a string longer than memory allows is out of memory, an index out of range is
    // runtime check 1.
    if (mode == "length_error") {
        install_out_of_memory_report();
        std::string text;
        text.reserve(text.max_size() + 1);
        return 4;
    }
    if (mode == "out_of_range") {
        const std::string text = "x";
        return text.at(static_cast<std::size_t>(argc)) == 'x' ? 4 : 5;
    }
    if (mode == "missing_module")
        bind_late_function(missing_module);
    if (mode == "missing_function")
        bind_late_function(missing_function);
    if (mode == "report" && argc > 3)
        return report(argv[2], argv[3]);
    return 2;
}

#include <windows.h>

#include <array>
#include <new>
#include <string>

#include "resources/texts.h"
#include "runtime/message_box.h"
#include "ui/program_end.h"

namespace {

// wsprintfA never writes more than 1024 bytes, so a buffer of that size cannot overflow whatever the
// arguments.
using ReportBuffer = std::array<char, 1024>;

void show_fatal_report(const char* content)
{
    MessageBoxA(nullptr, content, texts::error_caption.data(), MB_ICONERROR);
}

void report_out_of_memory()
{
    show_fatal_report(texts::out_of_memory.data());
    end_program(0);
}

} // namespace

int message_box(std::string_view content, std::uint32_t flags, std::string_view caption, void* owner)
{
    // The views need not end in NUL; MessageBoxA needs texts that do.
    const std::string content_text(content);
    const std::string caption_text(caption.empty() ? texts::default_caption : caption);
    return MessageBoxA(static_cast<HWND>(owner), content_text.c_str(), caption_text.c_str(), flags) - 1;
}

void internal_error(int number)
{
    const bool known =
        number > 0 && static_cast<std::size_t>(number) < texts::internal_error_descriptions.size();
    const std::string_view description =
        known ? texts::internal_error_descriptions[number] : std::string_view("");
    ReportBuffer report{};
    wsprintfA(report.data(), texts::internal_error_format.data(), number, description.data());
    show_fatal_report(report.data());
    end_program(0);
}

void install_out_of_memory_report()
{
    std::set_new_handler(report_out_of_memory);
}

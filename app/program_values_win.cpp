#include "app/program_values.h"

#include "runtime/files.h"
#include "runtime/numbers.h"
#include "ui/window_registry.h"

// Constructed in this order at start-up; constructing the progress bar registers its window class.
FormUnit MainForm;
std::vector<Text> command_line_arguments;
ButtonUnit update_button;
ProgressBarUnit progress_bar;
LabelUnit status_label;

HMODULE module_handle = nullptr;
UpdateArguments update_arguments;
HANDLE worker_thread_handle = nullptr;
UpdateStageGate update_stage;
std::atomic<std::int32_t> target_process_id{0};

namespace {
// 0 until drawn: the draw is from 111 to 99999, so 0 never names a file.
std::atomic<std::int32_t> temp_file_number_value{0};
} // namespace

Text temp_file_number()
{
    const std::int32_t number = temp_file_number_value.load();
    return number == 0 ? Text() : number_to_text(number);
}

void set_temp_file_number(std::int32_t number)
{
    temp_file_number_value.store(number);
}

Text temporary_path()
{
    return join_texts({run_directory(), "\\SHtemp", temp_file_number(), ".exe"});
}

Text target_path()
{
    return join_texts({run_directory(), "\\", update_arguments.target_file_name});
}

void destroy_program_objects()
{
    MainForm.destroy();
    command_line_arguments.clear();
    update_arguments = UpdateArguments{};
    update_button.destroy();
    progress_bar.destroy();
    status_label.destroy();
    set_temp_file_number(0);
    window_registry().clear();
}

// Start-up: the program-wide objects exist (program_values_win.cpp); arrange their release, map the
// skin library, run the window until it ends, and end with exit code 0 on every path.

#include <windows.h>

#include "app/main_window.h"
#include "app/program_values.h"
#include "runtime/message_box.h"
#include "skin/skin_library.h"
#include "ui/program_end.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    arrange_exit_step(ExitStepPlace::program_objects, destroy_program_objects);
    install_out_of_memory_report();
    module_handle = GetModuleHandleA(nullptr);
    load_skin_library();
    MainForm.load_modal(module_handle, main_form_template, on_form_created);
    end_program(0);
}

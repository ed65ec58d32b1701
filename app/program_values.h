#pragma once
// The program-wide values of the updater. They live for the whole run; the program's exit step
// (destroy_program_objects) releases what they hold.
//
// Threads: the units, command_line_arguments, update_arguments and worker_thread_handle are written on
// the user-interface thread before the worker starts; the worker only reads them and sends messages to
// the units. temp_file_number and download_file are written by the worker and read by the window's
// handlers, so they are atomic.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "app/update_arguments.h"
#include "app/update_stage.h"
#include "runtime/text.h"
#include "ui/button_unit.h"
#include "ui/form_unit.h"
#include "ui/label_unit.h"
#include "ui/progress_bar_unit.h"

extern FormUnit MainForm;
extern std::vector<Text> command_line_arguments;
extern ButtonUnit update_button;
extern ProgressBarUnit progress_bar;
extern LabelUnit status_label;

extern HMODULE module_handle;
extern UpdateArguments update_arguments;
extern HANDLE worker_thread_handle;
extern UpdateStageGate update_stage;
// The process that owns the application's window, once the worker has asked it to close; 0 before.
extern std::atomic<std::int32_t> target_process_id;

// The number in the temporary file's name as text; empty until the worker has drawn it.
Text temp_file_number();
void set_temp_file_number(std::int32_t number);

// run directory + "\SHtemp" + temp_file_number + ".exe"
Text temporary_path();
// run directory + "\" + target_file_name
Text target_path();

// The program's own exit step: releases the program-wide objects in their order of declaration.
void destroy_program_objects();

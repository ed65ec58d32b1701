#include "tests/ui/child_process.h"
#include "ui/button_unit.h"
#include "ui/form_unit.h"
#include "ui/label_unit.h"
#include "ui/program_end.h"
#include "ui/progress_bar_unit.h"
#include "ui/threads.h"
#include "ui/window_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// ---- The child's side: a program shaped like the updater, ended in different ways. ----

const char* notes_file = nullptr;

void note(const char* text)
{
    HANDLE file = CreateFileA(notes_file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

// Program-wide units, as the updater has them; the program's own exit step releases them.
FormUnit* main_form = nullptr;
ButtonUnit* update_button = nullptr;
LabelUnit* status_label = nullptr;
ProgressBarUnit* progress_bar = nullptr;

void release_program_objects()
{
    note(main_form->window() != nullptr && !IsWindowVisible(main_form->window()) ? "program_objects hidden"
                                                                                 : "program_objects");
    delete main_form;
    delete update_button;
    delete status_label;
    delete progress_bar;
    main_form = nullptr;
    update_button = nullptr;
    status_label = nullptr;
    progress_bar = nullptr;
    window_registry().clear();
}

void arrange_noted_steps()
{
    // Arranged last to first: the places, not the order of arranging, give the order of running.
    arrange_exit_step(ExitStepPlace::loaded_modules, [] { note("loaded_modules"); });
    arrange_exit_step(ExitStepPlace::open_files, [] { note("open_files"); });
    arrange_exit_step(ExitStepPlace::program_objects, &release_program_objects);
}

void bind_controls(HWND window)
{
    progress_bar->bind(window, 1002);
    update_button->bind(window, 1003);
    status_label->bind(window, 1004);
}

// Keeps the user-interface thread dispatching to the form and its controls while it ends the program.
DWORD WINAPI busy_worker(void*)
{
    HWND form = main_form->window();
    for (int round = 0; round < 200; ++round) {
        PostMessageA(form, WM_MOUSEMOVE, 0, MAKELPARAM(round, round));
        PostMessageA(form, WM_ERASEBKGND, 0, 0);
        status_label->set_caption(round % 2 ? "odd" : "even");
        progress_bar->set_position(round % 101);
    }
    for (int round = 0; round < 200; ++round)
        PostMessageA(form, WM_MOUSEMOVE, 0, 0);
    note("worker ends");
    end_program(0);
}

DWORD WINAPI racing_worker(void*)
{
    end_program(0);
}

int run_scenario(const std::string& scenario)
{
    arrange_noted_steps();
    main_form = new FormUnit;
    update_button = new ButtonUnit;
    status_label = new LabelUnit;
    progress_bar = new ProgressBarUnit;
    HINSTANCE module = GetModuleHandleA(nullptr);

    if (scenario == "ui_thread") {
        note(on_user_interface_thread() ? "on ui thread" : "off ui thread");
        end_program(0);
    }
    if (scenario == "from_created") {
        main_form->load_modal(module, 1000, [](HWND window) {
            bind_controls(window);
            end_program(0);
        });
    }
    if (scenario == "from_click") {
        main_form->load_modal(module, 1000, [](HWND window) {
            bind_controls(window);
            update_button->set_click_handler([] { end_program(0); });
            PostMessageA(update_button->window(), WM_KEYDOWN, VK_SPACE, 0x00390001);
            PostMessageA(update_button->window(), WM_KEYUP, VK_SPACE, 0xC0390001);
        });
    }
    if (scenario == "from_busy_worker") {
        main_form->load_modal(module, 1000, [](HWND window) {
            bind_controls(window);
            start_thread(&busy_worker);
        });
    }
    if (scenario == "both_threads") {
        main_form->load_modal(module, 1000, [](HWND window) {
            bind_controls(window);
            start_thread(&racing_worker);
            end_program(0);
        });
    }
    note("not ended");
    return 3;
}

// ---- The parent's side. ----

std::string temp_notes_path(const char* scenario)
{
    char directory[MAX_PATH]{};
    GetTempPathA(MAX_PATH, directory);
    std::string path =
        std::string(directory) + "ui_test_" + scenario + "_" + std::to_string(GetCurrentProcessId()) + ".txt";
    DeleteFileA(path.c_str());
    return path;
}

struct ChildResult {
    DWORD exit_code = 0xDEAD;
    std::string notes;
};

ChildResult run_child(const char* scenario)
{
    const std::string notes_path = temp_notes_path(scenario);
    char program[MAX_PATH]{};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    // Appended piece by piece: GCC 12 misreads a chain of string additions (-Wrestrict).
    std::string command = "\"";
    command.append(program).append("\" ").append(child_flag).append(scenario);
    command.append(" \"").append(notes_path).append("\"");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ChildResult result;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "cannot start " << command;
        return result;
    }
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << scenario << " did not end";
        TerminateProcess(process.hProcess, 0xDEAD);
    }
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream file(notes_path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    result.notes = text.str();
    DeleteFileA(notes_path.c_str());
    return result;
}

TEST(EndProgramTest, RunsEveryStepInOrderOnTheUserInterfaceThread)
{
    struct Case {
        const char* scenario;
        const char* notes;
    };
    const Case cases[] = {
        {"ui_thread", "on ui thread\nprogram_objects\nopen_files\nloaded_modules\n"},
        // Ended before the dialog manager shows the form: it never appears.
        {"from_created", "program_objects hidden\nopen_files\nloaded_modules\n"},
        {"from_click", "program_objects\nopen_files\nloaded_modules\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        const ChildResult child = run_child(c.scenario);
        EXPECT_EQ(child.exit_code, 0u);
        EXPECT_EQ(child.notes, c.notes);
    }
}

TEST(EndProgramTest, FromTheWorkerLeavesTheUnitsToTheBusyUserInterfaceThread)
{
    const ChildResult child = run_child("from_busy_worker");
    EXPECT_EQ(child.exit_code, 0u);
    EXPECT_EQ(child.notes, "worker ends\nopen_files\nloaded_modules\n");
}

TEST(EndProgramTest, TwoThreadsEndingAtOnceRunEachStepOnce)
{
    const ChildResult child = run_child("both_threads");
    EXPECT_EQ(child.exit_code, 0u);
    // Whichever thread came first ran the steps; only the user-interface thread releases the objects.
    EXPECT_TRUE(child.notes == "program_objects hidden\nopen_files\nloaded_modules\n" ||
                child.notes == "open_files\nloaded_modules\n")
        << child.notes;
}

} // namespace

int run_child_scenario(const char* scenario, const char* notes_path)
{
    notes_file = notes_path;
    return run_scenario(scenario);
}

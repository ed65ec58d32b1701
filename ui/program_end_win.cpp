#include "ui/program_end.h"

#include <windows.h>

#include <array>
#include <atomic>

namespace {

std::array<std::atomic<ExitStep>, 3> exit_steps{};

// Static initialisation runs on the process's first thread, before anything can start a worker.
const DWORD user_interface_thread_id = GetCurrentThreadId();

// The thread running the exit steps; 0 until end_program is first called.
std::atomic<DWORD> ending_thread_id{0};

} // namespace

void arrange_exit_step(ExitStepPlace place, ExitStep step)
{
    exit_steps[static_cast<std::size_t>(place)].store(step);
}

bool on_user_interface_thread()
{
    return GetCurrentThreadId() == user_interface_thread_id;
}

void end_program(std::uint32_t exit_code)
{
    const DWORD caller = GetCurrentThreadId();
    DWORD first = 0;
    if (!ending_thread_id.compare_exchange_strong(first, caller) && first != caller) {
        // The other thread is already ending the process, and this thread with it.
        for (;;)
            Sleep(INFINITE);
    }
    // A step that ends the program again (a fatal report inside a step) comes back here on the same
    // thread; the exchange below keeps every step from running twice.
    const bool skip_program_objects = caller != user_interface_thread_id;
    for (std::size_t place = 0; place < exit_steps.size(); ++place) {
        if (skip_program_objects && place == static_cast<std::size_t>(ExitStepPlace::program_objects))
            continue;
        if (ExitStep step = exit_steps[place].exchange(nullptr))
            step();
    }
    ExitProcess(exit_code);
}

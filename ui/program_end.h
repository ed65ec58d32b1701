#pragma once
// The one way out of the program: end_program runs the exit steps, in their fixed order, on the
// calling thread, then ends the process.

#include <cstdint>

// The three places an exit step can be arranged in; they run in this order, empty ones skipped.
enum class ExitStepPlace {
    program_objects, // the program's own step: destroys the program-wide objects
    open_files,      // closes every file still open
    loaded_modules,  // releases modules loaded by late binding
};

using ExitStep = void (*)();

// Puts `step` in `place`, replacing what was there; a null step empties the place.
void arrange_exit_step(ExitStepPlace place, ExitStep step);

// True on the user-interface thread: the process's first thread, which owns every window and the
// program-wide objects.
bool on_user_interface_thread();

// Runs the exit steps and ends the process with `exit_code`. Called off the user-interface thread it
// leaves out the program_objects step: that thread may still be dispatching messages to the units,
// and the end of the process releases them anyway. Only the first caller runs the steps; a second
// thread calling in meanwhile waits for the process to end.
[[noreturn]] void end_program(std::uint32_t exit_code);

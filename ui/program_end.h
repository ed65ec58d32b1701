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

[[noreturn]] void end_program(std::uint32_t exit_code);

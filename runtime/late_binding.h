#pragma once
// System functions bound by name at their first call. A missing module or function is reported in a
// "DLL ERROR" box and ends the program with exit code 0.

#include <atomic>

// One late-bound function: where to find it, and its address once found. Slots are program-wide
// objects, constant-initialised, so they can be used at any time.
struct LateBoundFunction {
    const char* module_name;
    const char* function_name;
    std::atomic<void*> address{nullptr};
};

// The function's address: looked up (loading the module when it is not loaded yet) at the first call,
// taken from the slot afterwards. Never returns when the module or the function cannot be found.
void* bind_late_function(LateBoundFunction& slot);

// Frees the modules bind_late_function had to load, in the order they were loaded. Arranged as an exit
// step of end_program when the first module is loaded; slots bound to those modules are stale after it.
void free_late_bound_modules();

// IsWindow from "user32", bound at its first call.
int late_is_window(void* window);

#pragma once
// The test program re-launched as a child that ends itself through end_program.

inline constexpr char child_flag[] = "--ui-child=";

// Runs child `scenario`, which appends its notes to the file `notes_path`; gives its exit code.
int run_child_scenario(const char* scenario, const char* notes_path);

#pragma once
// Every message of the program goes through message_box; the fatal reports show their box and then end
// the program with exit code 0.

#include <cstdint>
#include <string_view>

// Shows a modal box on the calling thread and waits for the user. flags: MessageBoxA style (0: OK, no
// icon); an empty caption stands for "信息"; owner: the owner window, or none. Returns MessageBoxA's
// result minus 1 (OK 0, Cancel 1, ..., No 6).
int message_box(std::string_view content, std::uint32_t flags = 0, std::string_view caption = {},
                void* owner = nullptr);

// Reports runtime check `number` (1 to 11) under the caption "error" and ends the program.
[[noreturn]] void internal_error(int number);

// From now on, an allocation that cannot be met reports "内存不足" and ends the program instead of
// throwing.
void install_out_of_memory_report();

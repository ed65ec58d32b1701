#pragma once
// call_address calls the function at `address` with ten argument words, a1 first. On x86 the callee
// follows the Windows API convention (stdcall, it pops its own arguments) and may take any number of
// them from 0 to 10: the caller's stack level is restored afterwards. On x64 the words are the first ten
// 64-bit arguments of the Windows x64 convention, where extra arguments are harmless.
// The address is not checked; a callee returning a 32-bit BOOL leaves the upper half of the result
// undefined on x64, so such callers look at the low 32 bits only.

#include <cstdint>

std::uintptr_t call_address(std::uintptr_t address, std::uintptr_t a1 = 0, std::uintptr_t a2 = 0,
                            std::uintptr_t a3 = 0, std::uintptr_t a4 = 0, std::uintptr_t a5 = 0,
                            std::uintptr_t a6 = 0, std::uintptr_t a7 = 0, std::uintptr_t a8 = 0,
                            std::uintptr_t a9 = 0, std::uintptr_t a10 = 0);

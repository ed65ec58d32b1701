#include "skin/call_address.h"

#if defined(__i386__)

// The callee may pop anything from 0 to 40 bytes, so the frame pointer, not the callee, decides where
// the stack ends up. Arguments arrive at 8(%ebp) (address) and 12(%ebp)..48(%ebp) (a1..a10).
extern "C" std::uint32_t __cdecl skin_call_stdcall(std::uint32_t address,
                                                   const std::uint32_t* words) __asm__("_skin_call_stdcall");

__asm__(".text\n"
        ".globl _skin_call_stdcall\n"
        "_skin_call_stdcall:\n"
        "    pushl %ebp\n"
        "    movl %esp, %ebp\n"
        "    movl 12(%ebp), %edx\n" // words
        "    movl $10, %ecx\n"
        "1:  pushl -4(%edx,%ecx,4)\n" // a10 first, so a1 ends up on top
        "    decl %ecx\n"
        "    jnz 1b\n"
        "    call *8(%ebp)\n"
        "    movl %ebp, %esp\n"
        "    popl %ebp\n"
        "    ret\n");

std::uintptr_t call_address(std::uintptr_t address, std::uintptr_t a1, std::uintptr_t a2, std::uintptr_t a3,
                            std::uintptr_t a4, std::uintptr_t a5, std::uintptr_t a6, std::uintptr_t a7,
                            std::uintptr_t a8, std::uintptr_t a9, std::uintptr_t a10)
{
    const std::uint32_t words[10] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
    return skin_call_stdcall(address, words);
}

#elif defined(__x86_64__)

std::uintptr_t call_address(std::uintptr_t address, std::uintptr_t a1, std::uintptr_t a2, std::uintptr_t a3,
                            std::uintptr_t a4, std::uintptr_t a5, std::uintptr_t a6, std::uintptr_t a7,
                            std::uintptr_t a8, std::uintptr_t a9, std::uintptr_t a10)
{
    // The caller owns the argument area in the x64 convention, so a callee taking fewer is fine.
    using Callee =
        std::uintptr_t (*)(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                           std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t);
    return reinterpret_cast<Callee>(address)(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10);
}

#else
#error "call_address supports x86 and x64 only"
#endif

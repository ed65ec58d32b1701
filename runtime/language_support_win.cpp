// The program's own allocation and library-failure routines, linked into the updater only.
//
// The program is built without C++ exceptions: a failed check or allocation ends it with a report, as
// every runtime error of the program does, and nothing is ever thrown. These definitions replace the
// standard library's, which would throw and so pull the exception runtime (unwinder, exception objects,
// the POSIX-thread layer under them and the exception classes' own string code) into a program that
// never catches anything: over a third of the executable.

#include <cstdlib>
#include <new>

#include "runtime/message_box.h"

namespace {

// The out-of-memory report of install_out_of_memory_report() when it is installed (start-up does so
// first thing); without one, the program has no way on and ends with the index report.
[[noreturn]] void out_of_memory()
{
    if (const std::new_handler handler = std::get_new_handler()) {
        handler();
    }
    internal_error(1);
}

// A distinct block even for size 0, as operator new must give.
void* allocate_once(std::size_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}

void* allocate(std::size_t size)
{
    for (;;) {
        if (void* block = allocate_once(size)) {
            return block;
        }
        // A handler may free memory and let the allocation try again; the program's own ends it.
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            internal_error(1);
        }
        handler();
    }
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate_once(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate_once(size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

// What the standard containers and strings call where they would throw. A container asked for more
// than memory can hold is out of memory; any other failed check is an index or length out of range,
// which the program reports as runtime check 1.
namespace std {

[[noreturn]] void __throw_bad_alloc()
{
    out_of_memory();
}

[[noreturn]] void __throw_bad_array_new_length()
{
    out_of_memory();
}

[[noreturn]] void __throw_length_error(const char*)
{
    out_of_memory();
}

[[noreturn]] void __throw_logic_error(const char*)
{
    internal_error(1);
}

[[noreturn]] void __throw_out_of_range(const char*)
{
    internal_error(1);
}

[[noreturn]] void __throw_out_of_range_fmt(const char*, ...)
{
    internal_error(1);
}

[[noreturn]] void __throw_invalid_argument(const char*)
{
    internal_error(1);
}

} // namespace std

#include <windows.h>

#include <algorithm>
#include <array>

#include "resources/texts.h"
#include "runtime/late_binding.h"
#include "ui/program_end.h"

namespace {

// Modules loaded by the binder. Slots are claimed with one atomic increment, so binding takes no lock
// even if two threads bind at once; a module beyond the last slot stays loaded until the process ends.
constexpr std::size_t recorded_module_limit = 100;
std::array<std::atomic<HMODULE>, recorded_module_limit> loaded_modules{};
std::atomic<std::size_t> loaded_module_count{0};

void record_loaded_module(HMODULE module)
{
    const std::size_t index = loaded_module_count.fetch_add(1);
    if (index >= recorded_module_limit)
        return;
    loaded_modules[index].store(module);
    if (index == 0)
        arrange_exit_step(ExitStepPlace::loaded_modules, free_late_bound_modules);
}

[[noreturn]] void report_missing(const char* content)
{
    MessageBoxA(nullptr, content, texts::dll_error_caption.data(), MB_ICONERROR);
    end_program(0);
}

// wsprintfA writes at most 1024 bytes, whatever the names' lengths.
using ReportBuffer = std::array<char, 1024>;

LateBoundFunction is_window_slot{"user32", "IsWindow"};

} // namespace

void* bind_late_function(LateBoundFunction& slot)
{
    if (void* bound = slot.address.load(std::memory_order_acquire))
        return bound;

    HMODULE module = GetModuleHandleA(slot.module_name);
    if (module == nullptr) {
        module = LoadLibraryA(slot.module_name);
        if (module == nullptr) {
            ReportBuffer report{};
            wsprintfA(report.data(), texts::module_not_found_format.data(), slot.module_name);
            report_missing(report.data());
        }
        record_loaded_module(module);
    }
    void* address = reinterpret_cast<void*>(GetProcAddress(module, slot.function_name));
    if (address == nullptr) {
        ReportBuffer report{};
        wsprintfA(report.data(), texts::function_not_found_format.data(), slot.module_name,
                  slot.function_name);
        report_missing(report.data());
    }
    slot.address.store(address, std::memory_order_release);
    return address;
}

void free_late_bound_modules()
{
    const std::size_t count = std::min(loaded_module_count.exchange(0), recorded_module_limit);
    for (std::size_t index = 0; index < count; ++index) {
        if (HMODULE module = loaded_modules[index].exchange(nullptr))
            FreeLibrary(module);
    }
    arrange_exit_step(ExitStepPlace::loaded_modules, nullptr);
}

int late_is_window(void* window)
{
    using IsWindowFunction = BOOL(WINAPI*)(HWND);
    const auto is_window = reinterpret_cast<IsWindowFunction>(bind_late_function(is_window_slot));
    return is_window(static_cast<HWND>(window));
}

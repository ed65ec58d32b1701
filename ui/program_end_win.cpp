#include "ui/program_end.h"

#include <windows.h>

#include <array>
#include <atomic>

namespace {
std::array<std::atomic<ExitStep>, 3> exit_steps{};
}

void arrange_exit_step(ExitStepPlace place, ExitStep step)
{
    exit_steps[static_cast<std::size_t>(place)].store(step);
}

void end_program(std::uint32_t exit_code)
{
    for (auto& place : exit_steps) {
        if (ExitStep step = place.exchange(nullptr))
            step();
    }
    ExitProcess(exit_code);
}

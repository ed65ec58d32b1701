#include "runtime/random.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <cstdlib>
#endif

namespace {

#ifdef _WIN32
// The system runtime's own generator, never seeded: its state is per thread and starts at 1 in each.
std::int32_t next_draw()
{
    return std::rand();
}
#else
// Elsewhere the same generator, step for step.
thread_local std::uint32_t generator_state = 1;

std::int32_t next_draw()
{
    generator_state = generator_state * 214013u + 2531011u;
    return static_cast<std::int32_t>((generator_state >> 16) & 0x7FFF);
}
#endif

} // namespace

std::int32_t random_in_range(std::optional<std::int32_t> low, std::optional<std::int32_t> high)
{
    std::int32_t from = std::max(low.value_or(0), 0);
    std::int32_t to = std::max(high.value_or(2147483647), 0);
    if (from > to)
        std::swap(from, to);
    if (from == to)
        return from;
    // 0..2147483647 has 2^31 values, one more than an int32 holds.
    const std::int64_t values = std::int64_t{to} - from + 1;
    return static_cast<std::int32_t>(from + next_draw() % values);
}

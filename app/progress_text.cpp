#include "app/progress_text.h"

#include <cmath>
#include <limits>

#include "resources/texts.h"
#include "runtime/numbers.h"

namespace {

constexpr double bytes_per_kb = 1024.0;
constexpr double ms_per_second = 1000.0;
// The engine never reports 0 ms; should a caller do so, use the engine's own substitute rather than
// dividing by zero.
constexpr std::int32_t zero_elapsed_substitute = 10;

// The bar takes an int; a tiny announced total with a large count would overflow the conversion.
std::int32_t clamp_to_int32(double value)
{
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value); // truncates toward zero: 99.9 percent shows as 99
}

} // namespace

ProgressView progress_view(std::int32_t total_bytes, std::int32_t downloaded_bytes, std::int32_t elapsed_ms,
                           std::int32_t received_bytes)
{
    const std::int32_t elapsed = elapsed_ms == 0 ? zero_elapsed_substitute : elapsed_ms;
    // Each step rounds to a double on its own, as the display always has.
    double speed = static_cast<double>(received_bytes) * ms_per_second;
    speed = speed / bytes_per_kb;
    speed = speed / static_cast<double>(elapsed);
    speed = round_to_places(speed, 2);
    const double size_kb = round_to_places(static_cast<double>(total_bytes) / bytes_per_kb, 2);
    const double downloaded_kb = round_to_places(static_cast<double>(downloaded_bytes) / bytes_per_kb, 2);

    ProgressView view;
    view.caption = join_texts({texts::size_label, number_to_text(size_kb), texts::kb_unit,
                               texts::downloaded_label, number_to_text(downloaded_kb), texts::kb_unit,
                               texts::speed_label, number_to_text(speed), texts::speed_unit});
    if (total_bytes != 0) {
        view.position =
            clamp_to_int32(static_cast<double>(downloaded_bytes) * 100.0 / static_cast<double>(total_bytes));
    }
    return view;
}

#pragma once
// Random numbers from the generator of the Windows system runtime's rand: never seeded, one state per
// thread, so every new thread draws the same sequence (its first draw for 111..99999 is 152).

#include <cstdint>
#include <optional>

// A value in low..high. A left-out low is 0 and a left-out high 2147483647; a bound below 0 counts as 0;
// swapped bounds are put in order; equal bounds give low without drawing. The generator yields 0..32767,
// so wider ranges only ever yield their lowest 32768 values.
std::int32_t random_in_range(std::optional<std::int32_t> low = std::nullopt,
                             std::optional<std::int32_t> high = std::nullopt);

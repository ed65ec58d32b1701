#pragma once
// Conversions between texts and numbers, exactly as the program shows and reads them.

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "runtime/text.h"

// Reads a GBK text as a decimal integer the way atoi reads its half-width form: full-width digits,
// signs and blanks count as their ASCII forms. Values beyond 32 bits saturate at INT32_MAX / INT32_MIN.
std::int32_t text_to_int(std::string_view text);

// The atoi step alone, on ASCII: leading white space, an optional sign, then decimal digits up to the
// first other byte; no digits give 0. Saturates like text_to_int.
std::int32_t leading_int(std::string_view text);

// The full-width forms that can change what leading_int reads (the GBK full-width block 0xA3 0xA1..0xFE
// and the ideographic blank 0xA1 0xA1) turned into their ASCII forms; every other character is kept.
Text half_width_text(std::string_view text);

// "%d".
Text number_to_text(std::int32_t value);
// Six decimals, rounded to nearest, then trailing zeros and a trailing point removed: 3.0 gives "3".
Text number_to_text(double value);

// Half a unit in the last kept place always goes up, toward plus infinity. Negative places round to
// tens, hundreds, and so on.
double round_to_places(double x, int places = 0);

// The AND of all values, from left to right; an empty list gives 0.
std::int32_t bit_and(std::initializer_list<std::int32_t> values);

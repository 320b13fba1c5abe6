// Value text: how numbers are written on the screen and how a typed line reads as one.
#pragma once

#include <cstdint>
#include <string_view>

#include "screen/text.h"

namespace screen {

// Decimal digits with "-" before a negative value and one space before any other.
void printInteger(std::int64_t value, bool newLine);
// At most 15 significant digits, plain for exponents -1 to 14, else scientific
// ("1.5e-003"); no trailing fraction zeros; one space before a non-negative value.
void printReal(double value, bool newLine);
Text integerText(std::int64_t value);
Text realText(double value);
// Decimal digits with "-" before a negative value; no space.
Text decimalText(std::int64_t value);
// The first item of a comma-separated line read as an integer; 0 when it holds none.
// A number beyond the 32-bit range gives the nearest 32-bit value.
std::int32_t parseInteger(std::string_view line);

}  // namespace screen

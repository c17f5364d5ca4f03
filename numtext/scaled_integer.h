#pragma once
// The scaling step of digit generation: a positive normal extended value a becomes the
// 18-digit integer nearest a x 10^(17 - d), d its decimal exponent.
#include <cstdint>

#include "numtext/extended_real.h"
#include "numtext/power_table.h"

inline constexpr int ScaledDigits = 18;
inline constexpr std::uint64_t ScaledIntegerFloor = IntegerPowersOfTen[ScaledDigits - 1];
inline constexpr std::uint64_t ScaledIntegerBound = IntegerPowersOfTen[ScaledDigits];

struct ScaledInteger {
    std::uint64_t Integer;  // ScaledIntegerFloor <= Integer < ScaledIntegerBound
    int Exponent;           // d: the value is about Integer x 10^(d - 17)
};

// The estimate d from the binary exponent, a x 10^(17 - d) in extended arithmetic, each step
// rounded: the product or quotient, the rounding to an integer, and, where the estimate was
// one off, the scaling once more or the division by 10.
ScaledInteger ScaleToInteger(ExtendedReal magnitude);

// The same steps, every one through the general extended operations; ScaleToInteger takes a
// shorter road for the powers up to 10^27 and gives the very same results.
ScaledInteger ScaleToIntegerStepByStep(ExtendedReal magnitude);

#pragma once
// The scaling step of digit generation: a positive normal extended value a becomes the
// 18-digit integer nearest a x 10^(17 - d), d its decimal exponent.
#include <cassert>
#include <cstdint>

#include "numtext/extended_real.h"
#include "numtext/power_table.h"

inline constexpr int ScaledDigits = 18;
inline constexpr std::uint64_t ScaledIntegerFloor = IntegerPowersOfTen[ScaledDigits - 1];
inline constexpr std::uint64_t ScaledIntegerBound = IntegerPowersOfTen[ScaledDigits];
inline constexpr int ScaledTarget = ScaledDigits - 1;  // the scaling power is 10^(17 - d)

// 19728 / 2^16 = 0.301025390625, just under log10 2 = 0.30102999..., so the estimate
// floor(e2 * 19728 / 2^16) is the decimal exponent or one less. Below 2^-680 the shortfall
// of the constant can make it one more; the value is scaled again then. Over the whole
// exponent range |e2 * 19728| < 2^29, so the product fits in 32 bits.
inline constexpr std::int32_t Log2Scaled = 19728;
inline constexpr int Log2ScaleShift = 16;
inline constexpr int MinBinaryExponent = 1 - ExtendedExponentBias;  // field 1
inline constexpr int MaxBinaryExponent = ExtendedExponentMask - 1 - ExtendedExponentBias;
inline constexpr int MinDecimalEstimate = -4932;  // the estimate at MinBinaryExponent
inline constexpr int MaxDecimalEstimate = 4931;   // the estimate at MaxBinaryExponent

// The estimate d of a positive normal value's decimal exponent from its binary one, e2.
inline int EstimateDecimalExponent(int e2) {
    assert(e2 >= MinBinaryExponent && e2 <= MaxBinaryExponent);
    const std::int32_t product = static_cast<std::int32_t>(e2) * Log2Scaled;
    // Arithmetic shift: the high 16 bits, rounded towards minus infinity (-1 gives -1).
    const int estimate = product >> Log2ScaleShift;
    assert(estimate >= MinDecimalEstimate && estimate <= MaxDecimalEstimate);
    return estimate;
}

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

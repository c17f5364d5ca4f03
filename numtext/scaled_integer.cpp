#include "numtext/scaled_integer.h"

#include <cassert>

#include "numtext/extended_rounding.h"
#include "numtext/power_table.h"

namespace {

// a * 10^k. Beyond 10^4096 the table's last power is applied first on its own.
ExtendedReal Scale(ExtendedReal a, int k) {
    int magnitude = k < 0 ? -k : k;
    if (magnitude > LargestPowerExponent) {
        const ExtendedReal largest = LargePowersOfTen[LargePowerCount - 1];
        a = k < 0 ? DivideExtended(a, largest) : MultiplyExtended(a, largest);
        magnitude -= LargestPowerExponent;
    }
    const ExtendedReal power = PowerOfTen(magnitude);
    return k < 0 ? DivideExtended(a, power) : MultiplyExtended(a, power);
}

// a x 10^k rounded to an integral value, ties to even.
ExtendedReal ScaledIntegral(ExtendedReal a, int k) {
    return RoundExtendedToIntegral(Scale(a, k));
}

// n / 10 as the extended division and rounding to an integer give it, for n below 2^64:
// the quotient's 64-bit significand keeps at least 3 bits after the point, which leaves
// every remainder but 5 on its side of one half.
std::uint64_t TenthRoundedToEven(std::uint64_t n) {
    return RoundHalfToEven(n / DecimalBase, n % DecimalBase, DecimalBase / 2);
}

// The product a x 10^k for 0 <= k <= 27, where 10^k is exact and the product lies between
// 10^16 and 10^19: the multiplication's own rounding to 64 bits, then the rounding to an
// integer, both ties to even. False when the estimate was one too high, which only the
// step-by-step road handles.
bool ScaleByExactPower(ExtendedReal a, int d, ScaledInteger& result) {
    const int k = ScaledTarget - d;
    if (k < 0 || k >= ExactPowerCount) return false;
    const ExtendedReal power = ExactPowersOfTen[k];
    // Both are positive and normal: their fields and significands need no unpacking.
    const ExtendedReal product =
        RoundAndPackProduct(false, ExtendedExponentField(a), a.Significand,
                            ExtendedExponentField(power), power.Significand);
    const int fraction = IntegralField - ExtendedExponentField(product);  // bits after the point
    if (fraction < 0 || fraction > 62) return false;
    const std::uint64_t integer =
        fraction == 0 ? product.Significand : RoundedIntegerPart(product.Significand, fraction);
    if (integer < ScaledIntegerFloor) return false;
    // Both results are made and one is picked: the choice is hard to foresee.
    const bool tooLong = integer >= ScaledIntegerBound;
    const std::uint64_t tenth = TenthRoundedToEven(integer);
    const std::uint64_t pick = 0 - std::uint64_t{tooLong};
    d += tooLong ? 1 : 0;
    result = ScaledInteger{(tenth & pick) | (integer & ~pick), d};
    return true;
}

}  // namespace

ScaledInteger ScaleToIntegerStepByStep(ExtendedReal magnitude) {
    int d = EstimateDecimalExponent(ExtendedExponentField(magnitude) - ExtendedExponentBias);
    ExtendedReal scaled = ScaledIntegral(magnitude, ScaledTarget - d);
    if (ExtendedLess(scaled, ExactPowersOfTen[ScaledDigits - 1])) {
        // Only below 2^-680: the estimate was one too high. Scale once more, one power up.
        --d;
        scaled = ScaledIntegral(magnitude, ScaledTarget - d);
    }
    if (!ExtendedLess(scaled, ExactPowersOfTen[ScaledDigits])) {
        // Rounded to nearest even, like every real-to-integer conversion of the program.
        scaled = RoundExtendedToIntegral(DivideExtended(scaled, ExactPowersOfTen[1]));
        ++d;
    }
    // scaled is a whole number below 10^18 now: the conversion is exact.
    const auto integer = static_cast<std::uint64_t>(ExtendedToInteger(scaled));
    assert(integer >= ScaledIntegerFloor && integer < ScaledIntegerBound);
    return ScaledInteger{integer, d};
}

ScaledInteger ScaleToInteger(ExtendedReal magnitude) {
    ScaledInteger result{};
    const int d = EstimateDecimalExponent(ExtendedExponentField(magnitude) - ExtendedExponentBias);
    if (ScaleByExactPower(magnitude, d, result)) return result;
    return ScaleToIntegerStepByStep(magnitude);
}

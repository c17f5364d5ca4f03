#include "numtext/scaled_integer.h"

#include <cassert>

#include "numtext/power_table.h"
#include "numtext/wide_integer.h"

namespace {

constexpr int ExponentBias = ExtendedExponentBias;
[[maybe_unused]] constexpr int MinBinaryExponent = 1 - ExponentBias;  // field 1
[[maybe_unused]] constexpr int MaxBinaryExponent = ExponentBias;      // field 7FFE

// 19728 / 2^16 = 0.301025390625, just under log10 2 = 0.30102999..., so the estimate
// floor(e2 * 19728 / 2^16) is the decimal exponent or one less. Below 2^-680 the shortfall
// of the constant can make it one more; the value is scaled again then. Over the whole
// exponent range |e2 * 19728| < 2^29, so the product fits in 32 bits.
constexpr std::int32_t Log2Scaled = 19728;
constexpr int Log2ScaleShift = 16;
[[maybe_unused]] constexpr int MinDecimalEstimate = -4932;  // estimate at MinBinaryExponent
[[maybe_unused]] constexpr int MaxDecimalEstimate = 4931;   // estimate at MaxBinaryExponent

constexpr int ScaleTarget = 17;                            // k = 17 - d
constexpr std::uint64_t ScaledLow = 100000000000000000;    // 10^17
constexpr std::uint64_t ScaledHigh = 1000000000000000000;  // 10^18
constexpr std::uint64_t HalfWord = std::uint64_t{1} << 63;

int EstimateDecimalExponent(int field) {
    const int e2 = field - ExponentBias;
    assert(e2 >= MinBinaryExponent && e2 <= MaxBinaryExponent);
    std::int32_t product = static_cast<std::int32_t>(e2) * Log2Scaled;
    // Arithmetic shift: the high 16 bits, rounded towards minus infinity (-1 gives -1).
    int estimate = product >> Log2ScaleShift;
    assert(estimate >= MinDecimalEstimate && estimate <= MaxDecimalEstimate);
    return estimate;
}

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
    const std::uint64_t quotient = n / 10;
    const std::uint64_t remainder = n % 10;
    // Above 5, or 5 with an odd quotient: one comparison, no branch.
    return quotient + std::uint64_t{remainder + (quotient & 1) > 5};
}

// The product a x 10^k for 0 <= k <= 27, where 10^k is exact and the product lies between
// 10^16 and 10^19: rounded once to 64 bits and then to an integer, both ties to even. False
// when the estimate was one too high, which only the step-by-step road handles.
bool ScaleByExactPower(ExtendedReal a, int d, ScaledInteger& result) {
    const int k = ScaleTarget - d;
    if (k < 0 || k >= ExactPowerCount) return false;
    const ExtendedReal power = ExactPowersOfTen[k];
    WideValue product = MultiplyWide(a.Significand, power.Significand);
    int exponent = ExtendedExponentField(a) + ExtendedExponentField(power) - (ExponentBias - 1);
    if ((product.High & ExtendedLeadingBit) == 0) {
        --exponent;
        product.High = (product.High << 1) | (product.Low >> 63);
        product.Low <<= 1;
    }
    // Up by the top bit of the low half; a carry out and a tie are rare.
    std::uint64_t significand = product.High + (product.Low >> 63);
    if (significand == 0) {
        ++exponent;
        significand = ExtendedLeadingBit;
    } else if (product.Low == HalfWord) {
        significand &= ~std::uint64_t{1};
    }
    const int fraction = ExponentBias + 63 - exponent;  // bits after the point
    if (fraction < 0 || fraction > 62) return false;
    std::uint64_t integer = significand;
    if (fraction > 0) {
        integer = significand >> fraction;
        const std::uint64_t rest = significand & ((std::uint64_t{1} << fraction) - 1);
        const std::uint64_t half = std::uint64_t{1} << (fraction - 1);
        integer += std::uint64_t{rest + (integer & 1) > half};  // above half, or half and odd
    }
    if (integer < ScaledLow) return false;
    // Both results are made and one is picked: the choice is hard to foresee.
    const bool tooLong = integer >= ScaledHigh;
    const std::uint64_t tenth = TenthRoundedToEven(integer);
    const std::uint64_t pick = 0 - std::uint64_t{tooLong};
    integer = (tenth & pick) | (integer & ~pick);
    d += tooLong ? 1 : 0;
    result = ScaledInteger{integer, d};
    return true;
}

}  // namespace

ScaledInteger ScaleToIntegerStepByStep(ExtendedReal magnitude) {
    int d = EstimateDecimalExponent(ExtendedExponentField(magnitude));
    ExtendedReal scaled = ScaledIntegral(magnitude, ScaleTarget - d);
    if (ExtendedLess(scaled, ScaledIntegerFloor)) {
        // Only below 2^-680: the estimate was one too high. Scale once more, one power up.
        --d;
        scaled = ScaledIntegral(magnitude, ScaleTarget - d);
    }
    if (!ExtendedLess(scaled, ScaledIntegerBound)) {
        // Rounded to nearest even, like every real-to-integer conversion of the program.
        scaled = RoundExtendedToIntegral(DivideExtended(scaled, ExactPowersOfTen[1]));
        ++d;
    }
    // scaled is a whole number below 10^18 now: the conversion is exact.
    const auto integer = static_cast<std::uint64_t>(ExtendedToInteger(scaled));
    assert(integer >= ScaledLow && integer < ScaledHigh);
    return ScaledInteger{integer, d};
}

ScaledInteger ScaleToInteger(ExtendedReal magnitude) {
    ScaledInteger result{};
    const int d = EstimateDecimalExponent(ExtendedExponentField(magnitude));
    if (ScaleByExactPower(magnitude, d, result)) return result;
    return ScaleToIntegerStepByStep(magnitude);
}

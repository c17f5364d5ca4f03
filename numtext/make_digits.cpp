// Digit generation: the value is scaled by a power of ten into an 18-digit integer, whose
// leading digits are then rounded to the budget by looking at the next digit only.
#include <cassert>
#include <cstring>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"
#include "numtext/power_table.h"

namespace {

constexpr std::uint16_t ExponentField = ExtendedExponentMask;  // all ones: infinity or NaN
constexpr int ExponentBias = ExtendedExponentBias;
[[maybe_unused]] constexpr int MinBinaryExponent = 1 - ExponentBias;  // field 1
[[maybe_unused]] constexpr int MaxBinaryExponent = ExponentBias;      // field 7FFE
constexpr std::uint64_t LeadingBit = ExtendedLeadingBit;
constexpr int TopBitsShift = 48;
constexpr std::uint64_t InfinityTopBits = 0x8000;  // top 16 bits of an infinity's significand

// 19728 / 2^16 = 0.301025390625, just under log10 2 = 0.30102999..., so the estimate
// floor(e2 * 19728 / 2^16) is the decimal exponent or one less. Below 2^-680 the shortfall
// of the constant can make it one more; MakeDigits rescales then. Over the whole exponent
// range |e2 * 19728| < 2^29, so the product fits in 32 bits.
constexpr std::int32_t Log2Scaled = 19728;
constexpr int Log2ScaleShift = 16;
[[maybe_unused]] constexpr int MinDecimalEstimate = -4932;  // estimate at MinBinaryExponent
[[maybe_unused]] constexpr int MaxDecimalEstimate = 4931;   // estimate at MaxBinaryExponent

constexpr int ScaledDigits = 18;               // digits of the scaled integer
constexpr int ScaleTarget = ScaledDigits - 1;  // k = 17 - d
[[maybe_unused]] constexpr std::uint64_t ScaledLow = 100000000000000000;    // 10^17
[[maybe_unused]] constexpr std::uint64_t ScaledHigh = 1000000000000000000;  // 10^18
constexpr int UsedDigits = 16;  // the largest budget and the digit that rounds it
static_assert(LongBudget + 1 <= UsedDigits);
constexpr std::uint64_t LeftOutScale = 100;  // 10^(18 - 16): drops the two digits never used
constexpr int EightDigits = 8;
constexpr std::uint64_t EightDigitSplit = 100000000;  // 10^8: the 16 digits as two halves
static_assert(2 * EightDigits == UsedDigits);
constexpr int InfinityPoint = 999;

// Sets result's Count digits to digit.
void Fill(DecimalDigits& result, char digit, int point, bool negative, bool zero) {
    std::memset(result.Digits, digit, static_cast<std::size_t>(result.Count));
    result.Point = point;
    result.Negative = negative;
    result.Zero = zero;
}

void FillZero(DecimalDigits& result) {
    Fill(result, '0', 1, false, true);
}

int EstimateDecimalExponent(int e2) {
    assert(e2 >= MinBinaryExponent && e2 <= MaxBinaryExponent);
    std::int32_t product = static_cast<std::int32_t>(e2) * Log2Scaled;
    // Arithmetic shift: the high 16 bits, rounded towards minus infinity (-1 gives -1).
    int estimate = product >> Log2ScaleShift;
    assert(estimate >= MinDecimalEstimate && estimate <= MaxDecimalEstimate);
    return estimate;
}

// a * 10^k, k = 17 - d. Beyond 10^4096 the table's last power is applied first on its own.
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

// "00" to "99": the two digits of every value below 100, side by side.
struct DigitPairTable {
    char Pairs[200];
};

constexpr DigitPairTable MakeDigitPairs() {
    DigitPairTable table{};
    for (int value = 0; value < 100; ++value) {
        table.Pairs[2 * value] = static_cast<char>('0' + value / 10);
        table.Pairs[2 * value + 1] = static_cast<char>('0' + value % 10);
    }
    return table;
}

constexpr DigitPairTable DigitPairs = MakeDigitPairs();

void WriteTwoDigits(char* out, std::uint32_t value) {
    std::memcpy(out, DigitPairs.Pairs + 2 * value, 2);
}

// The eight digits of a value below 10^8, most significant first, two at a time from its two
// halves below 10^4: short, independent runs of divisions, which the processor overlaps.
void WriteEightDigits(char* out, std::uint32_t value) {
    const std::uint32_t high = value / 10000;
    const std::uint32_t low = value % 10000;
    WriteTwoDigits(out, high / 100);
    WriteTwoDigits(out + 2, high % 100);
    WriteTwoDigits(out + 4, low / 100);
    WriteTwoDigits(out + 6, low % 100);
}

// Adds one to the last digit. A "9" becomes "0" and passes the one to the digit before it.
// Returns true when the one passes out of the first digit: the digits are then all "0" and the
// first is set to "1", and the caller raises the exponent.
bool AddOneAtEnd(char* digits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits[0] = '1';
    return true;
}

}  // namespace

// Every path fills the one result, which the compiler then builds in the caller's place.
DecimalDigits MakeDigits(ExtendedReal value, int budget) {
    assert(budget >= 1 && budget <= LongBudget);
    budget = budget < 1 ? 1 : (budget > LongBudget ? LongBudget : budget);  // keep in Digits
    DecimalDigits result{};
    result.Count = budget;
    const int field = ExtendedExponentField(value);
    const bool negative = ExtendedNegative(value);
    if (field == ExponentField) {
        if ((value.Significand >> TopBitsShift) == InfinityTopBits) {
            Fill(result, '9', InfinityPoint, negative, false);
        } else {
            FillZero(result);  // every NaN
        }
        return result;
    }
    // Field 0 holds zero and the denormals. A clear leading bit with a non-zero field is an
    // unnormal, which arithmetic never yields and the unit refuses as an operand: a NaN.
    if (field == 0 || (value.Significand & LeadingBit) == 0) {
        FillZero(result);
        return result;
    }

    const ExtendedReal a = AbsoluteExtended(value);
    int d = EstimateDecimalExponent(field - ExponentBias);
    ExtendedReal scaled = ScaledIntegral(a, ScaleTarget - d);
    if (ExtendedLess(scaled, ScaledIntegerFloor)) {
        // Only below 2^-680: the estimate was one too high. Scale once more, one power up.
        --d;
        scaled = ScaledIntegral(a, ScaleTarget - d);
    }
    if (!ExtendedLess(scaled, ScaledIntegerBound)) {
        // Rounded to nearest even, like every real-to-integer conversion of the program.
        scaled = RoundExtendedToIntegral(DivideExtended(scaled, ExactPowersOfTen[1]));
        ++d;
    }
    // scaled is a whole number below 10^18 now: the conversion is exact.
    const auto integer = static_cast<std::uint64_t>(ExtendedToInteger(scaled));
    assert(integer >= ScaledLow && integer < ScaledHigh);

    // The first 16 of the 18 digits, all that the largest budget and its rounding digit use.
    char all[UsedDigits];
    const std::uint64_t leading = integer / LeftOutScale;
    WriteEightDigits(all, static_cast<std::uint32_t>(leading / EightDigitSplit));
    WriteEightDigits(all + EightDigits, static_cast<std::uint32_t>(leading % EightDigitSplit));

    std::memcpy(result.Digits, all, static_cast<std::size_t>(budget));
    // Round on the next digit alone; a 5 rounds up only an odd last digit.
    const char next = all[budget];
    const bool lastOdd = ((result.Digits[budget - 1] - '0') & 1) != 0;
    if ((next > '5' || (next == '5' && lastOdd)) && AddOneAtEnd(result.Digits, budget)) {
        ++d;
    }
    result.Point = d + 1;
    result.Negative = negative;
    result.Zero = false;
    return result;
}

// Digit generation: the value is scaled by a power of ten into an 18-digit integer, whose
// leading digits are then rounded to the budget by looking at the next digit only.
#include <cassert>
#include <cmath>
#include <cstring>

#include "numtext/number_text.h"
#include "numtext/power_table.h"

namespace {

static_assert(__LDBL_MANT_DIG__ == 64, "long double must be the x87 80-bit extended type");

// The extended format in memory (little-endian): 64-bit significand with an explicit leading
// bit, then a 16-bit word of sign and biased exponent.
constexpr int SignificandBytes = 8;
constexpr int ExponentWordBytes = 2;
constexpr std::uint16_t SignBit = 0x8000;
constexpr std::uint16_t ExponentField = 0x7FFF;  // all ones: infinity or NaN
constexpr int ExponentBias = 16383;
[[maybe_unused]] constexpr int MinBinaryExponent = 1 - ExponentBias;  // field 1
[[maybe_unused]] constexpr int MaxBinaryExponent = ExponentBias;      // field 7FFE
constexpr std::uint64_t LeadingBit = std::uint64_t{1} << 63;
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

constexpr int ScaledDigits = 18;                           // digits of the scaled integer
constexpr int ScaleTarget = ScaledDigits - 1;              // k = 17 - d
[[maybe_unused]] constexpr std::uint64_t ScaledLow = 100000000000000000;    // 10^17
[[maybe_unused]] constexpr std::uint64_t ScaledHigh = 1000000000000000000;  // 10^18
constexpr std::uint64_t HalfSplit = 1000000000;  // 10^9: the integer as two 9-digit halves
constexpr int HalfDigits = 9;
static_assert(2 * HalfDigits == ScaledDigits);
constexpr int InfinityPoint = 999;

struct ExtendedBits {
    std::uint64_t Significand;
    std::uint16_t SignAndExponent;
};

ExtendedBits ReadBits(long double value) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &value, sizeof bytes);
    ExtendedBits bits{};
    std::memcpy(&bits.Significand, bytes, SignificandBytes);
    std::memcpy(&bits.SignAndExponent, bytes + SignificandBytes, ExponentWordBytes);
    return bits;
}

DecimalDigits Filled(char digit, int budget, int point, bool negative, bool zero) {
    DecimalDigits result{};
    std::memset(result.Digits, digit, static_cast<std::size_t>(budget));
    result.Count = budget;
    result.Point = point;
    result.Negative = negative;
    result.Zero = zero;
    return result;
}

DecimalDigits ZeroDigits(int budget) {
    return Filled('0', budget, 1, false, true);
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
long double Scale(long double a, int k) {
    int magnitude = k < 0 ? -k : k;
    if (magnitude > LargestPowerExponent) {
        const long double largest = LargePowersOfTen[LargePowerCount - 1];
        a = k < 0 ? a / largest : a * largest;
        magnitude -= LargestPowerExponent;
    }
    long double power = PowerOfTen(magnitude);
    return k < 0 ? a / power : a * power;
}

// The nine digits of a value below 10^9, most significant first.
void WriteNineDigits(char* out, std::uint32_t value) {
    for (int i = HalfDigits - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
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

DecimalDigits MakeDigits(long double value, int budget) {
    assert(budget >= 1 && budget <= LongBudget);
    budget = budget < 1 ? 1 : (budget > LongBudget ? LongBudget : budget);  // keep in Digits
    const ExtendedBits bits = ReadBits(value);
    const int field = bits.SignAndExponent & ExponentField;
    const bool negative = (bits.SignAndExponent & SignBit) != 0;
    if (field == ExponentField) {
        if ((bits.Significand >> TopBitsShift) == InfinityTopBits) {
            return Filled('9', budget, InfinityPoint, negative, false);
        }
        return ZeroDigits(budget);  // every NaN
    }
    // Field 0 holds zero and the denormals. A clear leading bit with a non-zero field is an
    // unnormal, which arithmetic never yields and the unit refuses as an operand: a NaN.
    if (field == 0 || (bits.Significand & LeadingBit) == 0) {
        return ZeroDigits(budget);
    }

    const long double a = std::fabs(value);
    int d = EstimateDecimalExponent(field - ExponentBias);
    long double scaled = std::rint(Scale(a, ScaleTarget - d));
    if (scaled < ScaledIntegerFloor) {
        // Only below 2^-680: the estimate was one too high. Scale once more, one power up.
        --d;
        scaled = std::rint(Scale(a, ScaleTarget - d));
    }
    if (scaled >= ScaledIntegerBound) {
        scaled /= 10;
        ++d;
    }
    // llrintl rounds to nearest even, like every real-to-integer conversion of the program.
    const std::uint64_t integer = static_cast<std::uint64_t>(std::llrint(scaled));
    assert(integer >= ScaledLow && integer < ScaledHigh);

    // The 18 digits and two "0" behind them; only the first budget + 1 are used. The two
    // halves are independent runs of divisions by 10, which the processor overlaps.
    char all[ScaledDigits + 2];
    WriteNineDigits(all, static_cast<std::uint32_t>(integer / HalfSplit));
    WriteNineDigits(all + HalfDigits, static_cast<std::uint32_t>(integer % HalfSplit));
    all[ScaledDigits] = '0';
    all[ScaledDigits + 1] = '0';

    DecimalDigits result{};
    std::memcpy(result.Digits, all, static_cast<std::size_t>(budget));
    result.Count = budget;
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

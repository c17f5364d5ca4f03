// Digit generation: the value is scaled by a power of ten into an 18-digit integer, whose
// leading digits are then rounded to the budget by looking at the next digit only.
#include <cassert>
#include <cstring>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"
#include "numtext/scaled_integer.h"

namespace {

constexpr std::uint16_t ExponentField = ExtendedExponentMask;  // all ones: infinity or NaN
constexpr std::uint64_t LeadingBit = ExtendedLeadingBit;
constexpr int TopBitsShift = 48;
constexpr std::uint64_t InfinityTopBits = 0x8000;  // top 16 bits of an infinity's significand

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

    const ScaledInteger scaled = ScaleToInteger(AbsoluteExtended(value));
    const std::uint64_t integer = scaled.Integer;
    int d = scaled.Exponent;
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

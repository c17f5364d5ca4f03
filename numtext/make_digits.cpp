// Digit generation: the value is scaled by a power of ten into an 18-digit integer, whose
// leading digits are then rounded to the budget by looking at the next digit only.
#include <bit>
#include <cassert>
#include <cstring>

#include "numtext/extended_real.h"
#include "numtext/extended_rounding.h"
#include "numtext/number_text.h"
#include "numtext/power_table.h"
#include "numtext/scaled_integer.h"

namespace {

constexpr int TopBitsShift = 48;
constexpr std::uint64_t InfinityTopBits = 0x8000;  // top 16 bits of an infinity's significand

constexpr int UsedDigits = 16;  // the largest budget and the digit that rounds it
static_assert(LongBudget + 1 <= UsedDigits);
// Drops the two digits of the scaled integer that are never used.
constexpr std::uint64_t LeftOutScale = IntegerPowersOfTen[ScaledDigits - UsedDigits];
constexpr std::uint64_t EightDigitSplit = IntegerPowersOfTen[8];  // the 16 digits as two halves
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

// The eight digits of a value below 10^8 as eight characters, most significant first, in one
// word: the value is split into halves below 10^4, those into pairs of digits, those into
// digits, each split done for all parts at once by one multiplication in the word's lanes
// (x / 100 is (x * 10486) >> 20 below 10^4, x / 10 is (x * 103) >> 10 below 100).
std::uint64_t EightDigitCharacters(std::uint32_t value) {
    static_assert(std::endian::native == std::endian::little, "the first digit is the low byte");
    std::uint64_t lanes = (value / 10000) | (std::uint64_t{value % 10000} << 32);
    std::uint64_t high = ((lanes * 10486) >> 20) & 0x0000007F0000007F;
    lanes = high | ((lanes - high * 100) << 16);
    high = ((lanes * 103) >> 10) & 0x000F000F000F000F;
    lanes = high | ((lanes - high * 10) << 8);
    return lanes + 0x3030303030303030;  // '0' in every byte
}

struct KeptDigits {
    std::uint64_t Digits;  // below 10^budget
    bool Carried;          // the rounding carried out of the first digit
};

// The first digits of the 16, down to unit = 10^(16 - budget), rounded on the next digit
// alone: a 5 rounds up only an odd last digit. A carry out of the first digit leaves "1" and
// zeros, and says so. Inline, so that the usual budgets divide by constants.
inline KeptDigits KeepDigits(std::uint64_t leading, std::uint64_t unit, std::uint64_t limit) {
    const std::uint64_t next = leading % unit / (unit / DecimalBase);
    const std::uint64_t kept = RoundHalfToEven(leading / unit, next, DecimalBase / 2);
    if (kept == limit) return KeptDigits{limit / DecimalBase, true};
    return KeptDigits{kept, false};
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
    if (field == ExtendedExponentMask) {  // infinities and NaNs
        if ((value.Significand >> TopBitsShift) == InfinityTopBits) {
            Fill(result, '9', InfinityPoint, negative, false);
        } else {
            FillZero(result);  // every NaN
        }
        return result;
    }
    // Field 0 holds zero and the denormals. A clear leading bit with a non-zero field is an
    // unnormal, which arithmetic never yields and the unit refuses as an operand: a NaN.
    if (field == 0 || (value.Significand & ExtendedLeadingBit) == 0) {
        FillZero(result);
        return result;
    }

    const ScaledInteger scaled = ScaleToInteger(AbsoluteExtended(value));
    const std::uint64_t integer = scaled.Integer;
    int d = scaled.Exponent;
    assert(integer >= ScaledIntegerFloor && integer < ScaledIntegerBound);

    // The first 16 of the 18 digits, all that the largest budget and its rounding digit use.
    const std::uint64_t leading = integer / LeftOutScale;
    const int unitDigits = UsedDigits - budget;
    const KeptDigits kept =
        budget == LongBudget
            ? KeepDigits(leading, IntegerPowersOfTen[1], IntegerPowersOfTen[LongBudget])
        : budget == ShortBudget
            ? KeepDigits(leading, IntegerPowersOfTen[UsedDigits - ShortBudget],
                         IntegerPowersOfTen[ShortBudget])
            : KeepDigits(leading, IntegerPowersOfTen[unitDigits], IntegerPowersOfTen[budget]);
    if (kept.Carried) ++d;
    // The kept digits and zeros after them: 16 characters, two words.
    const std::uint64_t padded = kept.Digits * IntegerPowersOfTen[unitDigits];
    const std::uint64_t words[2] = {
        EightDigitCharacters(static_cast<std::uint32_t>(padded / EightDigitSplit)),
        EightDigitCharacters(static_cast<std::uint32_t>(padded % EightDigitSplit))};
    static_assert(sizeof words == sizeof result.Digits);
    std::memcpy(result.Digits, words, sizeof words);
    result.Point = d + 1;
    result.Negative = negative;
    result.Zero = false;
    return result;
}

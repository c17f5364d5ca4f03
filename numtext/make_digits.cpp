// Digit generation: the value is scaled by a power of ten into an 18-digit integer, whose
// leading digits are then rounded to the budget by looking at the next digit only.
#include <cassert>
#include <cstring>

#include "numtext/digit_steps.h"
#include "numtext/extended_real.h"
#include "numtext/extended_rounding.h"
#include "numtext/number_text.h"
#include "numtext/power_table.h"
#include "numtext/scaled_integer.h"

namespace {

constexpr int TopBitsShift = 48;
constexpr std::uint64_t InfinityTopBits = 0x8000;  // top 16 bits of an infinity's significand

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

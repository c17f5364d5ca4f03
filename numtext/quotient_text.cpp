// The short road of whole quotients. The first 16 digits of the general road's scaled
// integer are read off the exact quotient, where its rounding cannot have changed them; the
// rest of the time they come the general road's way. The digits are then laid out for the few
// shapes a quotient in [2^-31, 1] can take, with whole-word copies and no loop.
#include "numtext/quotient_text.h"

#include <bit>
#include <cassert>
#include <cstring>

#include "numtext/digit_steps.h"
#include "numtext/extended_rounding.h"
#include "numtext/scaled_integer.h"

namespace {

constexpr std::uint64_t ZeroCharacters = 0x3030303030303030;  // '0' in every byte
constexpr int WordBytes = 8;

// The 15 digits as characters, most significant first, and a '0' after them, in two words
// kept apart (stored one by one, so a later read of either finds it whole); the count of
// digits up to the last that is not '0'.
struct DigitCharacters {
    std::uint64_t First;   // digits 1 to 8
    std::uint64_t Second;  // digits 9 to 15 and the '0'
    int Significant;       // 1 to 15
};

DigitCharacters CharactersOf(std::uint64_t digits) {
    const std::uint64_t padded = digits * DecimalBase;
    const std::uint64_t first =
        EightDigitCharacters(static_cast<std::uint32_t>(padded / EightDigitSplit));
    const std::uint64_t second =
        EightDigitCharacters(static_cast<std::uint32_t>(padded % EightDigitSplit));
    // The highest byte that is not '0' in the second word, else in the first, whose first
    // digit never is.
    const std::uint64_t secondLeft = second ^ ZeroCharacters;
    const std::uint64_t firstLeft = first ^ ZeroCharacters;
    const int significant = secondLeft != 0
                                ? WordBytes + 1 + (63 - std::countl_zero(secondLeft)) / 8
                                : 1 + (63 - std::countl_zero(firstLeft)) / 8;
    return DigitCharacters{.First = first, .Second = second, .Significant = significant};
}

void PutWord(char* at, std::uint64_t word) {
    std::memcpy(at, &word, sizeof word);
}

// ".", -point zeros, the digits: the value below 1 with at most 15 digits after the point.
char* PutFraction(char* at, const DigitCharacters& digits, int point) {
    *at = '.';
    PutWord(at + 1, ZeroCharacters);
    PutWord(at + 1 + WordBytes, ZeroCharacters);
    PutWord(at + 1 - point, digits.First);
    PutWord(at + 1 - point + WordBytes, digits.Second);
    return at + 1 - point + digits.Significant;
}

// D1, "." and D2 .. Ds when s > 1, "E-" and 1 - point, which is 2 to 10.
char* PutExponentForm(char* at, const DigitCharacters& digits, int point) {
    // Digits 2 to 8 move one place on, for the point; the word's top byte is then 0, which
    // the second word's store covers.
    PutWord(at, digits.First);
    PutWord(at + 2, digits.First >> 8);
    PutWord(at + 1 + WordBytes, digits.Second);
    at[1] = '.';
    at += digits.Significant > 1 ? digits.Significant + 1 : 1;
    const int exponent = 1 - point;
    assert(exponent >= 2 && exponent <= 10);
    at[0] = 'E';
    at[1] = '-';
    if (exponent < 10) {
        at[2] = static_cast<char>('0' + exponent);
        return at + 3;
    }
    at[2] = '1';
    at[3] = '0';
    return at + 4;
}

// The 16 leading digits of the scaled integer and the decimal exponent d, as MakeDigits has
// them before it rounds to the budget.
struct LeadingDigits {
    std::uint64_t Digits;  // 10^15 to 10^16 - 1
    int Exponent;          // d
};

// The general road: the quotient rounded to 64 bits, scaled to 18 digits.
LeadingDigits RoundedLeadingDigits(std::uint64_t magnitude, const WholeDivisor& divisor) {
    const int zeros = std::countl_zero(magnitude);
    const ExtendedReal quotient = RoundAndPackQuotient(
        false,
        (ExtendedExponentBias + 63 - zeros) - divisor.General.Exponent + ExtendedExponentBias,
        magnitude << zeros, divisor.General.Significand, divisor.General.Reciprocal);
    const ScaledInteger scaled = ScaleToInteger(quotient);
    return LeadingDigits{.Digits = scaled.Integer / LeftOutScale, .Exponent = scaled.Exponent};
}

// The general road scales q = a / D rounded to 64 bits by 10^k, k = 17 - d, rounds the
// product to 64 bits and then to an integer N; when N has 19 digits (d one low) it takes
// N / 10 rounded and d + 1; the leading digits are N / 100, cut. Each rounding is within
// 2^-64 of its value or half a unit of an integer, so N lies within 0.62 of the exact
// X = a / D x 10^k below 10^18, and N / 10 within 0.63 of X / 10 above. Where X / 100, or
// X / 1000 above 10^18, lies further than that from an integer, cutting the exact value
// gives the same digits: here that is read off the remainder of one exact division, with
// margins of 1/64 and (for the last digit 0 or 9 of X / 100 above 10^18) 1/8 of the divisor,
// which also keep X off 10^17 and 10^18 by more than N's distance. False otherwise.
bool ExactLeadingDigits(std::uint64_t magnitude, const WholeDivisor& divisor,
                        LeadingDigits& leading) {
    const std::uint64_t normalised = divisor.General.Significand;  // D, its leading bit at 63
    const int divisorZeros = std::countl_zero(divisor.Whole);
    const int zeros = std::countl_zero(magnitude);
    // floor(log2(a / D)), the rounded quotient's binary exponent too: a / D lies at least
    // 2^-31 of itself away from any power of two, the rounding moves it by 2^-64 at most.
    const int binary = divisorZeros - zeros - ((magnitude << zeros) < normalised ? 1 : 0);
    const int d = EstimateDecimalExponent(binary);
    const int up = ScaledTarget - d - 2;  // X / 100 = a x 5^up x 2^up / D, up from 15 to 25
    // a x 5^up x 2^up, and both a and D shifted up alike so D's leading bit is at 63; the
    // quotient, below 10^17, fits in 64 bits.
    const WideValue product =
        MultiplyWide(magnitude << divisorZeros, IntegerPowersOfFive[static_cast<unsigned>(up)]);
    const WideQuotient quotient =
        DivideWideBy((product.High << up) | (product.Low >> (64 - up)), product.Low << up,
                     normalised, divisor.General.Reciprocal);
    const std::uint64_t remainder = quotient.Remainder;  // X / 100's fraction, times D
    const std::uint64_t margin = normalised >> 6;
    bool sure = remainder - margin <= normalised - 2 * margin;
    // 19 digits: X / 1000, whose fraction is (its last digit + the fraction above) / 10.
    const std::uint64_t tenth = quotient.Quotient / DecimalBase;
    const std::uint64_t last = quotient.Quotient - tenth * DecimalBase;
    const std::uint64_t wideMargin = normalised >> 3;
    const bool nineteen = quotient.Quotient >= IntegerPowersOfTen[UsedDigits];
    sure =
        sure && !(nineteen && ((last == 0 && remainder < wideMargin) ||
                               (last == DecimalBase - 1 && remainder > normalised - wideMargin)));
    leading = LeadingDigits{.Digits = nineteen ? tenth : quotient.Quotient,
                            .Exponent = d + (nineteen ? 1 : 0)};
    return sure;
}

// The 15 digits kept and the place of the point, of a magnitude from 1 to the divisor.
WholeQuotientDigits DigitsWithin(std::uint64_t magnitude, const WholeDivisor& divisor,
                                 bool negative) {
    LeadingDigits leading{};
    if (!ExactLeadingDigits(magnitude, divisor, leading)) {
        leading = RoundedLeadingDigits(magnitude, divisor);
    }
    const KeptDigits kept =
        KeepDigits(leading.Digits, IntegerPowersOfTen[1], IntegerPowersOfTen[LongBudget]);
    const int point = leading.Exponent + (kept.Carried ? 1 : 0) + 1;
    assert(point >= -9 && point <= 1);
    return WholeQuotientDigits{.Digits = kept.Digits, .Point = point, .Negative = negative};
}

}  // namespace

WholeDivisor PrepareWholeDivisor(ExtendedReal divisor) {
    const std::int64_t whole = ExtendedToInteger(divisor);
    const bool onRoad = whole >= 1 && static_cast<std::uint64_t>(whole) <= LargestWholeDivisor &&
                        SameBits(ExtendedFromInteger(whole), divisor);
    return WholeDivisor{.General = PrepareDivisor(divisor),
                        .Whole = onRoad ? static_cast<std::uint64_t>(whole) : 0};
}

int PutWholeQuotientText(char* text, std::int64_t numerator, const WholeDivisor& divisor) {
    // The sign as a mask of all ones or none, without a branch: samples change sign at random.
    const std::uint64_t sign = 0 - (static_cast<std::uint64_t>(numerator) >> 63);
    const std::uint64_t magnitude = (static_cast<std::uint64_t>(numerator) ^ sign) - sign;
    // 0 - 1 wraps past every divisor: zero and the magnitudes above the divisor leave here.
    if (magnitude - 1 >= divisor.Whole) {
        if (magnitude == 0) {
            text[0] = '0';  // zero by anything is a zero or a NaN
            return 1;
        }
        const NumberText general =
            FileRealForm(DivideByPrepared(ExtendedFromInteger(numerator), divisor.General));
        std::memcpy(text, general.Text, sizeof general.Text);
        return general.Length;
    }
    const WholeQuotientDigits kept = DigitsWithin(magnitude, divisor, sign != 0);
    const int point = kept.Point;
    const DigitCharacters digits = CharactersOf(kept.Digits);

    char* at = text;
    *at = '-';
    at += sign & 1;
    if (point == 1) {
        *at++ = static_cast<char>(digits.First);  // 1, the quotient or what it rounds to
    } else if (digits.Significant - point > LongBudget) {
        at = PutExponentForm(at, digits, point);
    } else {
        at = PutFraction(at, digits, point);
    }
    return static_cast<int>(at - text);
}

bool TakeWholeQuotientDigits(std::int64_t numerator, const WholeDivisor& divisor,
                             WholeQuotientDigits& digits) {
    const std::uint64_t magnitude =
        numerator < 0 ? 0 - static_cast<std::uint64_t>(numerator) : numerator;
    if (magnitude == 0) {
        digits = WholeQuotientDigits{.Digits = 0, .Point = 1, .Negative = false};  // "0"
        return true;
    }
    if (magnitude > divisor.Whole) return false;
    digits = DigitsWithin(magnitude, divisor, numerator < 0);
    return true;
}

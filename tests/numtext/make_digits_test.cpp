// Digit generation on its own: the digits, the point, the sign and the zero flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "numtext/number_text.h"
#include "tests/numtext/extended_values.h"

namespace {

struct DigitsCase {
    const char* Name;
    ExtendedReal Value;
    int Budget;
    const char* Digits;
    int Point;
    bool Negative;
    bool Zero;
};

void ExpectDigits(const DigitsCase& c) {
    SCOPED_TRACE(c.Name);
    const DecimalDigits result = MakeDigits(c.Value, c.Budget);
    EXPECT_EQ(result.Count, c.Budget);
    EXPECT_EQ(std::string(result.Digits, static_cast<std::size_t>(result.Count)), c.Digits);
    EXPECT_EQ(result.Point, c.Point);
    EXPECT_EQ(result.Negative, c.Negative);
    EXPECT_EQ(result.Zero, c.Zero);
}

TEST(MakeDigits, OrdinaryValues) {
    const DigitsCase cases[] = {
        {"one", Whole(1), 15, "100000000000000", 1, false, false},
        {"one half", Ratio(1, 2), 15, "500000000000000", 0, false, false},
        {"minus 1/128", Ratio(-1, 128), 15, "781250000000000", -2, true, false},
        {"16-bit integer, short budget", Whole(44100), 7, "4410000", 5, false, false},
        {"largest 32-bit integer", Whole(2147483647), 15, "214748364700000", 10, false, false},
        {"2/3 rounds up on a 6", Ratio(2, 3), 15, "666666666666667", 0, false, false},
        // 0.1 scales to 10^18 or a hair under: the tenfold correction applies.
        {"one tenth", Ratio(1, 10), 15, "100000000000000", 0, false, false},
        {"smallest 24-bit quotient", Ratio(1, 8388608), 7, "1192093", -6, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

// Only the digit after the last kept one decides; a 5 rounds up an odd digit only.
TEST(MakeDigits, RoundingOnTheNextDigitAlone) {
    const DigitsCase cases[] = {
        // 885036774803918|577: the 5 follows an even 8 and is cut, though 577 > 500.
        {"29/32767 is cut on its 16th digit", Ratio(29, 32767), 15, "885036774803918", -3, false,
         false},
        {"5 after an odd digit 7 rounds up", Ratio(2469135, 2), 7, "1234568", 7, false, false},
        {"5 after an even digit 7 is cut", Ratio(2469133, 2), 7, "1234566", 7, false, false},
        {"5 followed by more digits after an even digit is cut", Ratio(123456651, 100), 7,
         "1234566", 7, false, false},
        {"6 rounds up", Ratio(6172833, 5), 7, "1234567", 7, false, false},
        {"4 is cut", Ratio(6172837, 5), 7, "1234567", 7, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

TEST(MakeDigits, CarryOutOfTheFirstDigitRaisesThePoint) {
    const DigitsCase cases[] = {
        {"seven nines and a half", Ratio(19999999, 2), 7, "1000000", 8, false, false},
        {"fifteen nines and a half", Ratio(1999999999999999, 2), 15, "100000000000000", 16, false,
         false},
        {"negative small value", Ratio(-249999999, 2500000000000), 7, "1000000", -3, true, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

// The 18-digit integer is formed by rounding to nearest, ties to even, not by cutting: these
// values carry a half below their 18th digit.
TEST(MakeDigits, ScaledIntegerIsRoundedToNearest) {
    const DigitsCase cases[] = {
        // Scaled by 10^0: ...457499.5 rounds to ...457500, whose 5 then rounds up the odd 7.
        {"half at the 18-digit integer", Ratio(469135780246914999, 2), 15, "234567890123458", 18,
         false, false},
        // Scaled by 10 to 10^18 or more, divided back by 10: ...345499.5 rounds to ...345500.
        {"half after the tenfold correction", Ratio(246913578024690999, 2), 15, "123456789012346",
         18, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

// Zero, denormals and every NaN give the zero digits with the sign cleared; only the exact
// infinity pattern in the top 16 bits of the significand gives the nines.
TEST(MakeDigits, SpecialValuesByExponentField) {
    const ExtendedReal infinity = ExtendedInfinity;
    const DigitsCase cases[] = {
        {"zero", Whole(0), 15, "000000000000000", 1, false, true},
        {"negative zero", NegateExtended(Whole(0)), 7, "0000000", 1, false, true},
        {"default NaN of 0/0", DefaultNaN(), 15, "000000000000000", 1, false, true},
        {"quiet NaN", FromBits(0xC000000000000000, 0x7FFF), 7, "0000000", 1, false, true},
        {"smallest denormal", FromBits(1, 0), 15, "000000000000000", 1, false, true},
        {"largest denormal", FromBits(0x7FFFFFFFFFFFFFFF, 0x0000), 7, "0000000", 1, false, true},
        {"pseudoNegateExtended(infinity) (leading bit clear) counts as a NaN", FromBits(0, 0x7FFF),
         7, "0000000", 1, false, true},
        {"unnormal counts as a NaN", FromBits(0x4000000000000000, 0x3FFF), 7, "0000000", 1, false,
         true},
        {"plus infinity", infinity, 15, "999999999999999", 999, false, false},
        {"minus infinity", NegateExtended(infinity), 7, "9999999", 999, true, false},
        {"NaN with the infinity's top 16 bits", FromBits(0x8000000000000001, 0xFFFF), 7, "9999999",
         999, true, false},
        {"NaN with other top bits", FromBits(0x8001000000000000, 0x7FFF), 7, "0000000", 1, false,
         true},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

TEST(MakeDigits, ExtremesOfTheExtendedRange) {
    const DigitsCase cases[] = {
        {"smallest normal", FromBits(0x8000000000000000, 0x0001), 15, "336210314311209", -4931,
         false, false},
        {"largest finite", FromBits(0xFFFFFFFFFFFFFFFF, 0xFFFE), 15, "118973149535723", 4933, true,
         false},
        // 2^-1166: an exponent whose estimate is one too high, so the value is scaled again.
        {"estimate one too high", FromBits(0x8000000000000000, 16383 - 1166), 15, "997757625899340",
         -351, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

}  // namespace

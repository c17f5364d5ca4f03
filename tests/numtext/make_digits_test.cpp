// Digit generation on its own: the digits, the point, the sign and the zero flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "numtext/number_text.h"

namespace {

struct DigitsCase {
    const char* Name;
    long double Value;
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

long double FromBits(std::uint64_t significand, std::uint16_t signAndExponent) {
    long double value = 0;
    std::memcpy(&value, &significand, sizeof significand);
    std::memcpy(reinterpret_cast<unsigned char*>(&value) + 8, &signAndExponent,
                sizeof signAndExponent);
    return value;
}

long double DefaultNaN() {
    volatile long double zero = 0;
    return zero / zero;  // the unit's default NaN has its sign bit set
}

TEST(MakeDigits, OrdinaryValues) {
    const DigitsCase cases[] = {
        {"one", 1.0L, 15, "100000000000000", 1, false, false},
        {"one half", 0.5L, 15, "500000000000000", 0, false, false},
        {"minus 1/128", -1.0L / 128, 15, "781250000000000", -2, true, false},
        {"16-bit integer, short budget", 44100.0L, 7, "4410000", 5, false, false},
        {"largest 32-bit integer", 2147483647.0L, 15, "214748364700000", 10, false, false},
        {"2/3 rounds up on a 6", 2.0L / 3, 15, "666666666666667", 0, false, false},
        // 0.1 scales to 10^18 or a hair under: the tenfold correction applies.
        {"one tenth", 0.1L, 15, "100000000000000", 0, false, false},
        {"smallest 24-bit quotient", 1.0L / 8388608, 7, "1192093", -6, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

// Only the digit after the last kept one decides; a 5 rounds up an odd digit only.
TEST(MakeDigits, RoundingOnTheNextDigitAlone) {
    const DigitsCase cases[] = {
        // 885036774803918|577: the 5 follows an even 8 and is cut, though 577 > 500.
        {"29/32767 is cut on its 16th digit", 29.0L / 32767, 15, "885036774803918", -3, false,
         false},
        {"5 after an odd digit 7 rounds up", 1234567.5L, 7, "1234568", 7, false, false},
        {"5 after an even digit 7 is cut", 1234566.5L, 7, "1234566", 7, false, false},
        {"5 followed by more digits after an even digit is cut", 1234566.51L, 7, "1234566", 7,
         false, false},
        {"6 rounds up", 1234566.6L, 7, "1234567", 7, false, false},
        {"4 is cut", 1234567.4L, 7, "1234567", 7, false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

TEST(MakeDigits, CarryOutOfTheFirstDigitRaisesThePoint) {
    const DigitsCase cases[] = {
        {"seven nines and a half", 9999999.5L, 7, "1000000", 8, false, false},
        {"fifteen nines and a half", 999999999999999.5L, 15, "100000000000000", 16, false, false},
        {"negative small value", -0.0000999999996L, 7, "1000000", -3, true, false},
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
        {"half at the 18-digit integer", 234567890123457499.5L, 15, "234567890123458", 18, false,
         false},
        // Scaled by 10 to 10^18 or more, divided back by 10: ...345499.5 rounds to ...345500.
        {"half after the tenfold correction", 123456789012345499.5L, 15, "123456789012346", 18,
         false, false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

// Zero, denormals and every NaN give the zero digits with the sign cleared; only the exact
// infinity pattern in the top 16 bits of the significand gives the nines.
TEST(MakeDigits, SpecialValuesByExponentField) {
    const long double infinity = std::numeric_limits<long double>::infinity();
    const DigitsCase cases[] = {
        {"zero", 0.0L, 15, "000000000000000", 1, false, true},
        {"negative zero", -0.0L, 7, "0000000", 1, false, true},
        {"default NaN of 0/0", DefaultNaN(), 15, "000000000000000", 1, false, true},
        {"quiet NaN", std::numeric_limits<long double>::quiet_NaN(), 7, "0000000", 1, false, true},
        {"smallest denormal", std::numeric_limits<long double>::denorm_min(), 15, "000000000000000",
         1, false, true},
        {"largest denormal", FromBits(0x7FFFFFFFFFFFFFFF, 0x0000), 7, "0000000", 1, false, true},
        {"pseudo-infinity (leading bit clear) counts as a NaN", FromBits(0, 0x7FFF), 7, "0000000",
         1, false, true},
        {"unnormal counts as a NaN", FromBits(0x4000000000000000, 0x3FFF), 7, "0000000", 1, false,
         true},
        {"plus infinity", infinity, 15, "999999999999999", 999, false, false},
        {"minus infinity", -infinity, 7, "9999999", 999, true, false},
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
        {"smallest normal", std::numeric_limits<long double>::min(), 15, "336210314311209", -4931,
         false, false},
        {"largest finite", -std::numeric_limits<long double>::max(), 15, "118973149535723", 4933,
         true, false},
        // 2^-1166: an exponent whose estimate is one too high, so the value is scaled again.
        {"estimate one too high", std::ldexp(1.0L, -1166), 15, "997757625899340", -351, false,
         false},
    };
    for (const DigitsCase& c : cases) {
        ExpectDigits(c);
    }
}

}  // namespace

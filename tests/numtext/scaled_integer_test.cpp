// The short road of the scaling step against the step-by-step one: the same integer and
// exponent for every value, over the program's values and the whole exponent range.
#include "numtext/scaled_integer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "numtext/power_table.h"

namespace {

// A positive normal value: a 24-bit quotient, an integer, a power of ten give or take a unit
// in the last place, or any significand at any exponent.
ExtendedReal RandomMagnitude(std::mt19937_64& random) {
    switch (random() % 4) {
        case 0: {
            const auto peak = static_cast<std::int64_t>(random() % 8388608 + 1);
            const auto sample =
                static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(peak) + 1);
            return DivideExtended(ExtendedFromInteger(sample), ExtendedFromInteger(peak));
        }
        case 1:
            return ExtendedFromUnsigned((random() >> (random() % 63)) | 1);
        case 2: {
            ExtendedReal power = ExactPowersOfTen[random() % ExactPowerCount];
            power.Significand += random() % 3 - 1;
            power.Significand |= ExtendedLeadingBit;
            power.SignExponent = static_cast<std::uint16_t>(power.SignExponent - random() % 60);
            return power;
        }
        default:
            return ExtendedReal{random() | ExtendedLeadingBit,
                                static_cast<std::uint16_t>(random() % 0x7FFE + 1)};
    }
}

TEST(ScaledInteger, ShortRoadGivesTheStepByStepResult) {
    std::mt19937_64 random(17);
    int mismatches = 0;
    for (int i = 0; i < 1000000; ++i) {
        const ExtendedReal value = RandomMagnitude(random);
        const ScaledInteger fast = ScaleToInteger(value);
        const ScaledInteger slow = ScaleToIntegerStepByStep(value);
        if ((fast.Integer != slow.Integer || fast.Exponent != slow.Exponent) &&
            ++mismatches <= 10) {
            ADD_FAILURE() << std::hex << value.SignExponent << " " << value.Significand << ": "
                          << std::dec << fast.Integer << " " << fast.Exponent << " against "
                          << slow.Integer << " " << slow.Exponent;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

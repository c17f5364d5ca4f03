// The power table: the large powers must be the extended values nearest the exact powers, and
// the powers that scale the program's values (10^8 to 10^25) must come out exact.
#include "numtext/power_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "numtext/scaled_integer.h"

namespace {

struct Extended {
    std::uint64_t Significand;
    int Exponent;  // unbiased: value = Significand x 2^(Exponent - 63)
};

Extended Decompose(ExtendedReal value) {
    return Extended{value.Significand, ExtendedExponentField(value) - ExtendedExponentBias};
}

// Little-endian 32-bit limbs, enough for 5^4096 (9510 bits).
using BigNumber = std::vector<std::uint32_t>;

BigNumber PowerOfFive(int exponent) {
    BigNumber number{1};
    for (int i = 0; i < exponent; ++i) {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : number) {
            const std::uint64_t product = std::uint64_t{limb} * 5 + carry;
            limb = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) {
            number.push_back(static_cast<std::uint32_t>(carry));
        }
    }
    return number;
}

int BitLength(const BigNumber& number) {
    const std::uint32_t top = number.back();
    int bits = 0;
    while ((top >> bits) != 0) {
        ++bits;
    }
    return static_cast<int>(number.size() - 1) * 32 + bits;
}

bool Bit(const BigNumber& number, int index) {
    return index >= 0 && ((number[static_cast<std::size_t>(index / 32)] >> (index % 32)) & 1) != 0;
}

// 10^exponent = 5^exponent x 2^exponent, rounded to a 64-bit significand, ties to even.
Extended NearestPowerOfTen(int exponent) {
    const BigNumber five = PowerOfFive(exponent);
    const int length = BitLength(five);
    const int dropped = length > 64 ? length - 64 : 0;
    std::uint64_t significand = 0;
    for (int i = length - 1; i >= dropped; --i) {
        significand = (significand << 1) | (Bit(five, i) ? 1 : 0);
    }
    significand <<= (64 - (length - dropped));
    int top = length - 1 + exponent;
    if (dropped > 0) {
        const bool half = Bit(five, dropped - 1);
        bool below = false;
        for (int i = 0; i < dropped - 1 && !below; ++i) {
            below = Bit(five, i);
        }
        if (half && (below || (significand & 1) != 0)) {
            ++significand;
            if (significand == 0) {  // carried out of the top bit
                significand = std::uint64_t{1} << 63;
                ++top;
            }
        }
    }
    return Extended{significand, top};
}

// 10^8 and 10^16 are exact; from 10^32 on (5^32 needs 75 bits) the pattern must be the
// nearest.
TEST(PowerTable, LargePowersAreTheNearestExtendedValues) {
    EXPECT_EQ(BitLength(PowerOfFive(32)), 75);
    for (int i = 0; i < LargePowerCount; ++i) {
        const int exponent = 8 << i;
        SCOPED_TRACE(exponent);
        const Extended expected = NearestPowerOfTen(exponent);
        const Extended actual = Decompose(LargePowersOfTen[i]);
        EXPECT_EQ(actual.Significand, expected.Significand);
        EXPECT_EQ(actual.Exponent, expected.Exponent);
    }
}

// 10^k is exact in 64 bits up to k = 27 (5^27 < 2^64); this covers every k the program's
// values need, so their scaling rounds once.
TEST(PowerTable, PowersUpToTwentySevenAreExact) {
    for (int k = 0; k <= 27; ++k) {
        SCOPED_TRACE(k);
        const Extended expected = NearestPowerOfTen(k);
        EXPECT_EQ(BitLength(PowerOfFive(k)) <= 64, true);
        EXPECT_EQ(Decompose(PowerOfTen(k)).Significand, expected.Significand);
        EXPECT_EQ(Decompose(PowerOfTen(k)).Exponent, expected.Exponent);
        EXPECT_FALSE(ExtendedNegative(PowerOfTen(k)));
        // the table is the products' values
        EXPECT_TRUE(SameBits(MultipliedPowerOfTen(k), PowerOfTen(k)));
    }
}

// The integer powers written out in decimal, and the bounds of the scaled integer among them.
TEST(PowerTable, IntegerPowersAreOneAndZeros) {
    for (int k = 0; k < IntegerPowerCount; ++k) {
        EXPECT_EQ(std::to_string(IntegerPowersOfTen[static_cast<std::size_t>(k)]),
                  "1" + std::string(static_cast<std::size_t>(k), '0'));
        if (k < ExactPowerCount) {
            EXPECT_TRUE(
                SameBits(ExtendedFromUnsigned(IntegerPowersOfTen[static_cast<std::size_t>(k)]),
                         ExactPowersOfTen[k]));
        }
    }
    // 10^k is 5^k x 2^k: the exact powers' significands are the powers of five, shifted up
    for (int k = 0; k < FivePowerCount; ++k) {
        const std::uint64_t five = IntegerPowersOfFive[static_cast<std::size_t>(k)];
        EXPECT_EQ(five << std::countl_zero(five), ExactPowersOfTen[k].Significand);
    }
    EXPECT_EQ(std::to_string(ScaledIntegerFloor).size(), static_cast<std::size_t>(ScaledDigits));
    EXPECT_EQ(std::to_string(ScaledIntegerBound - 1).size(),
              static_cast<std::size_t>(ScaledDigits));
}

}  // namespace

#pragma once
// Powers of ten that scale a value into an 18-digit integer. Constant data; the large powers
// are the extended values nearest the exact powers.
#include <cstdint>

inline constexpr int SmallPowerCount = 8;
// 10^0 .. 10^7, exact.
inline constexpr std::uint32_t SmallPowersOfTen[SmallPowerCount] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

inline constexpr int LargePowerCount = 10;
// 10^(8 * 2^i) for i = 0 .. 9. The compiler rounds each literal to the nearest extended value;
// 10^8 and 10^16 are exact, 10^32 and up are not (5^32 needs 75 bits).
inline constexpr long double LargePowersOfTen[LargePowerCount] = {
    1e8L, 1e16L, 1e32L, 1e64L, 1e128L, 1e256L, 1e512L, 1e1024L, 1e2048L, 1e4096L};
inline constexpr int LargestPowerExponent = 4096;  // the exponent of the last entry

// The scaled integer has 18 digits: ScaledIntegerFloor <= integer < ScaledIntegerBound.
inline constexpr long double ScaledIntegerBound = 1e18L;
inline constexpr long double ScaledIntegerFloor = 1e17L;

inline constexpr int ExactPowerCount = 28;
// 10^0 .. 10^27, every one exact (5^27 < 2^64): the powers that scale the program's values,
// looked up rather than multiplied out.
inline constexpr long double ExactPowersOfTen[ExactPowerCount] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
    1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
    1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

// 10^exponent, 0 <= exponent <= LargestPowerExponent: the exact 10^(exponent mod 8) multiplied
// by the large powers picked by the bits of exponent / 8, lowest bit first, each product
// rounded. Exact up to 10^27; PowerOfTen needs it only above.
long double MultipliedPowerOfTen(int exponent);

// 10^exponent, 0 <= exponent <= LargestPowerExponent. The products that make the powers up
// to 10^27 are exact, so the table gives the very same values.
inline long double PowerOfTen(int exponent) {
    return exponent < ExactPowerCount ? ExactPowersOfTen[exponent] : MultipliedPowerOfTen(exponent);
}

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

// 10^exponent, 0 <= exponent <= LargestPowerExponent: the exact 10^(exponent mod 8) multiplied
// by the large powers picked by the bits of exponent / 8, lowest bit first, each product
// rounded. Exact up to 10^27.
long double PowerOfTen(int exponent);

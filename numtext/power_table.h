#pragma once
// Powers of ten: as 64-bit integers, and as extended values that scale a value into an
// 18-digit integer (constant bit patterns of the extended format).
#include <array>
#include <cstdint>

#include "numtext/extended_real.h"

inline constexpr std::uint64_t DecimalBase = 10;
inline constexpr int IntegerPowerCount = 20;  // 10^19 is the last power below 2^64

// base^0 .. base^(Count - 1), each base times the one before.
template <int Count>
constexpr std::array<std::uint64_t, Count> IntegerPowersOf(std::uint64_t base) {
    std::array<std::uint64_t, Count> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= base;
    }
    return powers;
}

// 10^0 .. 10^19.
inline constexpr std::array<std::uint64_t, IntegerPowerCount> IntegerPowersOfTen =
    IntegerPowersOf<IntegerPowerCount>(DecimalBase);

inline constexpr int FivePowerCount = 28;  // 5^27 is the last power below 2^63

// 5^0 .. 5^27: 10^n is 5^n x 2^n.
inline constexpr std::array<std::uint64_t, FivePowerCount> IntegerPowersOfFive =
    IntegerPowersOf<FivePowerCount>(5);

// The extended tables below were made by NearestPowerOfTen in tests/numtext/power_table_test.cpp,
// which checks them: 10^n = 5^n x 2^n, with 5^n worked out in big integers and its leading 64
// bits rounded to nearest, ties to even; the exponent is n plus the bit length of 5^n, less 1.

inline constexpr int SmallPowerCount = 8;  // 10^0 .. 10^7, taken from ExactPowersOfTen
inline constexpr int LargePowerCount = 10;
// 10^(8 * 2^i) for i = 0 .. 9, each the extended value nearest the exact power (ties to even);
// 10^8 and 10^16 are exact, 10^32 and up are not (5^32 needs 75 bits).
inline constexpr ExtendedReal LargePowersOfTen[LargePowerCount] = {
    {0xBEBC200000000000, 0x4019},  // 10^8
    {0x8E1BC9BF04000000, 0x4034},  // 10^16
    {0x9DC5ADA82B70B59E, 0x4069},  // 10^32
    {0xC2781F49FFCFA6D5, 0x40D3},  // 10^64
    {0x93BA47C980E98CE0, 0x41A8},  // 10^128
    {0xAA7EEBFB9DF9DE8E, 0x4351},  // 10^256
    {0xE319A0AEA60E91C7, 0x46A3},  // 10^512
    {0xC976758681750C17, 0x4D48},  // 10^1024
    {0x9E8B3B5DC53D5DE5, 0x5A92},  // 10^2048
    {0xC46052028A20979B, 0x7525},  // 10^4096
};
inline constexpr int LargestPowerExponent = 4096;  // the exponent of the last entry

inline constexpr int ExactPowerCount = 28;
// 10^0 .. 10^27, every one exact (5^27 < 2^64, so nothing is rounded off): the powers that
// scale the program's values, looked up rather than multiplied out.
inline constexpr ExtendedReal ExactPowersOfTen[ExactPowerCount] = {
    {0x8000000000000000, 0x3FFF},  // 10^0
    {0xA000000000000000, 0x4002},  // 10^1
    {0xC800000000000000, 0x4005},  // 10^2
    {0xFA00000000000000, 0x4008},  // 10^3
    {0x9C40000000000000, 0x400C},  // 10^4
    {0xC350000000000000, 0x400F},  // 10^5
    {0xF424000000000000, 0x4012},  // 10^6
    {0x9896800000000000, 0x4016},  // 10^7
    {0xBEBC200000000000, 0x4019},  // 10^8
    {0xEE6B280000000000, 0x401C},  // 10^9
    {0x9502F90000000000, 0x4020},  // 10^10
    {0xBA43B74000000000, 0x4023},  // 10^11
    {0xE8D4A51000000000, 0x4026},  // 10^12
    {0x9184E72A00000000, 0x402A},  // 10^13
    {0xB5E620F480000000, 0x402D},  // 10^14
    {0xE35FA931A0000000, 0x4030},  // 10^15
    {0x8E1BC9BF04000000, 0x4034},  // 10^16
    {0xB1A2BC2EC5000000, 0x4037},  // 10^17
    {0xDE0B6B3A76400000, 0x403A},  // 10^18
    {0x8AC7230489E80000, 0x403E},  // 10^19
    {0xAD78EBC5AC620000, 0x4041},  // 10^20
    {0xD8D726B7177A8000, 0x4044},  // 10^21
    {0x878678326EAC9000, 0x4048},  // 10^22
    {0xA968163F0A57B400, 0x404B},  // 10^23
    {0xD3C21BCECCEDA100, 0x404E},  // 10^24
    {0x84595161401484A0, 0x4052},  // 10^25
    {0xA56FA5B99019A5C8, 0x4055},  // 10^26
    {0xCECB8F27F4200F3A, 0x4058},  // 10^27
};

// 10^exponent, 0 <= exponent <= LargestPowerExponent: the exact 10^(exponent mod 8) multiplied
// by the large powers picked by the bits of exponent / 8, lowest bit first, each product
// rounded. Exact up to 10^27; PowerOfTen needs it only above.
ExtendedReal MultipliedPowerOfTen(int exponent);

// 10^exponent, 0 <= exponent <= LargestPowerExponent. The products that make the powers up
// to 10^27 are exact, so the table gives the very same values.
inline ExtendedReal PowerOfTen(int exponent) {
    return exponent < ExactPowerCount ? ExactPowersOfTen[exponent] : MultipliedPowerOfTen(exponent);
}

#pragma once
// The rounding every extended operation ends in, for numtext's own sources: the operations of
// extended_real.cpp and the scaling step both round and pack through these functions.
#include <cstdint>

#include "numtext/extended_real.h"
#include "numtext/wide_integer.h"

inline constexpr std::uint64_t HalfWord = std::uint64_t{1}
                                          << 63;  // the extra word of an exact half
inline constexpr int MaxFiniteField = ExtendedExponentMask - 1;
inline constexpr int IntegralField = ExtendedExponentBias + 63;  // from here on, no fraction bits

inline ExtendedReal PackExtended(bool negative, int field, std::uint64_t significand) {
    return ExtendedReal{significand,
                        static_cast<std::uint16_t>((negative ? ExtendedSignBit : 0) | field)};
}

// kept, or kept + 1 when rest lies above half or at half with kept odd: to nearest, ties to
// even. rest + 1 must fit in 64 bits.
inline std::uint64_t RoundHalfToEven(std::uint64_t kept, std::uint64_t rest, std::uint64_t half) {
    return kept + std::uint64_t{rest + (kept & 1) > half};
}

// The integer nearest significand x 2^-fraction, ties to even, for 0 < fraction < 64.
inline std::uint64_t RoundedIntegerPart(std::uint64_t significand, int fraction) {
    const std::uint64_t rest = significand & ((std::uint64_t{1} << fraction) - 1);
    return RoundHalfToEven(significand >> fraction, rest, std::uint64_t{1} << (fraction - 1));
}

inline ExtendedReal SignedInfinity(bool negative) {
    return PackExtended(negative, ExtendedExponentMask, ExtendedLeadingBit);
}

// RoundAndPack below the normal range: a denormal or zero, rounded at its own position.
inline ExtendedReal RoundAndPackTiny(bool negative, int exponent, std::uint64_t significand,
                                     std::uint64_t extra) {
    const int shift = 1 - exponent;
    if (shift < 64) {
        extra = (significand << (64 - shift)) | (extra != 0 ? 1 : 0);
        significand >>= shift;
    } else {
        extra = (shift == 64 ? significand : (significand != 0 ? 1 : 0)) | (extra != 0 ? 1 : 0);
        significand = 0;
    }
    if (extra >= HalfWord) {
        ++significand;
        if (extra == HalfWord) significand &= ~std::uint64_t{1};
    }
    // Rounding up into the leading bit makes the smallest normal value.
    return PackExtended(negative, (significand & ExtendedLeadingBit) != 0 ? 1 : 0, significand);
}

// The value significand.extra x 2^(exponent - bias - 63), rounded to nearest, ties to even.
// extra holds the bits below the significand: HalfWord is an exact half, more is above it and
// anything non-zero below it is below it. The exponent may lie outside the format's range:
// above, the result is an infinity; below, a denormal or zero rounded at its own position.
inline ExtendedReal RoundAndPack(bool negative, int exponent, std::uint64_t significand,
                                 std::uint64_t extra) {
    // One comparison keeps the usual case, fields 1 to MaxFiniteField, on the straight path.
    if (static_cast<unsigned>(exponent - 1) >= static_cast<unsigned>(MaxFiniteField)) {
        if (exponent > MaxFiniteField) return SignedInfinity(negative);
        return RoundAndPackTiny(negative, exponent, significand, extra);
    }
    // Up by the top bit of extra, without a branch; a carry out and a tie are rare.
    significand += extra >> 63;
    if (significand == 0) {
        ++exponent;
        significand = ExtendedLeadingBit;
        if (exponent > MaxFiniteField) return SignedInfinity(negative);
    } else if (extra == HalfWord) {
        significand &= ~std::uint64_t{1};
    }
    return PackExtended(negative, exponent, significand);
}

// The product of two finite values given as biased exponents and significands with their
// leading bits set, normalised, then rounded and packed.
inline ExtendedReal RoundAndPackProduct(bool negative, int exponentA, std::uint64_t a,
                                        int exponentB, std::uint64_t b) {
    int exponent = exponentA + exponentB - (ExtendedExponentBias - 1);
    const WideValue product = MultiplyWide(a, b);
    // Shifted up by one when the leading bit is clear, without a branch: which products need
    // it is anyone's guess.
    const int shift = static_cast<int>(product.High >> 63) ^ 1;
    const std::uint64_t high = (product.High << shift) | ((product.Low >> 63) & shift);
    return RoundAndPack(negative, exponent - shift, high, product.Low << shift);
}

// The quotient significand / divisor of two significands with their leading bits set, at the
// biased exponent the operands' exponents give, rounded and packed. The quotient lies in
// [1/2, 2): it is formed to 64 bits with the remainder against half the divisor, which tells
// the rounding all it needs. A reciprocal of 0 means none: the hardware divides.
inline ExtendedReal RoundAndPackQuotient(bool negative, int exponent, std::uint64_t significand,
                                         std::uint64_t divisor, std::uint64_t reciprocal) {
    std::uint64_t high = significand >> 1;
    std::uint64_t low = significand << 63;
    if (significand < divisor) {
        --exponent;
        high = significand;
        low = 0;
    }
    const WideQuotient quotient = reciprocal == 0 ? DivideWide(high, low, divisor)
                                                  : DivideWideBy(high, low, divisor, reciprocal);
    // Computed without branches: which way it goes is anyone's guess.
    const std::uint64_t remainder = quotient.Remainder;
    const std::uint64_t rest = divisor - remainder;
    const std::uint64_t extra = (std::uint64_t{remainder >= rest} << 63) |
                                std::uint64_t{remainder != rest && remainder != 0};
    return RoundAndPack(negative, exponent, quotient.Quotient, extra);
}

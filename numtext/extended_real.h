#pragma once
// The program's real arithmetic: the 80-bit extended format (sign, 15-bit biased exponent,
// 64-bit significand with an explicit leading bit), done in integers. Every operation rounds
// its exact result once to 64 significant bits, to nearest with ties to even, as an x87 unit
// does with 64-bit precision and every exception masked: results too large become infinities,
// results too small become denormals or zeros, and invalid operations give the default NaN.
#include <cstdint>

struct ExtendedReal {
    std::uint64_t Significand;   // bit 63 is the leading bit; clear in zeros and denormals
    std::uint16_t SignExponent;  // bit 15 the sign, bits 0-14 the biased exponent field
};

inline constexpr std::uint16_t ExtendedSignBit = 0x8000;
inline constexpr std::uint16_t ExtendedExponentMask = 0x7FFF;  // all ones: infinity or NaN
inline constexpr int ExtendedExponentBias = 16383;
inline constexpr std::uint64_t ExtendedLeadingBit = std::uint64_t{1} << 63;
inline constexpr int ExtendedImageBytes = 10;  // significand, then the sign and exponent word

// What 0 / 0 and other invalid operations give: the negative quiet NaN with only the two top
// significand bits set.
inline constexpr ExtendedReal ExtendedDefaultNaN = {0xC000000000000000, 0xFFFF};
inline constexpr ExtendedReal ExtendedInfinity = {ExtendedLeadingBit, 0x7FFF};

// The sign bit, set in negative values, negative zero and some NaNs.
inline bool ExtendedNegative(ExtendedReal value) {
    return (value.SignExponent & ExtendedSignBit) != 0;
}

inline int ExtendedExponentField(ExtendedReal value) {
    return value.SignExponent & ExtendedExponentMask;
}

// Exact conversions: every 64-bit integer and every double has an extended value.
ExtendedReal ExtendedFromInteger(std::int64_t value);
ExtendedReal ExtendedFromUnsigned(std::uint64_t value);
ExtendedReal ExtendedFromDouble(double value);

// The double nearest the value, ties to even, as the unit's store of a double rounds it.
double ExtendedToDouble(ExtendedReal value);

ExtendedReal AddExtended(ExtendedReal a, ExtendedReal b);
ExtendedReal MultiplyExtended(ExtendedReal a, ExtendedReal b);
ExtendedReal DivideExtended(ExtendedReal a, ExtendedReal b);

// A divisor made ready for many divisions: DivideByPrepared(a, PrepareDivisor(b)) is
// DivideExtended(a, b), bit for bit, without a hardware division when b is finite and not 0.
struct ExtendedDivisor {
    ExtendedReal Value;         // the divisor
    std::uint64_t Significand;  // normalised, its leading bit set; 0 for zeros, infinities, NaNs
    int Exponent;               // the biased exponent of that significand, below 1 for denormals
    std::uint64_t Reciprocal;   // of the significand, as the 128-bit steps use it
};
ExtendedDivisor PrepareDivisor(ExtendedReal divisor);
ExtendedReal DivideByPrepared(ExtendedReal a, const ExtendedDivisor& divisor);

// The nearest integer, ties to even, as an extended value (its sign kept, so -0.4 gives -0).
ExtendedReal RoundExtendedToIntegral(ExtendedReal value);

// The nearest integer, ties to even. NaNs, infinities and integers outside the 64-bit range
// give the integer indefinite, the smallest 64-bit integer.
std::int64_t ExtendedToInteger(ExtendedReal value);

// a < b; false when either is a NaN. Both zeros are equal.
bool ExtendedLess(ExtendedReal a, ExtendedReal b);

// Flip and clear the sign bit; NaNs too.
inline ExtendedReal NegateExtended(ExtendedReal value) {
    return ExtendedReal{value.Significand,
                        static_cast<std::uint16_t>(value.SignExponent ^ ExtendedSignBit)};
}
inline ExtendedReal AbsoluteExtended(ExtendedReal value) {
    return ExtendedReal{value.Significand,
                        static_cast<std::uint16_t>(value.SignExponent & ExtendedExponentMask)};
}

inline bool SameBits(ExtendedReal a, ExtendedReal b) {
    return a.Significand == b.Significand && a.SignExponent == b.SignExponent;
}

// The 10-byte memory image of the x87 unit, little-endian: significand, then the word of sign
// and exponent.
ExtendedReal ExtendedFromImage(const unsigned char* image);
void ExtendedToImage(ExtendedReal value, unsigned char* image);

// Extended arithmetic in integers. Operands are unpacked into a sign, an unbounded biased
// exponent and a significand with its leading bit set; the exact result (or its 64 leading
// bits and a word that tells where the rest lies) goes to one routine that rounds and packs.
#include "numtext/extended_real.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "numtext/extended_rounding.h"

namespace {

constexpr std::uint64_t QuietBit = std::uint64_t{1} << 62;

enum class Kind { Zero, Finite, Infinite, NaN, Invalid };

// An operand taken apart. Finite values are normalised: Significand has its leading bit set
// and Exponent may go below 1 for denormals.
struct Unpacked {
    Kind Class;
    bool Negative;
    int Exponent;
    std::uint64_t Significand;
};

Unpacked Unpack(ExtendedReal value) {
    const int field = ExtendedExponentField(value);
    const bool negative = ExtendedNegative(value);
    const std::uint64_t significand = value.Significand;
    if (field == ExtendedExponentMask) {
        // An all-ones field without the leading bit is no value the unit accepts.
        if ((significand & ExtendedLeadingBit) == 0) return Unpacked{Kind::Invalid, negative, 0, 0};
        const Kind kind = (significand << 1) == 0 ? Kind::Infinite : Kind::NaN;
        return Unpacked{kind, negative, field, significand};
    }
    if (field == 0) {
        if (significand == 0) return Unpacked{Kind::Zero, negative, 0, 0};
        // Denormals count with exponent 1, as does a denormal with its leading bit set.
        const int shift = std::countl_zero(significand);
        return Unpacked{Kind::Finite, negative, 1 - shift, significand << shift};
    }
    // A clear leading bit with any other field is an unnormal: not accepted either.
    if ((significand & ExtendedLeadingBit) == 0) return Unpacked{Kind::Invalid, negative, 0, 0};
    return Unpacked{Kind::Finite, negative, field, significand};
}

ExtendedReal SignedZero(bool negative) {
    return PackExtended(negative, 0, 0);
}

// The result of an operation with a NaN operand: the NaN made quiet; of two NaNs, a quiet one
// before a signalling one, then the larger significand, then the positive one.
ExtendedReal PropagateNaN(ExtendedReal a, const Unpacked& ua, ExtendedReal b, const Unpacked& ub) {
    if (ua.Class == Kind::Invalid || ub.Class == Kind::Invalid) return ExtendedDefaultNaN;
    ExtendedReal pick = a;
    if (ua.Class != Kind::NaN) {
        pick = b;
    } else if (ub.Class == Kind::NaN) {
        const bool quietA = (a.Significand & QuietBit) != 0;
        const bool quietB = (b.Significand & QuietBit) != 0;
        if (quietA != quietB) {
            pick = quietA ? a : b;
        } else if (a.Significand != b.Significand) {
            pick = a.Significand > b.Significand ? a : b;
        } else {
            pick = ExtendedNegative(a) ? b : a;
        }
    }
    pick.Significand |= QuietBit;
    return pick;
}

constexpr std::uint64_t NoReciprocal = 0;  // no significand's reciprocal is 0

// a / divisor for a finite non-zero a and a normalised divisor significand. With a reciprocal,
// no hardware division.
ExtendedReal DivideFinite(bool negative, const Unpacked& ua, std::uint64_t divisor,
                          int divisorExponent, std::uint64_t reciprocal) {
    return RoundAndPackQuotient(negative, ua.Exponent - divisorExponent + ExtendedExponentBias,
                                ua.Significand, divisor, reciprocal);
}

bool HasNaN(const Unpacked& a, const Unpacked& b) {
    return a.Class == Kind::NaN || a.Class == Kind::Invalid || b.Class == Kind::NaN ||
           b.Class == Kind::Invalid;
}

}  // namespace

ExtendedReal ExtendedFromUnsigned(std::uint64_t value) {
    if (value == 0) return SignedZero(false);
    const int shift = std::countl_zero(value);
    return PackExtended(false, ExtendedExponentBias + 63 - shift, value << shift);
}

ExtendedReal ExtendedFromInteger(std::int64_t value) {
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    ExtendedReal result = ExtendedFromUnsigned(magnitude);
    if (negative) result.SignExponent |= ExtendedSignBit;
    return result;
}

ExtendedReal ExtendedFromDouble(double value) {
    constexpr int FractionBits = 52;
    constexpr std::uint64_t FractionMask = (std::uint64_t{1} << FractionBits) - 1;
    constexpr int DoubleField = 0x7FF;
    constexpr int DoubleBias = 1023;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int field = static_cast<int>((bits >> FractionBits) & DoubleField);
    const std::uint64_t fraction = bits & FractionMask;
    if (field == DoubleField) {
        // A signalling NaN is made quiet on the way in, as the unit's load does.
        if (fraction == 0) return SignedInfinity(negative);
        return PackExtended(negative, ExtendedExponentMask,
                            ExtendedLeadingBit | QuietBit | (fraction << (63 - FractionBits)));
    }
    if (field == 0) {
        if (fraction == 0) return SignedZero(negative);
        const int shift = std::countl_zero(fraction);
        // fraction x 2^-1074, its leading bit at 63 - shift.
        return PackExtended(negative, ExtendedExponentBias + (63 - shift) - 1074,
                            fraction << shift);
    }
    return PackExtended(negative, field - DoubleBias + ExtendedExponentBias,
                        ExtendedLeadingBit | (fraction << (63 - FractionBits)));
}

namespace {

// A 128-bit value in two words, for the sum of two significands.
struct TwoWords {
    std::uint64_t High;
    std::uint64_t Low;
};

TwoWords WithRoom(std::uint64_t significand) {
    return TwoWords{significand >> 2, significand << 62};
}

// value >> distance, with bit 0 set when any bit set is shifted out.
TwoWords ShiftRightSticky(TwoWords value, int distance) {
    if (distance == 0) return value;
    if (distance >= 128) return TwoWords{0, (value.High | value.Low) != 0 ? 1u : 0u};
    TwoWords shifted{};
    std::uint64_t lost = 0;
    if (distance >= 64) {
        lost = value.Low | (distance > 64 ? value.High << (128 - distance) : 0);
        shifted = TwoWords{0, value.High >> (distance - 64)};
    } else {
        lost = value.Low << (64 - distance);
        shifted = TwoWords{value.High >> distance,
                           (value.Low >> distance) | (value.High << (64 - distance))};
    }
    shifted.Low |= lost != 0 ? 1u : 0u;
    return shifted;
}

TwoWords ShiftLeft(TwoWords value, int distance) {
    if (distance == 0) return value;
    if (distance >= 64) return TwoWords{value.Low << (distance - 64), 0};
    return TwoWords{(value.High << distance) | (value.Low >> (64 - distance)),
                    value.Low << distance};
}

TwoWords AddWords(TwoWords a, TwoWords b) {
    const std::uint64_t low = a.Low + b.Low;
    return TwoWords{a.High + b.High + (low < a.Low ? 1u : 0u), low};
}

// a - b, for a no less than b.
TwoWords SubtractWords(TwoWords a, TwoWords b) {
    return TwoWords{a.High - b.High - (a.Low < b.Low ? 1u : 0u), a.Low - b.Low};
}

bool WordsLess(TwoWords a, TwoWords b) {
    return a.High < b.High || (a.High == b.High && a.Low < b.Low);
}

}  // namespace

double ExtendedToDouble(ExtendedReal value) {
    constexpr int FractionBits = 52;
    constexpr int DroppedBits = 63 - FractionBits;
    constexpr int DoubleBias = 1023;
    const Unpacked u = Unpack(value);
    const std::uint64_t sign = std::uint64_t{u.Negative} << 63;
    if (u.Class == Kind::Zero) return std::bit_cast<double>(sign);
    if (u.Class == Kind::Infinite) return std::bit_cast<double>(sign | 0x7FF0000000000000);
    if (u.Class != Kind::Finite) return std::bit_cast<double>(sign | 0x7FF8000000000000);
    const int exponent = u.Exponent - ExtendedExponentBias;  // of the leading bit
    // Below the normal range the double keeps fewer bits: denormals round at their own place.
    const int dropped = DroppedBits + std::max(0, -(DoubleBias - 1) - exponent);
    if (dropped > 64) return std::bit_cast<double>(sign);
    std::uint64_t kept = 0;
    if (dropped == 64) {
        kept = RoundHalfToEven(0, u.Significand, HalfWord);
    } else {
        kept = RoundedIntegerPart(u.Significand, dropped);
    }
    if (dropped > DroppedBits) return std::bit_cast<double>(sign | kept);  // a carry makes 2^-1022
    int field = exponent + DoubleBias;
    if (kept >> (FractionBits + 1) != 0) {  // rounded up to the next power of two
        kept >>= 1;
        ++field;
    }
    if (field >= 0x7FF) return std::bit_cast<double>(sign | 0x7FF0000000000000);
    const std::uint64_t fraction = kept & ((std::uint64_t{1} << FractionBits) - 1);
    return std::bit_cast<double>(sign | (std::uint64_t(field) << FractionBits) | fraction);
}

ExtendedReal AddExtended(ExtendedReal a, ExtendedReal b) {
    Unpacked ua = Unpack(a);
    Unpacked ub = Unpack(b);
    if (HasNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
    if (ua.Class == Kind::Infinite || ub.Class == Kind::Infinite) {
        if (ua.Class == Kind::Infinite && ub.Class == Kind::Infinite &&
            ua.Negative != ub.Negative) {
            return ExtendedDefaultNaN;
        }
        return ua.Class == Kind::Infinite ? a : b;
    }
    if (ua.Class == Kind::Zero && ub.Class == Kind::Zero) {
        return SignedZero(ua.Negative && ub.Negative);
    }
    if (ub.Class == Kind::Zero) return a;
    if (ua.Class == Kind::Zero) return b;
    if (ub.Exponent > ua.Exponent) std::swap(ua, ub);
    // Both significands with two bits of room above them; the smaller one shifted to the
    // larger's place, the bits shifted out kept as one sticky bit. They are lost only when the
    // smaller lies 2^62 below, so no more than the top three bits can cancel.
    const TwoWords large = WithRoom(ua.Significand);
    const TwoWords small = ShiftRightSticky(WithRoom(ub.Significand), ua.Exponent - ub.Exponent);
    bool negative = ua.Negative;
    TwoWords sum{};
    if (ua.Negative == ub.Negative) {
        sum = AddWords(large, small);
    } else if (!WordsLess(large, small)) {
        sum = SubtractWords(large, small);
    } else {
        sum = SubtractWords(small, large);
        negative = ub.Negative;
    }
    if (sum.High == 0 && sum.Low == 0) return SignedZero(false);  // x + -x is +0 to nearest
    const int leading = sum.High != 0 ? std::countl_zero(sum.High) : 64 + std::countl_zero(sum.Low);
    sum = ShiftLeft(sum, leading);
    return RoundAndPack(negative, ua.Exponent + 2 - leading, sum.High, sum.Low);
}

ExtendedReal MultiplyExtended(ExtendedReal a, ExtendedReal b) {
    const Unpacked ua = Unpack(a);
    const Unpacked ub = Unpack(b);
    if (HasNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
    const bool negative = ua.Negative != ub.Negative;
    if (ua.Class == Kind::Infinite || ub.Class == Kind::Infinite) {
        if (ua.Class == Kind::Zero || ub.Class == Kind::Zero) return ExtendedDefaultNaN;
        return SignedInfinity(negative);
    }
    if (ua.Class == Kind::Zero || ub.Class == Kind::Zero) return SignedZero(negative);
    return RoundAndPackProduct(negative, ua.Exponent, ua.Significand, ub.Exponent, ub.Significand);
}

ExtendedReal DivideExtended(ExtendedReal a, ExtendedReal b) {
    const Unpacked ua = Unpack(a);
    const Unpacked ub = Unpack(b);
    if (HasNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
    const bool negative = ua.Negative != ub.Negative;
    if (ua.Class == Kind::Infinite) {
        return ub.Class == Kind::Infinite ? ExtendedDefaultNaN : SignedInfinity(negative);
    }
    if (ub.Class == Kind::Infinite) return SignedZero(negative);
    if (ub.Class == Kind::Zero) {
        return ua.Class == Kind::Zero ? ExtendedDefaultNaN : SignedInfinity(negative);
    }
    if (ua.Class == Kind::Zero) return SignedZero(negative);
    return DivideFinite(negative, ua, ub.Significand, ub.Exponent, NoReciprocal);
}

ExtendedDivisor PrepareDivisor(ExtendedReal divisor) {
    const Unpacked u = Unpack(divisor);
    if (u.Class != Kind::Finite) return ExtendedDivisor{divisor, 0, 0, 0};
    return ExtendedDivisor{divisor, u.Significand, u.Exponent, WideReciprocal(u.Significand)};
}

ExtendedReal DivideByPrepared(ExtendedReal a, const ExtendedDivisor& divisor) {
    const Unpacked ua = Unpack(a);
    if (divisor.Significand == 0 || ua.Class != Kind::Finite) {
        return DivideExtended(a, divisor.Value);
    }
    const bool negative = ua.Negative != ExtendedNegative(divisor.Value);
    return DivideFinite(negative, ua, divisor.Significand, divisor.Exponent, divisor.Reciprocal);
}

ExtendedReal RoundExtendedToIntegral(ExtendedReal value) {
    const Unpacked u = Unpack(value);
    switch (u.Class) {
        case Kind::Invalid:
            return ExtendedDefaultNaN;
        case Kind::NaN:
            value.Significand |= QuietBit;
            return value;
        case Kind::Zero:
        case Kind::Infinite:
            return value;
        case Kind::Finite:
            break;
    }
    if (u.Exponent >= IntegralField) return value;
    if (u.Exponent < ExtendedExponentBias) {
        // Below 1: above one half gives 1, one half and less give 0.
        if (u.Exponent == ExtendedExponentBias - 1 && u.Significand > ExtendedLeadingBit) {
            return PackExtended(u.Negative, ExtendedExponentBias, ExtendedLeadingBit);
        }
        return SignedZero(u.Negative);
    }
    const int fraction = IntegralField - u.Exponent;  // 1 to 63
    const std::uint64_t significand = RoundedIntegerPart(u.Significand, fraction) << fraction;
    if (significand == 0) {  // rounded up past the top bit
        return PackExtended(u.Negative, u.Exponent + 1, ExtendedLeadingBit);
    }
    return PackExtended(u.Negative, u.Exponent, significand);
}

std::int64_t ExtendedToInteger(ExtendedReal value) {
    constexpr std::int64_t Indefinite = INT64_MIN;
    const ExtendedReal integral = RoundExtendedToIntegral(value);
    const Unpacked u = Unpack(integral);
    if (u.Class == Kind::Zero) return 0;
    if (u.Class != Kind::Finite || u.Exponent >= IntegralField) {
        return Indefinite;  // also -2^63 itself, which is the same integer
    }
    const std::uint64_t magnitude = u.Significand >> (IntegralField - u.Exponent);
    return u.Negative ? static_cast<std::int64_t>(~magnitude + 1)
                      : static_cast<std::int64_t>(magnitude);
}

bool ExtendedLess(ExtendedReal a, ExtendedReal b) {
    const Unpacked ua = Unpack(a);
    const Unpacked ub = Unpack(b);
    if (HasNaN(ua, ub)) return false;
    if (ua.Class == Kind::Zero && ub.Class == Kind::Zero) return false;
    // Magnitudes order as (field, significand) pairs; zeros have the pair (0, 0).
    const bool negativeA = ua.Negative && ua.Class != Kind::Zero;
    const bool negativeB = ub.Negative && ub.Class != Kind::Zero;
    if (negativeA != negativeB) return negativeA;
    const int fieldA = ExtendedExponentField(a);
    const int fieldB = ExtendedExponentField(b);
    const bool magnitudeLess = fieldA != fieldB ? fieldA < fieldB : a.Significand < b.Significand;
    const bool magnitudeEqual = fieldA == fieldB && a.Significand == b.Significand;
    return negativeA ? !magnitudeLess && !magnitudeEqual : magnitudeLess;
}

ExtendedReal ExtendedFromImage(const unsigned char* image) {
    ExtendedReal value{};
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i) significand = (significand << 8) | image[i];
    value.Significand = significand;
    value.SignExponent = static_cast<std::uint16_t>(image[8] | (image[9] << 8));
    return value;
}

void ExtendedToImage(ExtendedReal value, unsigned char* image) {
    for (int i = 0; i < 8; ++i) image[i] = static_cast<unsigned char>(value.Significand >> (8 * i));
    image[8] = static_cast<unsigned char>(value.SignExponent & 0xFF);
    image[9] = static_cast<unsigned char>(value.SignExponent >> 8);
}

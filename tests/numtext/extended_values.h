#pragma once
// Extended values for the number-form tests, made the same way on every machine.
#include <cstdint>

#include "numtext/extended_real.h"

inline ExtendedReal FromBits(std::uint64_t significand, std::uint16_t signAndExponent) {
    return ExtendedReal{significand, signAndExponent};
}

// numerator / denominator rounded once: for a decimal fraction, the nearest extended value.
inline ExtendedReal Ratio(std::int64_t numerator, std::int64_t denominator) {
    return DivideExtended(ExtendedFromInteger(numerator), ExtendedFromInteger(denominator));
}

inline ExtendedReal Whole(std::int64_t value) {
    return ExtendedFromInteger(value);
}

inline ExtendedReal DefaultNaN() {
    return Ratio(0, 0);  // the default NaN has its sign bit set
}

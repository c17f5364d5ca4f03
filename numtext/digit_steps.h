#pragma once
// The decimal steps after the scaling, for numtext's own sources: the 18-digit scaled integer
// cut to the budget's digits, rounded on the next digit alone, and the digits as characters.
// MakeDigits and the whole quotients' short road both take them.
#include <bit>
#include <cstdint>

#include "numtext/extended_rounding.h"
#include "numtext/number_text.h"
#include "numtext/power_table.h"
#include "numtext/scaled_integer.h"

inline constexpr int UsedDigits = 16;  // the largest budget and the digit that rounds it
static_assert(LongBudget + 1 <= UsedDigits);
// Drops the two digits of the scaled integer that are never used.
inline constexpr std::uint64_t LeftOutScale = IntegerPowersOfTen[ScaledDigits - UsedDigits];
inline constexpr std::uint64_t EightDigitSplit =
    IntegerPowersOfTen[8];  // the 16 digits as two halves

// The eight digits of a value below 10^8 as eight characters, most significant first, in one
// word: the value is split into halves below 10^4, those into pairs of digits, those into
// digits, each split done for all parts at once by one multiplication in the word's lanes
// (x / 100 is (x * 10486) >> 20 below 10^4, x / 10 is (x * 103) >> 10 below 100).
inline std::uint64_t EightDigitCharacters(std::uint32_t value) {
    static_assert(std::endian::native == std::endian::little, "the first digit is the low byte");
    std::uint64_t lanes = (value / 10000) | (std::uint64_t{value % 10000} << 32);
    std::uint64_t high = ((lanes * 10486) >> 20) & 0x0000007F0000007F;
    lanes = high | ((lanes - high * 100) << 16);
    high = ((lanes * 103) >> 10) & 0x000F000F000F000F;
    lanes = high | ((lanes - high * 10) << 8);
    return lanes + 0x3030303030303030;  // '0' in every byte
}

struct KeptDigits {
    std::uint64_t Digits;  // below 10^budget
    bool Carried;          // the rounding carried out of the first digit
};

// The first digits of the 16, down to unit = 10^(16 - budget), rounded on the next digit
// alone: a 5 rounds up only an odd last digit. A carry out of the first digit leaves "1" and
// zeros, and says so. Inline, so that the usual budgets divide by constants.
inline KeptDigits KeepDigits(std::uint64_t leading, std::uint64_t unit, std::uint64_t limit) {
    const std::uint64_t next = leading % unit / (unit / DecimalBase);
    const std::uint64_t kept = RoundHalfToEven(leading / unit, next, DecimalBase / 2);
    if (kept == limit) return KeptDigits{limit / DecimalBase, true};
    return KeptDigits{kept, false};
}

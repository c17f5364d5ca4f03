#pragma once
// The value a signal file's line reads back as: its decimal text rounded to the nearest double,
// as every correct reader of the file rounds it.
#include <bit>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <version>

#include "numtext/quotient_text.h"

// The powers of ten a double holds exactly; it holds every whole number up to 2^53 too.
inline constexpr double DoublePowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int DoublePowerLimit = 22;
inline constexpr std::uint64_t DoubleDigitsLimit = std::uint64_t{1} << 53;
inline constexpr std::uint64_t TenToThe[] = {1,      10,      100,      1000,     10000,
                                             100000, 1000000, 10000000, 100000000};

// Reads the number that starts at first (its line end, CR, stops it) by a general reader into
// value and returns where it ends.
inline const char* ReadAnyDecimal(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    return std::from_chars(first, last, value).ptr;
#else
    // Libraries without from_chars for doubles (the web page's) have a strtod that rounds as
    // correctly, in the C locale no program of ours leaves.
    static_cast<void>(last);
    char* end = nullptr;
    value = std::strtod(first, &end);
    return end;
#endif
}

inline bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Adds the run of digits at at (up to 8 of those before last) to digits; returns how many.
// Eight bytes are read at a time as one little-endian word, each digit a byte.
inline int TakeDigitRun(const char* at, const char* last, std::uint64_t& digits) {
    if (last - at < 8) {
        int taken = 0;
        for (; at != last && IsDecimalDigit(*at) && taken < 8; ++at, ++taken) {
            digits = digits * 10 + static_cast<std::uint64_t>(*at - '0');
        }
        return taken;
    }
    std::uint64_t word = 0;
    std::memcpy(&word, at, 8);
    // The lowest byte marked is the first that is no digit: a byte below it borrows or
    // carries nothing into it.
    const std::uint64_t marks =
        ((word + 0x4646464646464646) | (word - 0x3030303030303030)) & 0x8080808080808080;
    const int taken = std::countr_zero(marks) / 8;
    if (taken == 0) return 0;
    // The digits shifted to the top, as if led by zeros, then combined in pairs, fours, eight.
    std::uint64_t value = (word - 0x3030303030303030) << (8 * (8 - taken));
    value = (value * 10 + (value >> 8)) & 0x00FF00FF00FF00FF;
    value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFF;
    value = (value * 10000 + (value >> 32)) & 0xFFFFFFFF;
    digits = digits * TenToThe[taken] + value;
    return taken;
}

// Reads the number that starts at first (its line end, CR, stops it) into value and returns
// where it ends. Our lines hold at most 15 digits and a small exponent, so their digits and the
// power of ten are both exact doubles, and the one division (or product) of the two rounds to
// the nearest double, the general reader's value; any other text goes to the general reader.
inline const char* ReadSignalValue(const char* first, const char* last, double& value) {
#if FLT_EVAL_METHOD == 0
    const char* at = first;
    const bool negative = at != last && *at == '-';
    if (negative) ++at;
    std::uint64_t digits = 0;
    int count = 0;  // 16 digits at most, so that no run overflows the 64 bits
    int exponent = 0;
    for (int run = 8; run == 8 && count <= 8;) {
        run = TakeDigitRun(at, last, digits);
        at += run;
        count += run;
    }
    if (at != last && *at == '.') {
        ++at;
        for (int run = 8; run == 8 && count <= 8;) {
            run = TakeDigitRun(at, last, digits);
            at += run;
            count += run;
            exponent -= run;
        }
    }
    if (at != last && (*at == 'E' || *at == 'e')) {
        const char* power = at + 1;
        const bool below = power != last && *power == '-';
        if (power != last && (*power == '-' || *power == '+')) ++power;
        int written = 0;
        int places = 0;
        for (; power != last && IsDecimalDigit(*power) && places < 4; ++power, ++places) {
            written = written * 10 + (*power - '0');
        }
        exponent += below ? -written : written;
        at = places == 0 || places == 4 ? first : power;  // a bare or long exponent: not ours
    }
    if (at != first && count > 0 && (at == last || !IsDecimalDigit(*at)) &&
        digits <= DoubleDigitsLimit && exponent >= -DoublePowerLimit &&
        exponent <= DoublePowerLimit) {
        const double whole = static_cast<double>(digits);
        const double magnitude = exponent < 0 ? whole / DoublePowersOfTen[-exponent]
                                              : whole * DoublePowersOfTen[exponent];
        value = negative ? -magnitude : magnitude;
        return at;
    }
#endif
    return ReadAnyDecimal(first, last, value);
}

// The value the line of a whole sample within a whole peak reads back as, without making its
// text: the text's 15 digits and the power of ten that places them are exact doubles, so their
// one division rounds as reading the text does. False where the text is to be made and read.
inline bool WholeLineValue(std::int64_t sample, const WholeDivisor& peak, double& value) {
#if FLT_EVAL_METHOD == 0
    WholeQuotientDigits digits{};
    if (!TakeWholeQuotientDigits(sample, peak, digits)) return false;
    const int scale = LongBudget - digits.Point;  // the value is Digits / 10^scale
    if (scale > DoublePowerLimit) return false;
    const double magnitude = static_cast<double>(digits.Digits) / DoublePowersOfTen[scale];
    value = digits.Negative ? -magnitude : magnitude;
    return true;
#else
    static_cast<void>(sample);
    static_cast<void>(peak);
    static_cast<void>(value);
    return false;
#endif
}

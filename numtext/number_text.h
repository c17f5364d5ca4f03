#pragma once
// Decimal text forms of numbers: the console form of the report's integers and the file form
// of the signal values. Values are extended reals; nothing is allocated.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "numtext/extended_real.h"

inline constexpr int LongBudget = 15;  // 32-bit and wider integers, signal values
inline constexpr int ShortBudget = 7;  // 16-bit integers

// The value is 0.D1D2...Dn x 10^Point.
struct DecimalDigits {
    char Digits[LongBudget + 1];  // the first Count are '0'-'9' (trailing ones may be '0'); one
                                  // more, so the digits are written as two whole words
    int Count;                    // the budget n, 7 or 15
    int Point;                    // p = d + 1, d the exponent of the scientific form
    bool Negative;                // the value's sign bit; clear for the zero text
    bool Zero;                    // zero, extended denormals and NaN
};

// The first `budget` significant digits (1 to 15; the program uses 7 and 15), rounded on the
// next digit alone. Infinities give all "9" with Point 999; zero, denormals and NaN give all "0"
// with Point 1 and Zero set. Every normal value, however small, gets its full digits.
DecimalDigits MakeDigits(ExtendedReal value, int budget);

// The longest text of either form.
inline constexpr int LongestNumberText = 24;

// A text of at most LongestNumberText characters in caller-owned storage.
struct NumberText {
    char Text[32];
    int Length;
    std::string_view View() const {
        return std::string_view(Text, static_cast<std::size_t>(Length));
    }
};

// Sign position ("-" or blank), the number, one blank.
NumberText FormatNumber(ExtendedReal value, int budget);
NumberText ConsoleIntegerForm(std::int16_t value);  // budget 7
NumberText ConsoleIntegerForm(std::int32_t value);  // budget 15
NumberText ConsoleIntegerForm(std::int64_t value);  // budget 15
// FormatNumber with budget 15 without a leading blank and without the trailing blank.
NumberText FileRealForm(ExtendedReal value);

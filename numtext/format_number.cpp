// Layout of the digits: integer form, fixed form with a point, or exponent form; and the two
// forms the program uses, integers for the console and reals for the signal file.
#include <cassert>

#include "numtext/number_text.h"

namespace {

constexpr char Blank = ' ';
constexpr char MinusSign = '-';
constexpr char DecimalPoint = '.';
constexpr char ExponentLetter = 'E';
constexpr char PlusSign = '+';
constexpr int MaxExponentDigits = 10;  // any int; real exponents need at most 4

// Each writer puts its characters at `at` and returns the place after them. The text is written
// through a pointer, not by text.Length, so the compiler keeps the place in a register.
char* PutDigits(char* at, const char* digits, int count) {
    for (int i = 0; i < count; ++i) {
        *at++ = digits[i];
    }
    return at;
}

char* PutZeros(char* at, int count) {
    for (int i = 0; i < count; ++i) {
        *at++ = '0';
    }
    return at;
}

// D1, then "." and D2 .. Ds only when s > 1, then "E", the sign and the exponent without
// leading zeros.
char* PutExponentForm(char* at, const DecimalDigits& digits, int significant, char exponentSign,
                      int exponent) {
    assert(exponent >= 0);
    *at++ = digits.Digits[0];
    if (significant > 1) {
        *at++ = DecimalPoint;
        at = PutDigits(at, digits.Digits + 1, significant - 1);
    }
    *at++ = ExponentLetter;
    *at++ = exponentSign;
    char reversed[MaxExponentDigits];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + exponent % 10);
        exponent /= 10;
    } while (exponent != 0);
    while (count > 0) {
        *at++ = reversed[--count];
    }
    return at;
}

// The general text when `blanks` is set; without it, the same text less a blank sign position
// and less the trailing blank (the file form), written directly rather than cut afterwards.
NumberText LayOut(const DecimalDigits& digits, bool blanks) {
    const int n = digits.Count;
    int significant = n;
    while (significant > 0 && digits.Digits[significant - 1] == '0') {
        --significant;
    }

    NumberText text{};
    char* at = text.Text;
    if (digits.Negative) {
        *at++ = MinusSign;
    } else if (blanks) {
        *at++ = Blank;
    }
    const int p = digits.Point;
    if (significant == 0) {  // zero, negative zero, NaN
        *at++ = '0';
    } else if (significant <= p && p <= n) {
        at = PutDigits(at, digits.Digits, significant);
        at = PutZeros(at, p - significant);
    } else if (p > n) {
        at = PutExponentForm(at, digits, significant, PlusSign, p - 1);
    } else if (significant - p > n) {  // more than n digits after the point (then p < 0)
        at = PutExponentForm(at, digits, significant, MinusSign, 1 - p);
    } else if (p <= 0) {  // no "0" before the point
        *at++ = DecimalPoint;
        at = PutZeros(at, -p);
        at = PutDigits(at, digits.Digits, significant);
    } else {
        at = PutDigits(at, digits.Digits, p);
        *at++ = DecimalPoint;
        at = PutDigits(at, digits.Digits + p, significant - p);
    }
    if (blanks) {
        *at++ = Blank;
    }
    text.Length = static_cast<int>(at - text.Text);
    assert(text.Length <= LongestNumberText);
    return text;
}

}  // namespace

NumberText FormatNumber(ExtendedReal value, int budget) {
    return LayOut(MakeDigits(value, budget), true);
}

NumberText FileRealForm(ExtendedReal value) {
    return LayOut(MakeDigits(value, LongBudget), false);
}

NumberText ConsoleIntegerForm(std::int16_t value) {
    return FormatNumber(ExtendedFromInteger(value), ShortBudget);
}

NumberText ConsoleIntegerForm(std::int32_t value) {
    return FormatNumber(ExtendedFromInteger(value), LongBudget);
}

// Every 64-bit integer is exact in the 64-bit significand.
NumberText ConsoleIntegerForm(std::int64_t value) {
    return FormatNumber(ExtendedFromInteger(value), LongBudget);
}

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

void Put(NumberText& text, char c) {
    assert(text.Length < static_cast<int>(sizeof text.Text));
    text.Text[text.Length++] = c;
}

void PutDigits(NumberText& text, const char* digits, int count) {
    for (int i = 0; i < count; ++i) {
        Put(text, digits[i]);
    }
}

void PutZeros(NumberText& text, int count) {
    for (int i = 0; i < count; ++i) {
        Put(text, '0');
    }
}

// D1, then "." and D2 .. Ds only when s > 1, then "E", the sign and the exponent without
// leading zeros.
void PutExponentForm(NumberText& text, const DecimalDigits& digits, int significant,
                     char exponentSign, int exponent) {
    assert(exponent >= 0);
    Put(text, digits.Digits[0]);
    if (significant > 1) {
        Put(text, DecimalPoint);
        PutDigits(text, digits.Digits + 1, significant - 1);
    }
    Put(text, ExponentLetter);
    Put(text, exponentSign);
    char reversed[MaxExponentDigits];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + exponent % 10);
        exponent /= 10;
    } while (exponent != 0);
    while (count > 0) {
        Put(text, reversed[--count]);
    }
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
    if (digits.Negative) {
        Put(text, MinusSign);
    } else if (blanks) {
        Put(text, Blank);
    }
    const int p = digits.Point;
    if (significant == 0) {  // zero, negative zero, NaN
        Put(text, '0');
    } else if (significant <= p && p <= n) {
        PutDigits(text, digits.Digits, significant);
        PutZeros(text, p - significant);
    } else if (p > n) {
        PutExponentForm(text, digits, significant, PlusSign, p - 1);
    } else if (significant - p > n) {  // more than n digits after the point (then p < 0)
        PutExponentForm(text, digits, significant, MinusSign, 1 - p);
    } else if (p <= 0) {  // no "0" before the point
        Put(text, DecimalPoint);
        PutZeros(text, -p);
        PutDigits(text, digits.Digits, significant);
    } else {
        PutDigits(text, digits.Digits, p);
        Put(text, DecimalPoint);
        PutDigits(text, digits.Digits + p, significant - p);
    }
    if (blanks) {
        Put(text, Blank);
    }
    return text;
}

}  // namespace

NumberText FormatNumber(long double value, int budget) {
    return LayOut(MakeDigits(value, budget), true);
}

NumberText FileRealForm(long double value) {
    return LayOut(MakeDigits(value, LongBudget), false);
}

NumberText ConsoleIntegerForm(std::int16_t value) {
    return FormatNumber(static_cast<long double>(value), ShortBudget);
}

NumberText ConsoleIntegerForm(std::int32_t value) {
    return FormatNumber(static_cast<long double>(value), LongBudget);
}

// Every 64-bit integer is exact in the 64-bit significand.
NumberText ConsoleIntegerForm(std::int64_t value) {
    return FormatNumber(static_cast<long double>(value), LongBudget);
}

#pragma once
// The file form of a whole number divided by a whole divisor, as signal file lines of integer
// samples need it, on a short road. The numerator's magnitude is at most the divisor's and the
// divisor at most 2^31, so a non-zero quotient lies between 2^-31 and 1: its scaling power is
// one of the exact ones, and its text is "1", ".DDD", or "D.DDDE-N" with a sign before it. The
// text is FileRealForm(DivideByPrepared(ExtendedFromInteger(numerator), divisor)) bit for bit;
// any other numerator takes that general road.
#include <cstdint>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"

inline constexpr std::uint64_t LargestWholeDivisor = std::uint64_t{1} << 31;

struct WholeDivisor {
    ExtendedDivisor General;  // the divisor, made ready for the general road
    std::uint64_t Whole;      // 1 to LargestWholeDivisor when the divisor is such a whole number;
                              // 0 closes the short road
};

WholeDivisor PrepareWholeDivisor(ExtendedReal divisor);

// Writes the text at text, which has room for WholeQuotientRoom characters (those past the
// text are scratch), and returns its length.
inline constexpr int WholeQuotientRoom = sizeof(NumberText::Text);
int PutWholeQuotientText(char* text, std::int64_t numerator, const WholeDivisor& divisor);

// The value that text stands for, on the same short road: 0.D1...D15 x 10^Point, its sign
// before it. Zero has Digits 0.
struct WholeQuotientDigits {
    std::uint64_t Digits;  // the 15 digits as one integer, trailing zeros kept; or 0
    int Point;             // -9 to 1
    bool Negative;
};

// False where the numerator takes the general road (its magnitude above the divisor's, or the
// road closed), whose text is then to be made and read.
bool TakeWholeQuotientDigits(std::int64_t numerator, const WholeDivisor& divisor,
                             WholeQuotientDigits& digits);

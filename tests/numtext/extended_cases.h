#pragma once
// Cases of the extended arithmetic: one operation and its operands, what it gives, a line of
// text for each (the replay table's format), and a random source of cases over the whole
// format and over the values the program meets.
#include <cstdint>
#include <random>
#include <string>

#include "numtext/extended_real.h"

// The letters are the table's.
enum class ExtendedOp : char {
    Multiply = 'M',
    Divide = 'D',
    DivideByPrepared = 'P',  // the same quotient through a prepared divisor
    Round = 'R',             // to an integral value
    Integer = 'I',           // to a 64-bit integer
    Less = 'L',
    FromInteger = 'N',   // Bits as a signed 64-bit integer
    FromUnsigned = 'U',  // Bits as an unsigned one
    FromDouble = 'F',    // Bits as a double's pattern
};

struct ExtendedCase {
    ExtendedOp Op;
    ExtendedReal A;      // the operands of the extended operations
    ExtendedReal B;      // the second operand of the two-operand ones
    std::uint64_t Bits;  // the operand of the conversions
};

struct CaseResult {
    ExtendedReal Value;    // of the operations that give an extended value
    std::int64_t Integer;  // of Integer; 1 or 0 for Less
};

CaseResult EvaluateCase(const ExtendedCase& c);
bool SameResult(ExtendedOp op, const CaseResult& a, const CaseResult& b);

// "M 3FFF8000000000000000 4000C000000000000000 = 4000C000000000000000": the operation, its
// operands, "=" and the result, in hexadecimal, the word of sign and exponent first.
std::string FormatCase(const ExtendedCase& c, const CaseResult& result);
// False when the line is not a case.
bool ParseCase(const std::string& line, ExtendedCase& c, CaseResult& result);

ExtendedCase RandomCase(std::mt19937_64& random);

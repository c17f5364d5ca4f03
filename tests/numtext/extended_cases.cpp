#include "tests/numtext/extended_cases.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "numtext/power_table.h"

namespace {

constexpr int Bias = ExtendedExponentBias;
constexpr int TopField = 0x7FFE;  // the largest finite values

ExtendedReal Make(bool negative, int field, std::uint64_t significand) {
    return ExtendedReal{significand,
                        static_cast<std::uint16_t>((negative ? ExtendedSignBit : 0) | field)};
}

bool Chance(std::mt19937_64& random, int oneIn) {
    return random() % static_cast<std::uint64_t>(oneIn) == 0;
}

int Between(std::mt19937_64& random, int low, int high) {
    return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
}

// A significand with its leading bit, often with few bits set so that products come out
// exact or exactly half-way.
std::uint64_t RandomSignificand(std::mt19937_64& random) {
    std::uint64_t significand = random() | ExtendedLeadingBit;
    if (Chance(random, 4)) significand &= ~std::uint64_t{0} << Between(random, 1, 63);
    return significand;
}

ExtendedReal Special(std::mt19937_64& random) {
    const bool negative = Chance(random, 2);
    switch (Between(random, 0, 8)) {
        case 0:
            return Make(negative, 0, 0);
        case 1:
            return Make(negative, 0x7FFF, ExtendedLeadingBit);
        case 2:  // quiet NaN
            return Make(negative, 0x7FFF,
                        0xC000000000000000 | (random() >> Between(random, 2, 63)));
        case 3:  // signalling NaN
            return Make(negative, 0x7FFF,
                        ExtendedLeadingBit | (random() >> Between(random, 2, 63)) | 1);
        case 4:
            return ExtendedDefaultNaN;
        case 5:  // a denormal
            return Make(negative, 0, random() >> Between(random, 1, 63));
        case 6:
            return Make(negative, 1, ExtendedLeadingBit);
        case 7:
            return Make(negative, TopField, ~std::uint64_t{0});
        default:
            return Make(negative, 0, 1);
    }
}

// Any value of the format, finite ones spread evenly over the exponents.
ExtendedReal AnyValue(std::mt19937_64& random) {
    if (Chance(random, 12)) return Special(random);
    return Make(Chance(random, 2), Between(random, 1, TopField), RandomSignificand(random));
}

// A value of the program's own: integers below 2^63, 24-bit samples, powers of ten exact or
// one unit in the last place off, quotients of samples.
ExtendedReal ProgramValue(std::mt19937_64& random) {
    switch (Between(random, 0, 4)) {
        case 0:
            return ExtendedFromUnsigned(random() >> Between(random, 1, 63));
        case 1:
            return ExtendedFromInteger(Between(random, -8388608, 8388607));
        case 2: {
            ExtendedReal power = ExactPowersOfTen[Between(random, 0, ExactPowerCount - 1)];
            power.Significand += static_cast<std::uint64_t>(Between(random, -1, 1));
            if ((power.Significand & ExtendedLeadingBit) == 0)
                power.Significand |= ExtendedLeadingBit;
            return power;
        }
        case 3:
            return LargePowersOfTen[Between(random, 0, LargePowerCount - 1)];
        default:
            return DivideExtended(ExtendedFromInteger(Between(random, -8388608, 8388607)),
                                  ExtendedFromInteger(Between(random, 1, 8388608)));
    }
}

ExtendedReal Operand(std::mt19937_64& random) {
    return Chance(random, 2) ? AnyValue(random) : ProgramValue(random);
}

// A second operand that puts a product or quotient with a at the top or the bottom of the
// exponent range, where it overflows or becomes a denormal.
ExtendedReal EdgePartner(std::mt19937_64& random, ExtendedReal a, bool divide) {
    const int fieldA = ExtendedExponentField(a);
    const int target =
        Chance(random, 2) ? TopField + Between(random, -1, 2) : Between(random, -66, 2);
    int field = divide ? fieldA - target + Bias : target - fieldA + Bias;
    if (field < 1 || field > TopField) field = Between(random, 1, TopField);
    return Make(Chance(random, 2), field, RandomSignificand(random));
}

// Products whose exact value lies half-way between two neighbours: odd factors of 32 and 33
// bits make a 65-bit product ending in 1.
void TieFactors(std::mt19937_64& random, ExtendedReal& a, ExtendedReal& b) {
    const std::uint64_t x = (random() | 0x80000001) & 0xFFFFFFFF;
    const std::uint64_t y = (random() | 0x100000001) & 0x1FFFFFFFF;
    a = Make(Chance(random, 2), Between(random, Bias - 200, Bias + 200), x << 32);
    b = Make(Chance(random, 2), Between(random, Bias - 200, Bias + 200), y << 31);
    if (Chance(random, 4)) b.SignExponent = static_cast<std::uint16_t>(Between(random, 1, 80));
}

// A value near the integers: ties, halves, and the edges of the 64-bit range.
ExtendedReal NearInteger(std::mt19937_64& random) {
    const bool negative = Chance(random, 2);
    const int field = Between(random, Bias - 2, Bias + 65);
    std::uint64_t significand = RandomSignificand(random);
    const int fraction = Bias + 63 - field;
    if (fraction > 0 && fraction < 64 && Chance(random, 3)) {
        const std::uint64_t lastBit = std::uint64_t{1} << fraction;
        significand = (significand & ~(lastBit - 1)) | (lastBit >> 1);
        if ((significand & ExtendedLeadingBit) == 0) significand |= ExtendedLeadingBit;
    }
    return Make(negative, field, significand);
}

std::string Hex(ExtendedReal value) {
    char text[24];
    std::snprintf(text, sizeof text, "%04X%016" PRIX64, value.SignExponent, value.Significand);
    return text;
}

std::string Hex(std::uint64_t value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIX64, value);
    return text;
}

bool ReadValue(const char*& at, ExtendedReal& value) {
    unsigned word = 0;
    std::uint64_t significand = 0;
    int used = 0;
    if (std::sscanf(at, " %4X%16" SCNx64 "%n", &word, &significand, &used) != 2) return false;
    at += used;
    value = ExtendedReal{significand, static_cast<std::uint16_t>(word)};
    return true;
}

bool ReadBits(const char*& at, std::uint64_t& bits) {
    int used = 0;
    if (std::sscanf(at, " %16" SCNx64 "%n", &bits, &used) != 1) return false;
    at += used;
    return true;
}

bool TwoOperands(ExtendedOp op) {
    return op == ExtendedOp::Multiply || op == ExtendedOp::Divide ||
           op == ExtendedOp::DivideByPrepared || op == ExtendedOp::Less;
}

bool Conversion(ExtendedOp op) {
    return op == ExtendedOp::FromInteger || op == ExtendedOp::FromUnsigned ||
           op == ExtendedOp::FromDouble;
}

bool IntegerResult(ExtendedOp op) {
    return op == ExtendedOp::Integer || op == ExtendedOp::Less;
}

}  // namespace

CaseResult EvaluateCase(const ExtendedCase& c) {
    switch (c.Op) {
        case ExtendedOp::Multiply:
            return CaseResult{MultiplyExtended(c.A, c.B), 0};
        case ExtendedOp::Divide:
            return CaseResult{DivideExtended(c.A, c.B), 0};
        case ExtendedOp::DivideByPrepared:
            return CaseResult{DivideByPrepared(c.A, PrepareDivisor(c.B)), 0};
        case ExtendedOp::Round:
            return CaseResult{RoundExtendedToIntegral(c.A), 0};
        case ExtendedOp::Integer:
            return CaseResult{{}, ExtendedToInteger(c.A)};
        case ExtendedOp::Less:
            return CaseResult{{}, ExtendedLess(c.A, c.B) ? 1 : 0};
        case ExtendedOp::FromInteger:
            return CaseResult{ExtendedFromInteger(static_cast<std::int64_t>(c.Bits)), 0};
        case ExtendedOp::FromUnsigned:
            return CaseResult{ExtendedFromUnsigned(c.Bits), 0};
        case ExtendedOp::FromDouble: {
            double value = 0;
            static_assert(sizeof value == sizeof c.Bits);
            std::memcpy(&value, &c.Bits, sizeof value);
            return CaseResult{ExtendedFromDouble(value), 0};
        }
    }
    return CaseResult{};
}

bool SameResult(ExtendedOp op, const CaseResult& a, const CaseResult& b) {
    return IntegerResult(op) ? a.Integer == b.Integer : SameBits(a.Value, b.Value);
}

std::string FormatCase(const ExtendedCase& c, const CaseResult& result) {
    std::string line(1, static_cast<char>(c.Op));
    if (Conversion(c.Op)) {
        line += " " + Hex(c.Bits);
    } else {
        line += " " + Hex(c.A);
        if (TwoOperands(c.Op)) line += " " + Hex(c.B);
    }
    line += " = ";
    if (c.Op == ExtendedOp::Less) {
        line += result.Integer != 0 ? "1" : "0";
    } else if (c.Op == ExtendedOp::Integer) {
        line += Hex(static_cast<std::uint64_t>(result.Integer));
    } else {
        line += Hex(result.Value);
    }
    return line;
}

bool ParseCase(const std::string& line, ExtendedCase& c, CaseResult& result) {
    if (line.size() < 3) return false;
    c = ExtendedCase{static_cast<ExtendedOp>(line[0]), {}, {}, 0};
    result = CaseResult{};
    const char* at = line.c_str() + 1;
    if (Conversion(c.Op)) {
        if (!ReadBits(at, c.Bits)) return false;
    } else if (!ReadValue(at, c.A) || (TwoOperands(c.Op) && !ReadValue(at, c.B))) {
        return false;
    }
    while (*at == ' ') ++at;
    if (*at++ != '=') return false;
    if (c.Op == ExtendedOp::Less) {
        while (*at == ' ') ++at;
        result.Integer = *at == '1' ? 1 : 0;
        return *at == '0' || *at == '1';
    }
    if (c.Op == ExtendedOp::Integer) {
        std::uint64_t bits = 0;
        if (!ReadBits(at, bits)) return false;
        result.Integer = static_cast<std::int64_t>(bits);
        return true;
    }
    return ReadValue(at, result.Value);
}

ExtendedCase RandomCase(std::mt19937_64& random) {
    ExtendedCase c{ExtendedOp::Multiply, {}, {}, 0};
    const int pick = Between(random, 0, 99);
    if (pick < 60) {
        c.Op = pick < 30 ? ExtendedOp::Multiply
                         : (pick < 45 ? ExtendedOp::Divide : ExtendedOp::DivideByPrepared);
        const bool divide = c.Op != ExtendedOp::Multiply;
        c.A = Operand(random);
        switch (Between(random, 0, 5)) {
            case 0:
                c.B = EdgePartner(random, c.A, divide);
                break;
            case 1:
                TieFactors(random, c.A, c.B);
                if (divide) c.A = MultiplyExtended(c.A, c.B);  // back to a factor, or close
                break;
            default:
                c.B = Operand(random);
                break;
        }
    } else if (pick < 82) {
        c.Op = pick < 72 ? ExtendedOp::Round : ExtendedOp::Integer;
        c.A = Chance(random, 4) ? Operand(random) : NearInteger(random);
    } else if (pick < 90) {
        c.Op = ExtendedOp::Less;
        c.A = Operand(random);
        c.B = c.A;
        if (Chance(random, 2)) {
            c.B = Operand(random);
        } else if (Chance(random, 2)) {
            c.B.Significand += 1;
            if ((c.B.Significand & ExtendedLeadingBit) == 0) c.B = c.A;
        } else {
            c.B.SignExponent ^= ExtendedSignBit;
        }
    } else {
        c.Op = pick < 94 ? ExtendedOp::FromInteger
                         : (pick < 96 ? ExtendedOp::FromUnsigned : ExtendedOp::FromDouble);
        c.Bits = Chance(random, 2) ? random() : random() >> Between(random, 0, 63);
        if (c.Op == ExtendedOp::FromInteger && Chance(random, 2)) c.Bits = ~c.Bits + 1;
    }
    return c;
}

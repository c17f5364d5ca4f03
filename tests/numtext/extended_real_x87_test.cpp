// The extended arithmetic against the x87 unit itself, operation by operation, on random
// operands over the whole format and over the values the program meets. Only where the unit
// exists. NORVISTRAND_X87_OPERATIONS sets the count (default 3,000,000); with
// NORVISTRAND_WRITE_EXTENDED_CASES=<file> the test also records the replay table that
// extended_real_test.cpp checks on every machine.
#if defined(__x86_64__) && __LDBL_MANT_DIG__ == 64

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "numtext/extended_real.h"
#include "tests/numtext/extended_cases.h"

namespace {

constexpr long DefaultOperations = 3000000;
constexpr int RecordedCases = 3000;

long double ToX87(ExtendedReal value) {
    unsigned char image[sizeof(long double)] = {};
    ExtendedToImage(value, image);
    long double result = 0;
    std::memcpy(&result, image, sizeof result);
    return result;
}

ExtendedReal FromX87(long double value) {
    unsigned char image[sizeof(long double)];
    std::memcpy(image, &value, sizeof image);
    return ExtendedFromImage(image);
}

// The unit's own instructions, on values it loads unchanged.
long double UnitMultiply(long double a, long double b) {
    volatile long double x = a, y = b;
    return x * y;
}
long double UnitDivide(long double a, long double b) {
    volatile long double x = a, y = b;
    return x / y;
}
long double UnitRound(long double a) {
    asm volatile("frndint" : "+t"(a));
    return a;
}
std::int64_t UnitInteger(long double a) {
    std::int64_t result = 0;
    asm volatile("fistpll %0" : "=m"(result) : "t"(a) : "st");
    return result;
}
bool UnitLess(long double a, long double b) {
    volatile long double x = a, y = b;
    return x < y;
}

// What the unit gives for one case, in the table's terms.
CaseResult UnitResult(const ExtendedCase& c) {
    const long double a = ToX87(c.A);
    const long double b = ToX87(c.B);
    switch (c.Op) {
        case ExtendedOp::Multiply:
            return CaseResult{FromX87(UnitMultiply(a, b)), 0};
        case ExtendedOp::Divide:
        case ExtendedOp::DivideByPrepared:
            return CaseResult{FromX87(UnitDivide(a, b)), 0};
        case ExtendedOp::Round:
            return CaseResult{FromX87(UnitRound(a)), 0};
        case ExtendedOp::Integer:
            return CaseResult{{}, UnitInteger(a)};
        case ExtendedOp::Less:
            return CaseResult{{}, UnitLess(a, b) ? 1 : 0};
        case ExtendedOp::FromInteger: {
            volatile std::int64_t integer = static_cast<std::int64_t>(c.Bits);
            return CaseResult{FromX87(static_cast<long double>(integer)), 0};
        }
        case ExtendedOp::FromUnsigned: {
            volatile std::uint64_t integer = c.Bits;
            return CaseResult{FromX87(static_cast<long double>(integer)), 0};
        }
        case ExtendedOp::FromDouble: {
            double value = 0;
            std::memcpy(&value, &c.Bits, sizeof value);
            volatile double loaded = value;
            return CaseResult{FromX87(static_cast<long double>(loaded)), 0};
        }
    }
    return CaseResult{};
}

// Precision control 64 bits, nearest even, all exceptions masked: what Linux starts with and
// what the cases assume everywhere.
void SetUnitMode() {
    const std::uint16_t control = 0x037F;
    asm volatile("fldcw %0" : : "m"(control));
}

long OperationCount() {
    const char* text = std::getenv("NORVISTRAND_X87_OPERATIONS");
    return text != nullptr ? std::strtol(text, nullptr, 10) : DefaultOperations;
}

TEST(ExtendedRealX87, EveryOperationMatchesTheUnit) {
    SetUnitMode();
    std::mt19937_64 random(20261207);
    const long count = OperationCount();
    long mismatches = 0;
    for (long i = 0; i < count; ++i) {
        const ExtendedCase c = RandomCase(random);
        const CaseResult expected = UnitResult(c);
        const CaseResult actual = EvaluateCase(c);
        if (!SameResult(c.Op, expected, actual)) {
            if (++mismatches <= 10) {
                ADD_FAILURE() << "case " << FormatCase(c, expected) << "\n   got "
                              << FormatCase(c, actual);
            }
        }
    }
    std::printf("%ld operations against the x87 unit, %ld mismatches\n", count, mismatches);
    EXPECT_EQ(mismatches, 0);

    if (const char* path = std::getenv("NORVISTRAND_WRITE_EXTENDED_CASES")) {
        std::mt19937_64 recorded(1);
        std::FILE* file = std::fopen(path, "w");
        ASSERT_NE(file, nullptr);
        for (int i = 0; i < RecordedCases; ++i) {
            const ExtendedCase c = RandomCase(recorded);
            std::fprintf(file, "%s\n", FormatCase(c, UnitResult(c)).c_str());
        }
        std::fclose(file);
    }
}

// The sum and the rounding to a double against the unit's own addition and store, on
// operands near each other (cancellation), far apart (sticky bits) and near the double's
// smallest and largest values.
TEST(ExtendedRealX87, AdditionAndRoundingToADoubleMatchTheUnit) {
    SetUnitMode();
    std::mt19937_64 random(20261208);
    const auto operand = [&random](int around, int spread) {
        const int field = around + static_cast<int>(random() % (2 * spread + 1)) - spread;
        return ExtendedReal{random() | ExtendedLeadingBit,
                            static_cast<std::uint16_t>(field | (random() & 1 ? 0x8000 : 0))};
    };
    constexpr int Centres[] = {ExtendedExponentBias, ExtendedExponentBias - 1022,
                               ExtendedExponentBias - 1074, ExtendedExponentBias + 1023};
    long mismatches = 0;
    for (long i = 0; i < OperationCount() / 4; ++i) {
        const int centre = Centres[i % 4];
        const ExtendedReal a = operand(centre, 4);
        const ExtendedReal b = operand(centre, i % 8 == 0 ? 140 : 66);
        volatile long double x = ToX87(a), y = ToX87(b);
        const long double sum = x + y;
        const volatile double stored = static_cast<double>(x);
        const ExtendedReal added = AddExtended(a, b);
        const ExtendedReal expected = FromX87(sum);
        const double rounded = ExtendedToDouble(a);
        if ((!SameBits(added, expected) ||
             std::memcmp(&rounded, const_cast<const double*>(&stored), sizeof rounded) != 0) &&
            ++mismatches <= 10) {
            ADD_FAILURE() << "case " << FormatCase({ExtendedOp::Multiply, a, b, 0}, {added, 0});
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

#endif

// The 128-bit steps against the compiler's own 128-bit integer. numtext_portable_tests runs
// this file on the plain 64-bit code, numtext_tests on the code the build normally takes.
#include "numtext/wide_integer.h"

#include <gtest/gtest.h>

#include <random>

#if defined(__SIZEOF_INT128__)

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t AllOnes = ~std::uint64_t{0};
constexpr std::uint64_t TopBit = std::uint64_t{1} << 63;

// Random words, half of them cut to a run of ones or zeros where carries and borrows go far.
std::uint64_t RandomWord(std::mt19937_64& random) {
    const std::uint64_t word = random();
    switch (random() % 4) {
        case 0:
            return AllOnes >> (random() % 64);
        case 1:
            return word << (random() % 64);
        default:
            return word;
    }
}

TEST(WideInteger, ProductsAndQuotientsMatchTheWideType) {
    std::mt19937_64 random(128);
    int mismatches = 0;
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t a = i == 0 ? AllOnes : RandomWord(random);
        const std::uint64_t b = i == 0 ? AllOnes : RandomWord(random);
        const std::uint64_t low = i == 0 ? AllOnes : RandomWord(random);
        const WideValue product = MultiplyWide(a, b);
        const Wide expected = Wide{a} * b;
        // Any divisor for DivideWide; one with its top bit set for the reciprocal's road.
        const std::uint64_t divisor = b == 0 ? 1 : b;
        const std::uint64_t normal = b | TopBit;
        const Wide dividend = (Wide{a % divisor} << 64) | low;
        const Wide normalDividend = (Wide{a % normal} << 64) | low;
        const WideQuotient quotient = DivideWide(a % divisor, low, divisor);
        const WideQuotient byReciprocal =
            DivideWideBy(a % normal, low, normal, WideReciprocal(normal));
        const bool same = product.High == static_cast<std::uint64_t>(expected >> 64) &&
                          product.Low == static_cast<std::uint64_t>(expected) &&
                          quotient.Quotient == dividend / divisor &&
                          quotient.Remainder == dividend % divisor &&
                          byReciprocal.Quotient == normalDividend / normal &&
                          byReciprocal.Remainder == normalDividend % normal;
        if (!same && ++mismatches <= 10) {
            ADD_FAILURE() << std::hex << a << " " << b << " " << low;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

#endif

// The 128-bit steps against the compiler's own 128-bit integer. numtext_portable_tests runs
// this file on the plain 64-bit code, numtext_tests on the code the build normally takes.
#include "numtext/wide_integer.h"

#include <gtest/gtest.h>

#include <random>

#if defined(__SIZEOF_INT128__)

namespace {

__extension__ typedef unsigned __int128 Wide;

// Words often cut to a run of ones or zeros, where carries and borrows go far.
std::uint64_t RandomWord(std::mt19937_64& random) {
    const std::uint64_t word = random();
    const int cut = static_cast<int>(random() % 64);
    return word % 3 == 0 ? ~std::uint64_t{0} >> cut : word % 3 == 1 ? word << cut : word;
}

TEST(WideInteger, ProductsAndQuotientsMatchTheWideType) {
    std::mt19937_64 random(128);
    int mismatches = 0;
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t a = RandomWord(random), b = RandomWord(random);
        const std::uint64_t low = RandomWord(random);
        const Wide product = Wide{a} * b;
        // Any divisor for DivideWide; one with its top bit set for the reciprocal's road.
        const std::uint64_t divisor = b == 0 ? 1 : b, normal = b | std::uint64_t{1} << 63;
        const Wide dividend = (Wide{a % divisor} << 64) | low;
        const Wide normalDividend = (Wide{a % normal} << 64) | low;
        const WideValue p = MultiplyWide(a, b);
        const WideQuotient q = DivideWide(a % divisor, low, divisor);
        const WideQuotient r = DivideWideBy(a % normal, low, normal, WideReciprocal(normal));
        if ((((Wide{p.High} << 64) | p.Low) != product || q.Quotient != dividend / divisor ||
             q.Remainder != dividend % divisor || r.Quotient != normalDividend / normal ||
             r.Remainder != normalDividend % normal) &&
            ++mismatches <= 10) {
            ADD_FAILURE() << std::hex << a << " " << b << " " << low;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

#endif

// The short road of whole quotients against the general one: the same text for the edges of
// its range, for divisors it does not take, and for many random 24- and 32-bit samples and
// peaks, among them the few percent whose digits it leaves to the general road.
#include "numtext/quotient_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

std::string ShortRoad(std::int64_t numerator, const WholeDivisor& divisor) {
    char text[WholeQuotientRoom];
    return std::string(text,
                       static_cast<std::size_t>(PutWholeQuotientText(text, numerator, divisor)));
}

std::string GeneralRoad(std::int64_t numerator, const WholeDivisor& divisor) {
    return std::string(
        FileRealForm(DivideByPrepared(ExtendedFromInteger(numerator), divisor.General)).View());
}

// A peak of 1 to 2^bits, and a sample within it, or the peak itself, or one of the smallest.
void RandomCase(std::mt19937_64& random, int bits, std::int64_t& sample, std::int64_t& peak) {
    const std::uint64_t range = std::uint64_t{1} << (1 + random() % static_cast<unsigned>(bits));
    peak = static_cast<std::int64_t>(random() % range + 1);
    const auto span = static_cast<std::uint64_t>(2 * peak + 1);
    sample = static_cast<std::int64_t>(random() % span) - peak;
    if (random() % 8 == 0) sample = random() % 2 == 0 ? peak : -peak;
    if (random() % 8 == 0) sample = static_cast<std::int64_t>(random() % 9) - 4;
}

TEST(WholeQuotientText, ShortRoadGivesTheGeneralText) {
    struct Case {
        std::int64_t Sample;
        ExtendedReal Peak;
    };
    const std::int64_t top = std::int64_t{1} << 31;
    const Case edges[] = {
        {1, ExtendedFromInteger(8388608)},
        {-8388608, ExtendedFromInteger(8388608)},
        {8388607, ExtendedFromInteger(8388607)},
        {-1, ExtendedFromInteger(1)},
        {0, ExtendedFromInteger(1)},
        {1, ExtendedFromInteger(top)},
        {-top, ExtendedFromInteger(top)},
        {top - 1, ExtendedFromInteger(top)},
        {5, ExtendedFromInteger(100000000)},
        {3, ExtendedFromInteger(1000000000)},
        // divisors off the road: none, too large, not whole, negative, no number
        {0, ExtendedFromInteger(0)},
        {1, ExtendedFromInteger(0)},
        {1, ExtendedFromInteger(top + 1)},
        {2, ExtendedFromDouble(2.5)},
        {-3, ExtendedFromInteger(-7)},
        {1, ExtendedDefaultNaN},
        {7, ExtendedInfinity},
        {9, ExtendedFromInteger(7)},
    };
    for (const Case& edge : edges) {
        const WholeDivisor divisor = PrepareWholeDivisor(edge.Peak);
        EXPECT_EQ(ShortRoad(edge.Sample, divisor), GeneralRoad(edge.Sample, divisor))
            << edge.Sample;
    }
    EXPECT_EQ(PrepareWholeDivisor(ExtendedFromDouble(2.5)).Whole, 0u);
    EXPECT_EQ(PrepareWholeDivisor(ExtendedFromInteger(top + 1)).Whole, 0u);
    EXPECT_EQ(PrepareWholeDivisor(ExtendedFromInteger(top)).Whole, static_cast<std::uint64_t>(top));

    std::mt19937_64 random(24);
    int faults = 0;
    for (int i = 0; i < 2000000 && faults < 10; ++i) {
        std::int64_t sample = 0;
        std::int64_t peak = 0;
        RandomCase(random, i % 4 == 0 ? 31 : 23, sample, peak);
        const WholeDivisor divisor = PrepareWholeDivisor(ExtendedFromInteger(peak));
        const std::string expected = GeneralRoad(sample, divisor);
        const std::string text = ShortRoad(sample, divisor);
        if (text != expected) {
            ++faults;
            ADD_FAILURE() << sample << " / " << peak << ": " << text << " for " << expected;
        }
    }
}

}  // namespace

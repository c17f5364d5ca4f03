// The extended arithmetic on every machine: a table of cases whose results the x87 unit
// recorded (extended_real_x87_test.cpp writes it), replayed one by one.
#include "numtext/extended_real.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/numtext/extended_cases.h"

namespace {

constexpr int RecordedCases = 3000;

TEST(ExtendedReal, GivesWhatTheX87UnitRecorded) {
    std::ifstream table(NORVISTRAND_SOURCE_DIR "/tests/numtext/extended_cases.txt");
    ASSERT_TRUE(table.good());
    int cases = 0;
    int mismatches = 0;
    for (std::string line; std::getline(table, line);) {
        ExtendedCase c{};
        CaseResult expected{};
        ASSERT_TRUE(ParseCase(line, c, expected)) << line;
        ++cases;
        const CaseResult actual = EvaluateCase(c);
        if (!SameResult(c.Op, expected, actual) && ++mismatches <= 10) {
            ADD_FAILURE() << "recorded " << line << "\n     got " << FormatCase(c, actual);
        }
    }
    EXPECT_EQ(cases, RecordedCases);
    EXPECT_EQ(mismatches, 0);
}

TEST(ExtendedReal, KeepsTheImageItIsMadeFrom) {
    const unsigned char image[ExtendedImageBytes] = {1, 2, 3, 4, 5, 6, 7, 0x88, 0xFE, 0xBF};
    const ExtendedReal value = ExtendedFromImage(image);
    EXPECT_EQ(value.Significand, 0x8807060504030201u);
    EXPECT_EQ(value.SignExponent, 0xBFFE);
    unsigned char back[ExtendedImageBytes] = {};
    ExtendedToImage(value, back);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back), sizeof back),
              std::string(reinterpret_cast<const char*>(image), sizeof image));
}

// Doubles summed in the extended format in order, then rounded once to a double: what the
// sum of a mix's float samples is on every machine.
TEST(ExtendedReal, SumsInTheExtendedFormatThenRoundsToADouble) {
    const double tiny = std::ldexp(1.0, -1074);
    struct Row {
        std::vector<double> Terms;
        double Sum;
    } const rows[] = {
        {{1, std::ldexp(1.0, -60), -1}, std::ldexp(1.0, -60)},  // a double sum gives 0
        {{1, std::ldexp(1.0, -64), -1}, 0},                     // the tie went to the even 1
        {{1, std::ldexp(1.0, -53)}, 1},                         // a tie at the double: even
        {{1, std::ldexp(1.0, -53), std::ldexp(1.0, -60)}, 1 + std::ldexp(1.0, -52)},
        {{tiny, tiny, tiny}, 3 * tiny},

        {{1e308, 1e308}, HUGE_VAL},
        {{1e308, 1e308, -1e308}, 1e308},  // the extended range holds the partial sum
        {{-0.0, -0.0}, -0.0},
        {{0.5, -0.5}, 0.0},
    };
    for (const Row& row : rows) {
        ExtendedReal sum = ExtendedFromDouble(row.Terms.front());
        for (std::size_t i = 1; i < row.Terms.size(); ++i) {
            sum = AddExtended(sum, ExtendedFromDouble(row.Terms[i]));
        }
        const double rounded = ExtendedToDouble(sum);
        EXPECT_EQ(rounded, row.Sum) << row.Terms.front() << " and " << row.Terms.size() - 1;
        EXPECT_EQ(std::signbit(rounded), std::signbit(row.Sum));
    }
}

}  // namespace

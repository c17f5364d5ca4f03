// The extended arithmetic on every machine: a table of cases whose results the x87 unit
// recorded (extended_real_x87_test.cpp writes it), replayed one by one.
#include "numtext/extended_real.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

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

}  // namespace

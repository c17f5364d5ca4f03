// The layout of the texts: integer, fixed and exponent forms, the file form and the console
// integer form.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string_view>

#include "numtext/number_text.h"
#include "tests/numtext/extended_values.h"

namespace {

struct ReferenceValue {
    const char* Name;
    ExtendedReal Value;      // the extended value nearest the quotient named
    std::string_view Long;   // FormatNumber, budget 15
    std::string_view File;   // FileRealForm
    std::string_view Short;  // FormatNumber, budget 7
};

// The reference values: zero text, no "0" before the point, fixed or exponent form chosen by
// the count of digits after the point, rounding on the digit after the budget only.
TEST(FormatNumber, ReferenceValuesInAllThreeForms) {
    const ExtendedReal infinity = ExtendedInfinity;
    const ReferenceValue values[] = {
        {"0", Whole(0), " 0 ", "0", " 0 "},
        {"-0", NegateExtended(Whole(0)), " 0 ", "0", " 0 "},
        {"NaN of 0/0", DefaultNaN(), " 0 ", "0", " 0 "},
        {"1", Whole(1), " 1 ", "1", " 1 "},
        {"-1", Whole(-1), "-1 ", "-1", "-1 "},
        {"0.5", Ratio(1, 2), " .5 ", ".5", " .5 "},
        {"-0.5", Ratio(-1, 2), "-.5 ", "-.5", "-.5 "},
        {"127/128", Ratio(127, 128), " .9921875 ", ".9921875", " .9921875 "},
        {"-1/128", Ratio(-1, 128), "-.0078125 ", "-.0078125", "-.0078125 "},
        {"1/3", Ratio(1, 3), " .333333333333333 ", ".333333333333333", " .3333333 "},
        {"2/3", Ratio(2, 3), " .666666666666667 ", ".666666666666667", " .6666667 "},
        {"0.05", Ratio(1, 20), " .05 ", ".05", " .05 "},
        {"10^-5", Ratio(1, 100000), " .00001 ", ".00001", " .00001 "},
        {"10^-15", Ratio(1, 1000000000000000), " .000000000000001 ", ".000000000000001", " 1E-15 "},
        {"10^-16", Ratio(1, 10000000000000000), " 1E-16 ", "1E-16", " 1E-16 "},
        {"10^-20", FromBits(0xBCE5086492111AEB, 0x3FBC), " 1E-20 ", "1E-20", " 1E-20 "},
        {"1/32768", Ratio(1, 32768), " .000030517578125 ", ".000030517578125", " 3.051758E-5 "},
        {"1/32767", Ratio(1, 32767), " 3.05185094759972E-5 ", "3.05185094759972E-5",
         " 3.051851E-5 "},
        {"29/32767", Ratio(29, 32767), " 8.85036774803918E-4 ", "8.85036774803918E-4",
         " 8.850368E-4 "},
        {"1/127", Ratio(1, 127), " 7.8740157480315E-3 ", "7.8740157480315E-3", " 7.874016E-3 "},
        {"1/8388607", Ratio(1, 8388607), " 1.19209303761638E-7 ", "1.19209303761638E-7",
         " 1.192093E-7 "},
        {"12345/32767", Ratio(12345, 32767), " .376750999481185 ", ".376750999481185", " .376751 "},
        {"1.5", Ratio(3, 2), " 1.5 ", "1.5", " 1.5 "},
        {"1234567.5", Ratio(2469135, 2), " 1234567.5 ", "1234567.5", " 1234568 "},
        {"16", Whole(16), " 16 ", "16", " 16 "},
        {"44100", Whole(44100), " 44100 ", "44100", " 44100 "},
        {"-250", Whole(-250), "-250 ", "-250", "-250 "},
        {"123456789012345", Whole(123456789012345), " 123456789012345 ", "123456789012345",
         " 1.234568E+14 "},
        {"10^15", Whole(1000000000000000), " 1E+15 ", "1E+15", " 1E+15 "},
        {"+infinity", infinity, " 9.99999999999999E+998 ", "9.99999999999999E+998",
         " 9.999999E+998 "},
        {"-infinity", NegateExtended(infinity), "-9.99999999999999E+998 ", "-9.99999999999999E+998",
         "-9.999999E+998 "},
    };
    for (const ReferenceValue& v : values) {
        SCOPED_TRACE(v.Name);
        EXPECT_EQ(FormatNumber(v.Value, LongBudget).View(), v.Long);
        EXPECT_EQ(FileRealForm(v.Value).View(), v.File);
        EXPECT_EQ(FormatNumber(v.Value, ShortBudget).View(), v.Short);
    }
}

struct LayoutCase {
    const char* Name;
    ExtendedReal Value;
    int Budget;
    std::string_view Text;
};

void ExpectLayouts(const LayoutCase* cases, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].Name);
        EXPECT_EQ(FormatNumber(cases[i].Value, cases[i].Budget).View(), cases[i].Text);
    }
}

// The borders between the integer form and the exponent form, and between the fixed form and
// the exponent form.
TEST(FormatNumber, FormBorders) {
    const LayoutCase cases[] = {
        {"integer filling the short budget", Whole(1000000), 7, " 1000000 "},
        {"one digit past the short budget", Whole(10000000), 7, " 1E+7 "},
        {"carry into an eighth digit", Ratio(19999999, 2), 7, " 1E+7 "},
        {"integer with trailing zeros, long budget", Whole(100000000000000), 15,
         " 100000000000000 "},
        {"fifteen digits after the point", Ratio(24691357802469, 200000000000000), 15,
         " .123456789012345 "},
        {"point inside the digits", Ratio(15432, 125), 15, " 123.456 "},
        {"fifteen digits, point after the first", Ratio(-24691357802469, 20000000000000), 15,
         "-1.23456789012345 "},
        {"sixteen after the point forces the exponent", Ratio(24691357802469, 2000000000000000), 15,
         " 1.23456789012345E-2 "},
        {"seven after the point in the short budget", Ratio(1, 10000000), 7, " .0000001 "},
        {"eight after the point in the short budget", Ratio(1, 100000000), 7, " 1E-8 "},
    };
    ExpectLayouts(cases, std::size(cases));
}

// The exponent has as many digits as it needs, a sign always, never a leading zero.
TEST(FormatNumber, ExponentDigits) {
    const LayoutCase cases[] = {
        {"one digit", Ratio(1, 4000000), 7, " 2.5E-7 "},
        {"two digits", FromBits(0xAD78EBC5AC620000, 0xC043), 15, "-4E+20 "},
        {"three digits", FromBits(0xDFF9772470297EBD, 0x3EB2), 15, " 1E-100 "},
        {"four digits, negative", FromBits(0xC9CFDA4CFCED1E9B, 0x3305), 7, " 1.5E-1000 "},
        {"four digits, positive", FromBits(0xB78332BF7E8ADAD5, 0x73E9), 15, " 7E+4000 "},
        {"smallest normal", FromBits(0x8000000000000000, 0x0001), 15, " 3.36210314311209E-4932 "},
    };
    ExpectLayouts(cases, std::size(cases));
}

TEST(FormatNumber, LongestTextIsTwentyFourCharacters) {
    const NumberText text = FormatNumber(FromBits(0xA619B069B548E328, 0xB305), LongBudget);
    EXPECT_EQ(text.View(), "-1.23456789012345E-1000 ");
    EXPECT_EQ(text.Length, 24);
}

TEST(FileRealForm, DropsOnlyTheBlanks) {
    EXPECT_EQ(FileRealForm(NegateExtended(Whole(0))).View(), "0");
    EXPECT_EQ(FileRealForm(FromBits(0xDFF9772470297EBD, 0xBEB2)).View(), "-1E-100");
    EXPECT_EQ(FileRealForm(Ratio(32767, 32768)).View(), ".999969482421875");
    EXPECT_EQ(FileRealForm(Ratio(-32768, 32767)).View(), "-1.00003051850948");
}

TEST(ConsoleIntegerForm, SixteenBitUsesTheShortBudget) {
    EXPECT_EQ(ConsoleIntegerForm(std::int16_t{16}).View(), " 16 ");
    EXPECT_EQ(ConsoleIntegerForm(std::int16_t{-250}).View(), "-250 ");
    EXPECT_EQ(ConsoleIntegerForm(std::int16_t{0}).View(), " 0 ");
    EXPECT_EQ(ConsoleIntegerForm(std::numeric_limits<std::int16_t>::max()).View(), " 32767 ");
    EXPECT_EQ(ConsoleIntegerForm(std::numeric_limits<std::int16_t>::min()).View(), "-32768 ");
}

TEST(ConsoleIntegerForm, WiderIntegersUseTheLongBudget) {
    EXPECT_EQ(ConsoleIntegerForm(std::int32_t{44100}).View(), " 44100 ");
    EXPECT_EQ(ConsoleIntegerForm(std::int32_t{-250}).View(), "-250 ");
    EXPECT_EQ(ConsoleIntegerForm(std::numeric_limits<std::int32_t>::max()).View(), " 2147483647 ");
    EXPECT_EQ(ConsoleIntegerForm(std::numeric_limits<std::int32_t>::min()).View(), "-2147483648 ");
    EXPECT_EQ(ConsoleIntegerForm(std::int64_t{0}).View(), " 0 ");
    EXPECT_EQ(ConsoleIntegerForm(std::int64_t{999999999999999}).View(), " 999999999999999 ");
    // Past fifteen digits the exponent form takes over; the 16th digit (6) rounds up.
    EXPECT_EQ(ConsoleIntegerForm(std::int64_t{1234567890123456789}).View(),
              " 1.23456789012346E+18 ");
    EXPECT_EQ(ConsoleIntegerForm(std::numeric_limits<std::int64_t>::min()).View(),
              "-9.22337203685478E+18 ");
}

}  // namespace

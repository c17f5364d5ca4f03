// Properties over many values: every file form text is well shaped and reads back as the
// value it stands for, to within one unit of the 15th significant digit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "numtext/number_text.h"

namespace {

constexpr int MaxReportedFaults = 10;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Empty when the text has the file form's shape, else what is wrong with it.
std::string ShapeFault(std::string_view text) {
    if (text.empty() || text.size() > 22) {
        return "length";
    }
    if (text == "0") {
        return {};
    }
    std::string_view body = text.front() == '-' ? text.substr(1) : text;
    const std::size_t letter = body.find('E');
    const std::string_view mantissa = body.substr(0, letter);
    if (mantissa.empty() || mantissa.front() == '0') {
        return "leading 0";
    }
    const std::size_t point = mantissa.find('.');
    int digits = 0;
    for (std::size_t i = 0; i < mantissa.size(); ++i) {
        if (i == point) {
            continue;
        }
        if (!IsDigit(mantissa[i])) {
            return "bad character";
        }
        ++digits;
    }
    if (digits > LongBudget) {
        return "more than 15 digits";
    }
    if (point != std::string_view::npos) {
        if (mantissa.back() == '0' || mantissa.back() == '.') {
            return "fraction ends in 0 or point";
        }
        if (mantissa.size() - point - 1 > static_cast<std::size_t>(LongBudget)) {
            return "more than 15 digits after the point";
        }
    }
    if (letter != std::string_view::npos) {
        if (point != std::string_view::npos && point != 1) {
            return "exponent form with more than one digit before the point";
        }
        const std::string_view exponent = body.substr(letter + 1);
        if (exponent.size() < 2 || exponent.size() > 5 ||
            (exponent[0] != '+' && exponent[0] != '-') || exponent[1] == '0') {
            return "bad exponent";
        }
        for (char c : exponent.substr(1)) {
            if (!IsDigit(c)) {
                return "bad exponent digit";
            }
        }
    }
    return {};
}

long double Parse(std::string_view text) {
    const std::string copy(text);
    return std::strtold(copy.c_str(), nullptr);
}

// One unit of the 15th significant digit of a value between 2^-64 and 2^64.
long double FifteenthDigitUnit(long double value) {
    const long double magnitude = std::fabs(value);
    int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    if (std::pow(10.0L, static_cast<long double>(exponent)) > magnitude) {
        --exponent;
    }
    return std::pow(10.0L, static_cast<long double>(exponent - 14));
}

// Counts faults and reports the first few, so a broken rule does not flood the log.
struct FaultLog {
    int Count = 0;
    void Add(long double value, std::string_view text, std::string_view what) {
        if (++Count <= MaxReportedFaults) {
            ADD_FAILURE() << what << ": value " << static_cast<double>(value) << " text \"" << text
                          << "\"";
        }
    }
};

// Shape and read-back within one unit of the 15th digit.
void CheckQuotient(long double value, FaultLog& faults) {
    const NumberText text = FileRealForm(value);
    const std::string fault = ShapeFault(text.View());
    if (!fault.empty()) {
        faults.Add(value, text.View(), fault);
    }
    if (value == 0) {
        if (text.View() != "0") {
            faults.Add(value, text.View(), "zero not \"0\"");
        }
        return;
    }
    if (std::fabs(Parse(text.View()) - value) > FifteenthDigitUnit(value)) {
        faults.Add(value, text.View(), "reads back too far off");
    }
}

TEST(RoundTrip, AllSixteenBitSamplesOverSeveralPeaks) {
    for (int peak : {32767, 32768, 1, 12345}) {
        SCOPED_TRACE(peak);
        FaultLog faults;
        for (int sample = -32768; sample <= 32767; ++sample) {
            const long double quotient =
                static_cast<long double>(sample) / static_cast<long double>(peak);
            CheckQuotient(quotient, faults);
            const NumberText form = FileRealForm(quotient);
            const std::string_view text = form.View();
            if (sample == peak && text != "1") {
                faults.Add(quotient, text, "peak not \"1\"");
            }
            if (sample == -peak && text != "-1") {
                faults.Add(quotient, text, "negative peak not \"-1\"");
            }
            // n / 2^15 has at most 15 digits after the point: the text is exact.
            if (peak == 32768 && Parse(text) != quotient) {
                faults.Add(quotient, text, "dyadic quotient not exact");
            }
            if (peak == 1 && text != std::to_string(sample)) {
                faults.Add(quotient, text, "integer not exact");
            }
        }
        EXPECT_EQ(faults.Count, 0);
    }
}

TEST(RoundTrip, TwentyFourBitQuotientsAndPowersOfTwo) {
    FaultLog faults;
    std::mt19937 generator(20240607);
    std::uniform_int_distribution<int> peaks(1, 1 << 23);
    for (int i = 0; i < 200000; ++i) {
        const int peak = peaks(generator);
        const int sample = std::uniform_int_distribution<int>(-peak, peak)(generator);
        CheckQuotient(static_cast<long double>(sample) / peak, faults);
    }
    for (int exponent = -24; exponent <= 0; ++exponent) {
        CheckQuotient(std::ldexp(1.0L, exponent), faults);
        CheckQuotient(-std::ldexp(1.0L, exponent), faults);
    }
    EXPECT_EQ(faults.Count, 0);
}

std::string ExpectedConsoleText(long long value) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
    std::string text = value < 0 ? "" : " ";
    text += std::to_string(value);
    text += " ";
    return text;
}

TEST(RoundTrip, EverySixteenBitIntegerIsExact) {
    FaultLog faults;
    for (int value = -32768; value <= 32767; ++value) {
        const NumberText text = ConsoleIntegerForm(static_cast<std::int16_t>(value));
        if (text.View() != ExpectedConsoleText(value)) {
            faults.Add(value, text.View(), "16-bit integer");
        }
    }
    EXPECT_EQ(faults.Count, 0);
}

TEST(RoundTrip, ThirtyTwoBitIntegersAreExact) {
    FaultLog faults;
    auto check = [&faults](std::int64_t value) {
        const std::int32_t narrow = static_cast<std::int32_t>(value);
        const NumberText text = ConsoleIntegerForm(narrow);
        if (text.View() != ExpectedConsoleText(narrow)) {
            faults.Add(static_cast<long double>(narrow), text.View(), "32-bit integer");
        }
        const NumberText wide = ConsoleIntegerForm(std::int64_t{narrow});
        if (wide.View() != text.View()) {
            faults.Add(static_cast<long double>(narrow), wide.View(), "64-bit form differs");
        }
    };
    for (int bit = 0; bit <= 31; ++bit) {
        const std::int64_t power = std::int64_t{1} << bit;
        for (std::int64_t value : {power - 1, power, power + 1}) {
            if (value <= std::numeric_limits<std::int32_t>::max()) {
                check(value);
                check(-value);
            }
        }
    }
    check(std::numeric_limits<std::int32_t>::min());
    std::int64_t decimal = 1;
    for (int digits = 1; digits <= 9; ++digits, decimal *= 10) {
        check(decimal - 1);
        check(decimal);
        check(10 * decimal - 1);
    }
    std::mt19937 generator(31);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    for (int i = 0; i < 100000; ++i) {
        check(any(generator));
    }
    EXPECT_EQ(faults.Count, 0);
}

// Far outside the program's range: every binary exponent of the format, at the bottom, middle
// and top of its binade. The exponent estimate can be one too high below 2^-680; the text must
// still read back within 1e-14 of the value.
TEST(RoundTrip, EveryBinaryExponentOfTheFormat) {
    FaultLog faults;
    const long double belowTwo = 2.0L - std::ldexp(1.0L, -63);
    for (int exponent = -16382; exponent <= 16383; ++exponent) {
        for (long double significand : {1.0L, 1.25L, belowTwo}) {
            const long double value = std::ldexp(significand, exponent);
            const DecimalDigits digits = MakeDigits(value, LongBudget);
            if (digits.Digits[0] == '0') {
                faults.Add(value, "", "leading digit 0");
            }
            const NumberText text = FileRealForm(value);
            const std::string fault = ShapeFault(text.View());
            if (!fault.empty()) {
                faults.Add(value, text.View(), fault);
            }
            const long double relative = std::fabs(Parse(text.View()) / value - 1);
            if (!(relative <= 1e-14L)) {
                faults.Add(value, text.View(), "reads back too far off");
            }
        }
    }
    EXPECT_EQ(faults.Count, 0);
}

// The values nearest each power of ten, and those a hair under it, print as the power itself.
TEST(RoundTrip, PowersOfTenAcrossTheRange) {
    FaultLog faults;
    for (int exponent = -4931; exponent <= 4931; ++exponent) {
        if (exponent > -16 && exponent < 15) {
            continue;  // fixed and integer forms, covered elsewhere
        }
        const std::string sign = exponent < 0 ? "-" : "+";
        const std::string expected = "1E" + sign + std::to_string(std::abs(exponent));
        const std::string power = "1e" + std::to_string(exponent);
        const long double nearest = std::strtold(power.c_str(), nullptr);
        if (FileRealForm(nearest).View() != expected) {
            faults.Add(nearest, FileRealForm(nearest).View(), "power of ten");
        }
        const long double under = std::nextafter(nearest, 0.0L);
        if (FileRealForm(under).View() != expected) {
            faults.Add(under, FileRealForm(under).View(), "just under a power of ten");
        }
    }
    EXPECT_EQ(faults.Count, 0);
}

}  // namespace

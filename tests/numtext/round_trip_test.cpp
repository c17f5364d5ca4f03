// Properties over many values: every file form text is well shaped and reads back as the
// value it stands for, to within one unit of the 15th significant digit. The texts are read
// back as long double, which holds every extended value exactly wherever the tests run: the
// x87 type itself or a 128-bit quad.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include "numtext/extended_real.h"
#include "numtext/number_text.h"

namespace {

static_assert(LDBL_MANT_DIG >= 64 && LDBL_MAX_EXP >= 16384,
              "long double must hold extended values");

constexpr int MaxReportedFaults = 10;

long double Reference(ExtendedReal value) {
    const int field = ExtendedExponentField(value);
    const int exponent = (field == 0 ? 1 : field) - ExtendedExponentBias - 63;
    const long double magnitude = std::ldexp(static_cast<long double>(value.Significand), exponent);
    return ExtendedNegative(value) ? -magnitude : magnitude;
}

// A positive finite long double rounded to the nearest extended value, ties to even.
ExtendedReal NearestExtended(long double value) {
    int exponent = 0;
    const long double fraction = std::frexp(value, &exponent);  // in [1/2, 1)
    const long double scaled = std::nearbyint(std::ldexp(fraction, 64));
    if (scaled >= std::ldexp(1.0L, 64)) {
        return ExtendedReal{ExtendedLeadingBit,
                            static_cast<std::uint16_t>(exponent + ExtendedExponentBias)};
    }
    return ExtendedReal{static_cast<std::uint64_t>(scaled),
                        static_cast<std::uint16_t>(exponent - 1 + ExtendedExponentBias)};
}

// The next extended value towards zero from a positive normal one.
ExtendedReal NextDown(ExtendedReal value) {
    if (value.Significand == ExtendedLeadingBit) {
        return ExtendedReal{~std::uint64_t{0}, static_cast<std::uint16_t>(value.SignExponent - 1)};
    }
    return ExtendedReal{value.Significand - 1, value.SignExponent};
}

ExtendedReal Quotient(std::int64_t sample, std::int64_t peak) {
    return DivideExtended(ExtendedFromInteger(sample), ExtendedFromInteger(peak));
}

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
void CheckQuotient(ExtendedReal extended, FaultLog& faults) {
    const NumberText text = FileRealForm(extended);
    const long double value = Reference(extended);
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
            const ExtendedReal extended = Quotient(sample, peak);
            const long double quotient = Reference(extended);
            CheckQuotient(extended, faults);
            const NumberText form = FileRealForm(extended);
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
        CheckQuotient(Quotient(sample, peak), faults);
    }
    for (int exponent = -24; exponent <= 0; ++exponent) {
        const ExtendedReal power{ExtendedLeadingBit,
                                 static_cast<std::uint16_t>(ExtendedExponentBias + exponent)};
        CheckQuotient(power, faults);
        CheckQuotient(NegateExtended(power), faults);
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
    for (int exponent = -16382; exponent <= 16383; ++exponent) {
        // 1, 1.25 and the largest significand below 2
        for (std::uint64_t significand :
             {ExtendedLeadingBit, std::uint64_t{0xA000000000000000}, ~std::uint64_t{0}}) {
            const ExtendedReal extended{
                significand, static_cast<std::uint16_t>(exponent + ExtendedExponentBias)};
            const long double value = Reference(extended);
            const DecimalDigits digits = MakeDigits(extended, LongBudget);
            if (digits.Digits[0] == '0') {
                faults.Add(value, "", "leading digit 0");
            }
            const NumberText text = FileRealForm(extended);
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
        const ExtendedReal nearest = NearestExtended(std::strtold(power.c_str(), nullptr));
        if (FileRealForm(nearest).View() != expected) {
            faults.Add(Reference(nearest), FileRealForm(nearest).View(), "power of ten");
        }
        const ExtendedReal under = NextDown(nearest);
        if (FileRealForm(under).View() != expected) {
            faults.Add(Reference(under), FileRealForm(under).View(), "just under a power of ten");
        }
    }
    EXPECT_EQ(faults.Count, 0);
}

}  // namespace

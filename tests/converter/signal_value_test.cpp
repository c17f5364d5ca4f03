// A line reads back as the double std::from_chars gives for its text, to the bit and to the
// same end, whether the short road takes the text or hands it on: the edges of that road, then
// random texts of up to 20 digits, the point anywhere or nowhere, an exponent or none.
#include "converter/signal_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "converter/signal_line.h"

TEST(SignalValueTest, ReadsAsFromChars) {
    std::vector<std::string> texts;
    std::istringstream edges(
        "8.21702945610041E-3 -.5 -0 5. 9007199254740992 9007199254740993 1234567890123456789 "
        "12345678901234567890 1E22 1E23 4.5E-23 1.5E+3 1e-3 1E 1E- 1E1234 . - +1 inf "
        "0000000000000000000000001");
    for (std::string edge; edges >> edge;) texts.push_back(edge + "\r\n");
    std::uint64_t state = 88172645463325252u;
    const auto next = [&state](std::uint64_t below) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<int>(state % below);
    };
    for (int i = 0; i < 200000; ++i) {
        std::string text = next(2) != 0 ? "-" : "";
        const int digits = next(20) + 1;
        const int point = next(static_cast<std::uint64_t>(digits) + 2);
        for (int d = 0; d < digits; ++d) text += (d == point ? "." : "") + std::to_string(next(10));
        if (next(3) == 0) text += "E" + std::to_string(next(61) - 30);
        texts.push_back(text + "\r\n");
    }
    for (const std::string& text : texts) {
        const char* last = text.data() + text.size();
        double expected = 0.25;
        double value = 0.25;
        const char* expectedEnd = std::from_chars(text.data(), last, expected).ptr;
        ASSERT_EQ(ReadSignalValue(text.data(), last, value), expectedEnd) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}

// A whole sample's value taken from its line's digits is the value its line's text reads back
// as, over whole peaks of every width the samples come in, the samples at their edges and at
// random; and the road is taken for every sample within a peak of up to 24 bits.
TEST(SignalValueTest, WholeLineValueIsItsLineReadBack) {
    std::uint64_t state = 2463534242u;
    const auto next = [&state](std::int64_t below) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::int64_t>(state % static_cast<std::uint64_t>(below));
    };
    for (const std::int64_t peak :
         {1LL, 127LL, 128LL, 32768LL, 8388607LL, 8388608LL, 99991LL, 2147483647LL, 2147483648LL}) {
        const WholeDivisor divisor = SignalWholeDivisor(static_cast<double>(peak));
        std::vector<std::int64_t> samples = {0, 1, -1, peak, -peak, peak - 1, 1 - peak};
        for (int i = 0; i < 20000; ++i) samples.push_back(next(2 * peak + 1) - peak);
        for (const std::int64_t sample : samples) {
            char text[SignalLineRoom];
            const int length = PutSignalLine(text, static_cast<double>(sample), divisor);
            double expected = 0.25;
            ReadSignalValue(text, text + length, expected);
            double value = 0.25;
            const bool taken = WholeLineValue(sample, divisor, value);
            ASSERT_TRUE(taken || peak > 8388608) << sample << " / " << peak;
            if (taken) {
                ASSERT_EQ(std::bit_cast<std::uint64_t>(value),
                          std::bit_cast<std::uint64_t>(expected))
                    << sample << " / " << peak;
            }
        }
    }
}

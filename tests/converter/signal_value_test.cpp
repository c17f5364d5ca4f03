// A line reads back as the double a general decimal reader gives for its text, to the bit and
// to the same end, whether the short road takes the text or hands it on.
#include "converter/signal_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <string>

namespace {

void ExpectAsFromChars(const std::string& text) {
    const char* last = text.data() + text.size();
    double expected = 0.25;
    const char* expectedEnd = std::from_chars(text.data(), last, expected).ptr;
    double value = 0.25;
    const char* end = ReadSignalValue(text.data(), last, value);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected)) << text;
    EXPECT_EQ(end - text.data(), expectedEnd - text.data()) << text;
}

TEST(SignalValueTest, EdgesOfTheShortRoadReadAsFromChars) {
    for (const char* text : {
             ".157565718804593\r\n",
             "8.21702945610041E-3\r\n",
             "-1.19209303761511E-7\r\n",
             "1\r\n",
             "-1\r\n",
             "0\r\n",
             "-0\r\n",
             "5.\r\n",
             "-.5\r\n",
             "9007199254740992\r\n",      // 2^53: the largest digits the road takes
             "9007199254740993\r\n",      // one past: the general reader rounds it
             "1234567890123456789\r\n",   // 19 digits
             "12345678901234567890\r\n",  // 20 digits
             "1E22",
             "1E23",
             "1E-22",
             "4.5E-23",
             "1.5E+3",
             "1e-3",
             "1E",
             "1E-",
             "1E1234",
             "0000000000000000000000001",
             ".",
             "-",
             "+1",
             "",
             "inf",
             "1.5E-3x",
         }) {
        ExpectAsFromChars(text);
    }
}

// Random lines of the forms ours take and beyond: up to 20 digits, the point anywhere or
// nowhere, an exponent of either sign or none.
TEST(SignalValueTest, RandomLinesReadAsFromChars) {
    std::uint64_t state = 88172645463325252u;
    const auto next = [&state](std::uint64_t below) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state % below;
    };
    for (int i = 0; i < 200000; ++i) {
        std::string text = next(2) != 0 ? "-" : "";
        const auto digits = static_cast<int>(next(20) + 1);
        const auto point = static_cast<int>(next(static_cast<std::uint64_t>(digits) + 2));
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += static_cast<char>('0' + next(10));
        }
        if (next(3) == 0) text += "E" + std::to_string(static_cast<int>(next(61)) - 30);
        ExpectAsFromChars(text + "\r\n");
    }
}

}  // namespace

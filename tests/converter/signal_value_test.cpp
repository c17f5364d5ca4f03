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

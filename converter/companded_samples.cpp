#include "converter/companded_samples.h"

#include <array>

namespace {

constexpr std::uint8_t SignBit = 0x80;
constexpr int SegmentShift = 4;
constexpr std::uint8_t SegmentBits = 0x70;
constexpr std::uint8_t StepBits = 0x0F;

// A-law stores its codes with every even bit inverted. Scaled to 16 bits, segments 0 and 1
// have steps of 16 and each segment after doubles the step, starting where the one before
// ends; a code stands for the middle of its step.
constexpr std::uint8_t ALawInversion = 0x55;

constexpr std::int16_t ALawFromBits(std::uint8_t code) {
    const auto bits = static_cast<std::uint8_t>(code ^ ALawInversion);
    const int segment = (bits & SegmentBits) >> SegmentShift;
    int magnitude = ((bits & StepBits) << 4) + 8;  // the middle of the step
    if (segment > 0) magnitude = (magnitude + 256) << (segment - 1);
    // After the inversion, a set sign bit marks a positive value.
    return static_cast<std::int16_t>((bits & SignBit) != 0 ? magnitude : -magnitude);
}

// µ-law stores its codes with every bit inverted. The magnitude is biased by 33 (132 once
// scaled to 16 bits) so that every segment, the first included, doubles the one before: a
// step of segment s is 2^(s+3) units, with the mid-point of the step, and the bias taken off.
constexpr int MuLawBias = 0x84;

constexpr std::int16_t MuLawFromBits(std::uint8_t code) {
    const auto bits = static_cast<std::uint8_t>(~code);
    const int segment = (bits & SegmentBits) >> SegmentShift;
    const int biased = (((bits & StepBits) << 3) + MuLawBias) << segment;
    // After the inversion, a set sign bit marks a negative value.
    return static_cast<std::int16_t>((bits & SignBit) != 0 ? MuLawBias - biased
                                                           : biased - MuLawBias);
}

constexpr std::array<std::int16_t, 256> ALawTable = [] {
    std::array<std::int16_t, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[code] = ALawFromBits(static_cast<std::uint8_t>(code));
    return table;
}();

constexpr std::array<std::int16_t, 256> MuLawTable = [] {
    std::array<std::int16_t, 256> table{};
    for (int code = 0; code < 256; ++code)
        table[code] = MuLawFromBits(static_cast<std::uint8_t>(code));
    return table;
}();

}  // namespace

std::int16_t ALawValue(std::uint8_t code) {
    return ALawTable[code];
}

std::int16_t MuLawValue(std::uint8_t code) {
    return MuLawTable[code];
}

#pragma once
// A-law and µ-law: telephony's 8-bit codes, each standing for a 16-bit sample value. A code
// is a sign bit, a 3-bit segment and a 4-bit step within it; the segments double in width
// from the smallest values outwards, so small values keep their precision.
#include <cstdint>

// The 16-bit value of an A-law code: -32256 to 32256, never 0 (the smallest steps are +-8).
std::int16_t ALawValue(std::uint8_t code);

// The 16-bit value of a µ-law code: -32124 to 32124; codes 0x7F and 0xFF are both 0.
std::int16_t MuLawValue(std::uint8_t code);

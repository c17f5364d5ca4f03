#pragma once
// Samples as the wave file stores them, turned into values, and the peak they give: the part
// of the conversion both front ends share.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "converter/wave_header.h"
#include "files/typed_array.h"

// The raw element of a resolution: 8-bit bytes, 16-bit integers, 24-bit triples.
ElementType RawElementType(std::int16_t bitsPerSample);

// Element i of the raw array as a sample value: 8-bit bytes are offset by 128, 16-bit
// values are little-endian two's complement, 24-bit values take their sign from bit 23.
double DecodeSample(const TypedArray& raw, std::uint32_t i);

// The peak is the largest magnitude met so far, starting at 0.
inline void TakePeak(double value, double& peak) {
    if (std::fabs(value) > peak) peak = std::fabs(value);
}

// The 16-bit pattern of an 8- or 16-bit element: its byte, or its little-endian pair.
inline std::uint16_t ElementCode(const unsigned char* element, bool eightBit) {
    return static_cast<std::uint16_t>(eightBit ? element[0] : element[0] | (element[1] << 8));
}

// The sample stored as that pattern: 8-bit bytes are offset by 128, 16-bit values are two's
// complement.
inline int CodeSample(std::uint16_t code, bool eightBit) {
    return eightBit ? code - 128 : static_cast<std::int16_t>(code);
}

// The sample's value as it stands in element i of a raw array whose storage starts at
// element: the same decoding as DecodeSample, for callers that walk the bytes themselves.
double DecodeElement(const unsigned char* element, ElementType type);

// The value of a sample stored in the form, whose bytes start at value. Integers are exact as
// doubles; so are float samples of either size.
double DecodeValue(const unsigned char* value, SampleForm form);

// Sample i of the channel read, from frames read as the header lays them out.
inline double FrameSample(const unsigned char* frames, std::uint32_t i, const WaveHeader& header) {
    const std::size_t at =
        static_cast<std::size_t>(i) * static_cast<std::size_t>(header.FrameBytes) +
        static_cast<std::size_t>(header.ValueOffset);
    return DecodeValue(frames + at, header.Form);
}

#pragma once
// The header values of an accepted wave file, and the name of the signal file beside it.
#include <cstdint>
#include <string>
#include <string_view>

// How a sample's bytes give its value, all little-endian.
enum class SampleForm {
    Unsigned8,  // one byte, offset by 128
    Signed16,   // two's complement
    Signed24,   // three bytes, the sign in bit 23
    Signed32,   // two's complement
    Float32,    // IEEE 754 single
    Float64,    // IEEE 754 double
    ALaw8,      // one A-law code, standing for a 16-bit value
    MuLaw8,     // one µ-law code, standing for a 16-bit value
};

// The samples lie in frames of one sample of each channel; the channel read is the one whose
// value starts ValueOffset bytes into each frame. A mono file of 8, 16 or 24 bits has frames
// of one sample, its value at offset 0.
struct WaveHeader {
    std::int16_t FormatTag;       // bytes 20-21; 1 is PCM
    std::uint16_t ChannelCount;   // byte 22, the channel count's low byte, or bytes 22-23
    std::int32_t SampleRate;      // bytes 24-27, Hz
    std::int16_t BlockAlignment;  // bytes 32-33
    std::int16_t BitsPerSample;   // bytes 34-35: 8, 16 or 24 (32 or 64 as the options read)
    std::int64_t DataSize;        // bytes of sample data, from the data chunk's size field
    std::int64_t SampleStart;     // byte offset of the first sample: 44 for a canonical header
    std::int64_t SampleCount;     // N: frames, one sample of the channel read each
    std::int64_t Duration;        // milliseconds
    SampleForm Form;              // how the channel's sample bytes give its value
    std::int32_t FrameBytes;      // bytes from one frame to the next: 1 to 524,280
    std::int32_t ValueOffset;     // bytes from a frame's first byte to the value's first byte
};

// Whether the screen program could hold the header's samples in its sample buffer: a file
// whose samples it could not hold it refuses as too large.
bool SampleBufferFits(const WaveHeader& header);

// The wave file name less its last three bytes, then "sig"; names of 1 or 2 bytes stay whole.
std::string SignalFileName(std::string_view waveName);

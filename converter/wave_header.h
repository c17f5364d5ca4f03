#pragma once
// The header values of an accepted wave file, and the name of the signal file beside it.
#include <cstdint>
#include <string>
#include <string_view>

struct WaveHeader {
    std::int16_t FormatTag;       // bytes 20-21; 1 is PCM
    std::uint8_t ChannelCount;    // byte 22, the low byte of the channel count
    std::int32_t SampleRate;      // bytes 24-27, Hz
    std::int16_t BlockAlignment;  // bytes 32-33
    std::int16_t BitsPerSample;   // bytes 34-35: 8, 16 or 24
    std::int32_t DataSize;        // bytes of sample data, from the data chunk's size field
    std::int64_t SampleStart;     // byte offset of the first sample: 44 for a canonical header
    std::int32_t SampleCount;     // N
    std::int64_t Duration;        // milliseconds
};

// The wave file name less its last three bytes, then "sig"; names of 1 or 2 bytes stay whole.
std::string SignalFileName(std::string_view waveName);

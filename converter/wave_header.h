#pragma once
// The check of a typed name: is it a mono PCM Wave file of 8, 16 or 24 bits? On acceptance
// channel 1 stays open on it in binary mode and the header is filled; on refusal channel 1 is
// closed and the message says why.
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

struct HeaderVerdict {
    bool Accepted;
    std::string_view Message;     // the refusal, empty when accepted
    std::uint8_t FileError = 0;   // why the test open failed, for NotFoundMessage; else 0
};

inline constexpr std::string_view NotFoundMessage = "   ERROR - Specified file not found";
inline constexpr std::string_view NotWaveMessage = "   ERROR - This is not a Wave file";
inline constexpr std::string_view NotPcmMessage = "   ERROR - This is not a PCM format Wave file";
inline constexpr std::string_view NotMonoMessage = "   ERROR - This is not a mono Wave file";
inline constexpr std::string_view BadResolutionMessage =
    "   ERROR - This is not an 8-, 16- or 24-bit Wave file";
inline constexpr std::string_view NotPackedMessage =
    "   ERROR - 24-bit Wave files must be packed integer format";
inline constexpr std::string_view WouldOverwriteMessage =
    "   ERROR - The signal file would overwrite this Wave file";

HeaderVerdict CheckWaveHeader(std::string_view name, WaveHeader& header);

// The four report rows, at the cursor in the current colour.
void WriteReport(const WaveHeader& header);

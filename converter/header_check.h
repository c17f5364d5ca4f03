#pragma once
// The check of a typed name: is it a mono PCM Wave file of 8, 16 or 24 bits? On acceptance
// channel 1 stays open on it in binary mode and the header is filled; on refusal channel 1 is
// closed and the message says why.
#include <cstdint>
#include <string_view>

#include "converter/wave_header.h"

struct HeaderVerdict {
    bool Accepted;
    std::string_view Message;    // the refusal, empty when accepted
    std::uint8_t FileError = 0;  // why the test open failed, for NotFoundMessage; else 0
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
